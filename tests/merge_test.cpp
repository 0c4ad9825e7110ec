// Several logs read as one: downloads of one history made on different days give the history,
// and the merge keeps every record once.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "plan/merged_read.h"
#include "record/validation.h"
#include "support/log_builder.h"
#include "synth_log.h"

namespace korvex::test {
namespace {

Bytes history(RecordLayout layout, SectionFlags sections, std::int64_t capacity,
              int download_after) {
  synth::SynthOptions o;
  o.layout = layout;
  o.sections = sections;
  o.flights = 6;
  o.seed = 5;
  o.capacity = capacity;
  o.download_after = download_after;
  return synth::synthesize(o).image;
}

Options options_for(std::string_view format, bool flights_table = false) {
  Options options;
  options.format = find_format(format);
  options.flights_table = flights_table;
  return options;
}

// Downloads after flights 2, 4 and 6 of six, each of a file that holds about three flights,
// given in any order, twice, or in part, are the whole history in every output.
TEST(SeveralLogs, DownloadsOfOneHistoryAreTheWholeHistory) {
  const struct {
    RecordLayout layout;
    SectionFlags sections;
    std::int64_t capacity;  // about three flights: the later downloads wrap
  } kLogs[] = {{2, SECTION_TELM1 | SECTION_TELM2 | SECTION_ATTITUDE | SECTION_GPS, 2000000},
               {0, SECTION_GPS, 450000}};
  for (const auto& l : kLogs) {
    SCOPED_TRACE(l.layout);
    const Bytes whole = history(l.layout, l.sections, 0, 0);
    std::vector<Bytes> at;  // at[k]: the download after flight k
    for (int k = 0; k <= 6; ++k) at.push_back(history(l.layout, l.sections, l.capacity, k));
    const std::vector<std::vector<Bytes>> kRuns = {{at[2], at[4], at[6]},
                                                   {at[6], at[2], at[4]},
                                                   {at[2], at[4], at[4], at[6]},
                                                   {at[4], at[2], at[6], at[2]}};
    std::vector<Options> outputs;
    for (const std::string_view f : {"tab", "comma", "space", "csv", "tsv", "gpx", "kml"}) {
      outputs.push_back(options_for(f));
    }
    outputs.push_back(options_for("csv", true));
    Options window = options_for("csv");  // flights 2 to 5
    std::string error;
    ASSERT_TRUE(parse_flight_list("2-5", window.selection.flights, error)) << error;
    outputs.push_back(window);
    for (const Options& options : outputs) {
      SCOPED_TRACE(std::string(options.format->word) + (options.flights_table ? " --flights" : ""));
      const Conversion expected = convert(whole, options);
      ASSERT_EQ(expected.status, 0) << expected.err;
      for (std::size_t r = 0; r < kRuns.size(); ++r) {
        const Conversion got = convert(kRuns[r], options);
        EXPECT_EQ(got.status, 0) << got.err;
        EXPECT_TRUE(got.out == expected.out) << "run " << r;
      }
      // A download given twice is the download once.
      EXPECT_TRUE(convert(std::vector{at[4], at[4]}, options).out == convert(at[4], options).out);
    }
    // ... in the report too, whose title names the logs (a log given twice, once).
    EXPECT_TRUE(convert(std::vector{at[4], at[4]}, options_for("html")).out ==
                convert(at[4], options_for("html")).out);
    // The downloads do differ from the history: the last alone has lost its first flights.
    const Conversion last = convert(at[6], options_for("csv", true));
    const Conversion all = convert(whole, options_for("csv", true));
    EXPECT_LT(std::count(last.out.begin(), last.out.end(), '\n'),
              std::count(all.out.begin(), all.out.end(), '\n'));
  }
}

// Hand-made logs: which record is taken, which dropped, and what each log is told.
TEST(SeveralLogs, EachRecordOnceInTimeOrder) {
  const auto x = [](std::uint32_t t) { return sample_fields(t, 0); };
  const auto y = [&x](std::uint32_t t) {
    RecordFields f = x(t);
    f.base.alt += 1;
    return f;
  };
  struct In {
    std::vector<RecordFields> records;
    RecordLayout layout = 0;
  };
  const struct {
    std::string name;
    std::vector<In> logs;
    std::vector<std::uint32_t> times;   // of the rows, in order
    std::vector<std::int64_t> dropped;  // of each log
  } kCases[] = {
      {"overlapping", {{{x(1), x(2), x(3)}}, {{x(2), x(3), x(4)}}}, {1, 2, 3, 4}, {0, 2}},
      {"interleaved", {{{x(1), x(3), x(5)}}, {{x(2), x(4)}}}, {1, 2, 3, 4, 5}, {0, 0}},
      {"a record logged twice is kept twice", {{{x(1), x(1)}}, {{x(1)}}}, {1, 1}, {0, 1}},
      {"... and three times when one log has it three times",
       {{{x(1), x(1)}}, {{x(1), x(1), x(1)}}},
       {1, 1, 1},
       {0, 2}},
      {"the same second, other values", {{{x(1)}}, {{y(1)}}}, {1, 1}, {0, 0}},
      {"the same second and values in another layout", {{{x(1)}}, {{x(1)}, 1}}, {1, 1}, {0, 0}},
      {"the second log first", {{{x(7), x(8)}}, {{x(5), x(6), x(7)}}}, {5, 6, 7, 8}, {0, 1}},
      {"one record in three logs", {{{x(1)}}, {{x(1)}}, {{x(1)}}}, {1}, {0, 1, 1}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    std::vector<Bytes> logs;
    for (const In& in : c.logs) {
      LogBuilder b;
      for (const RecordFields& f : in.records) b.record(in.layout, f);
      logs.push_back(b.bytes);
    }
    const Conversion got = convert(logs, options_for("tsv"));
    ASSERT_EQ(got.status, 0) << got.err;
    // The raw clock's seconds, the first cell of each row after the header.
    std::vector<std::uint32_t> times;
    for (std::size_t at = got.out.find('\n'); at + 1 < got.out.size();
         at = got.out.find('\n', at + 1)) {
      times.push_back(static_cast<std::uint32_t>(std::stoul(got.out.substr(at + 1, 10))));
    }
    EXPECT_EQ(times, c.times);
    for (std::size_t i = 0; i < c.logs.size(); ++i) {
      const std::string line = "standard input: " + std::to_string(c.logs[i].records.size()) +
                               " records, " + std::to_string(c.dropped[i]) +
                               " already taken from another log\n";
      EXPECT_NE(got.err.find(line), std::string::npos) << got.err;
    }
  }
}

// A log whose clock steps back, given twice, is the log once: the copies of the second come
// some records after their originals.
TEST(SeveralLogs, ALogWithAClockSteppedBackGivenTwiceIsTheLogOnce) {
  const std::vector<std::vector<std::uint32_t>> kClocks = {
      {5, 6, 2, 3, 7}, {10, 11, 12, 4, 5, 13}, {3, 9, 4, 10, 1, 2, 11}};
  for (const auto& clock : kClocks) {
    LogBuilder b;
    for (const std::uint32_t t : clock) b.record(0, sample_fields(t, 0));
    const Conversion once = convert(std::vector{b.bytes}, options_for("csv"));
    const Conversion twice = convert(std::vector{b.bytes, b.bytes}, options_for("csv"));
    ASSERT_EQ(once.status, 0) << once.err;
    EXPECT_EQ(twice.out, once.out) << clock.size();
  }
}

// Records of a source of their own, held in memory as a logbook holds them.
class StoredRecords final : public RecordSource {
 public:
  explicit StoredRecords(std::vector<Bytes> bodies) : bodies_(std::move(bodies)) {}
  const Record* next() override {
    if (next_ == bodies_.size()) return nullptr;
    const Bytes& body = bodies_[next_++];
    EXPECT_TRUE(validate_record(body.data(), static_cast<std::uint32_t>(body.size()), rec_));
    ++outcome_.records;
    return &rec_;
  }
  ReadOutcome outcome() const override { return outcome_; }
  void restart() override {
    next_ = 0;
    outcome_ = {};
  }

 private:
  std::vector<Bytes> bodies_;
  std::size_t next_ = 0;
  Record rec_;
  ReadOutcome outcome_;
};

class Collected final : public RecordConsumer {
 public:
  bool record(const Record& rec) override {
    taken.push_back({rec.timestamp, rec.log});
    return true;
  }
  std::vector<std::pair<std::uint32_t, std::uint32_t>> taken;  // time and log
};

// A logbook's records given first: taken before the logs' copies of them, which are dropped;
// each record tells the source it comes from; each tally has its lowest and highest time.
TEST(SeveralLogs, AStoreOfRecordsGivenFirst) {
  const auto x = [](std::uint32_t t) { return sample_fields(t, 0); };
  StoredRecords stored({record_body(2, x(20)), record_body(2, x(30))});
  LogBuilder b;
  for (const std::uint32_t t : {40U, 10U, 30U}) b.record(2, x(t));  // a log that wrapped
  MemorySource memory{b.bytes.data(), b.bytes.size()};
  ByteStream in(memory_source(&memory));
  std::string said;
  Messages messages(&said);
  SurveyResult survey;
  ASSERT_EQ(survey_log(in, messages, survey), SURVEY_FOUND);
  const LogRead reads[] = {{nullptr, {}, &stored}, {&in, plan_reads(survey)}};
  Collected collected;
  std::vector<LogTally> tallies;
  const ReadOutcome outcome = read_logs(reads, nullptr, collected, &tallies);
  EXPECT_EQ(outcome.end, ReadEnd::DONE);
  EXPECT_EQ(outcome.records, 4);
  const std::vector<std::pair<std::uint32_t, std::uint32_t>> expected = {
      {10, 1}, {20, 0}, {30, 0}, {40, 1}};
  EXPECT_EQ(collected.taken, expected);
  ASSERT_EQ(tallies.size(), 2U);
  EXPECT_EQ(tallies[0].records, 2);
  EXPECT_EQ(tallies[1].records, 3);
  EXPECT_EQ(tallies[1].dropped, 1);
  EXPECT_EQ(tallies[1].first_time, 10U);
  EXPECT_EQ(tallies[1].last_time, 40U);
  EXPECT_EQ(tallies[0].first_time, 20U);
}

}  // namespace
}  // namespace korvex::test
