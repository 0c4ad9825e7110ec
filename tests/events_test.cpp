// The flight events the record filter sends: the same whether it cuts the flights itself or
// takes them from a flight scan, and the scan's facts of each flight are those of the records
// that follow its begin_flight.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "plan/read_plan.h"
#include "selection/record_filter.h"
#include "support/log_builder.h"
#include "survey/survey.h"
#include "synth_log.h"

namespace korvex::test {
namespace {

// The events as text, one line each, and the facts of each flight checked against its records.
class EventLog final : public FlightEvents {
 public:
  bool begin_flight(const FlightFacts& facts) override {
    EXPECT_FALSE(open_);
    open_ = true;
    facts_ = facts;
    seen_ = FlightFacts{};
    text += "begin " + std::to_string(facts.number) + " at " + std::to_string(facts.first_time) +
            "/" + std::to_string(facts.first_layout) + "\n";
    return true;
  }
  bool record(const RecordEvent& event) override {
    EXPECT_TRUE(open_);
    EXPECT_EQ(event.flight, facts_.number);
    if (seen_.records++ == 0) {
      EXPECT_EQ(event.rec.timestamp, facts_.first_time);
      EXPECT_EQ(event.rec.revision, facts_.first_layout);
    }
    seen_.last_time = event.rec.timestamp;
    seen_.last_layout = event.rec.revision;
    if (event.fix()) ++seen_.fixes;
    if (event.fix_kind() == FixKind::OUT_OF_RANGE) ++seen_.positions_out_of_range;
    text += std::to_string(event.rec.timestamp) + "\n";
    return true;
  }
  bool end_flight() override {
    EXPECT_TRUE(open_);
    open_ = false;
    if (facts_.scanned) {
      EXPECT_EQ(facts_.records, seen_.records);
      EXPECT_EQ(facts_.last_time, seen_.last_time);
      EXPECT_EQ(facts_.last_layout, seen_.last_layout);
      EXPECT_EQ(facts_.fixes, seen_.fixes);
      EXPECT_EQ(facts_.positions_out_of_range, seen_.positions_out_of_range);
    }
    text += "end\n";
    return true;
  }

  std::string text;

 private:
  bool open_ = false;
  FlightFacts facts_;
  FlightFacts seen_;  // of the records so far
};

// The events of one pass over the log, with a flight scan before it or without.
std::string events(const Bytes& log, const Selection& selection, bool scanned) {
  MessageCapture err;
  MemoryStream in(log);
  SurveyResult survey;
  if (survey_log(in.stream, err.messages, survey) != SURVEY_FOUND) return "";
  const ReadPlan plan = plan_reads(survey);
  FlightScan scan;
  if (scanned) scan = scan_flights(in.stream, plan, selection.gap, selection.window);
  EventLog log_of_events;
  RecordFilter filter(selection, log_of_events, scanned ? &scan : nullptr);
  EXPECT_EQ(read_in_order(in.stream, plan, nullptr, filter).end, ReadEnd::DONE);
  EXPECT_TRUE(filter.finish());
  return log_of_events.text;
}

Bytes read_file(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

TEST(FlightEvents, AreTheSameWithAndWithoutAFlightScan) {
  std::vector<Bytes> logs = {read_file(KORVEX_SAMPLE)};
  for (const auto& entry : std::filesystem::directory_iterator(KORVEX_GOLDEN_LOGS)) {
    logs.push_back(read_file(entry.path().string()));
  }
  for (std::uint64_t seed = 1; seed <= 4; ++seed) {
    synth::SynthOptions o;
    o.layout = static_cast<RecordLayout>(seed % 4);
    o.flights = 3;
    o.seed = seed;
    o.capacity = seed % 2 == 0 ? 400000 : 0;
    o.garbage = o.power_cuts = o.stray_markers = 2;
    logs.push_back(synth::synthesize(o).image);
  }
  // Every record, a window across flights, a short gap, some flights by number, and both.
  std::vector<Selection> selections(5);
  selections[1].window = {834750604, 834760000};
  selections[2].gap = 20;
  selections[3].flights.ranges = {{1, 1}, {3, 4}};
  selections[4].window = {834743000, 834770000};
  selections[4].flights.ranges = {{2, 3}};
  int flights = 0;
  for (std::size_t i = 0; i < logs.size(); ++i) {
    for (std::size_t s = 0; s < selections.size(); ++s) {
      SCOPED_TRACE("log " + std::to_string(i) + ", selection " + std::to_string(s));
      const std::string cut = events(logs[i], selections[s], false);
      const std::string scanned = events(logs[i], selections[s], true);
      ASSERT_EQ(cut, scanned);
      for (std::size_t at = cut.find("begin "); at != std::string::npos;
           at = cut.find("begin ", at + 1)) {
        ++flights;
      }
    }
  }
  EXPECT_GT(flights, 50);
}

}  // namespace
}  // namespace korvex::test
