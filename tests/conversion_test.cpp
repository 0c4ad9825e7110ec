// Whole conversions in memory: the dump order the survey calls for, the summary, the section
// line and the statuses of a run that ends early.
#include <gtest/gtest.h>

#include "cli/convert.h"
#include "cli/exit_status.h"
#include "cli/log_file.h"
#include "support/log_builder.h"
#include "support/sources.h"
#include "survey/survey.h"

namespace korvex::test {
namespace {

const std::string kScan = "Scanning for first and last record, please wait";
const std::string kDump = "Dumping packets, please wait";
const std::string kNoSections = "\nOptional record sections present:\n";
const std::string kHeader = "Time,alt,baro,ASI,TAS,VSI,g-s,rotor,m-v,b-v,amps,AOA,OAT,\n";

// The Time cells of the rows, in order.
std::vector<std::string> times(const std::string& table) {
  std::vector<std::string> out;
  std::size_t line = table.find('\n') + 1;  // after the header
  while (line < table.size()) {
    out.push_back(table.substr(line, table.find_first_of(",\t", line) - line));
    line = table.find('\n', line) + 1;
  }
  return out;
}

using Times = std::vector<std::string>;

TEST(Conversion, SplitRecordsAnywhereInAWrappedLogAreReadWhole) {
  // Timestamps 5, 6, 7, 1, 2, 3 in file order, one of them split by start markers in its own
  // bytes: at the start of the file, as the newest record just ahead of the wrap point, as the
  // oldest record, or at the end of the file. The survey and both passes see the same records.
  const std::uint32_t stamps[] = {5, 6, 7, 1, 2, 3};
  for (std::size_t split = 0; split < std::size(stamps); ++split) {
    SCOPED_TRACE(split);
    LogBuilder b;
    for (std::size_t i = 0; i < std::size(stamps); ++i) {
      b.record(1, i == split ? split_fields(stamps[i], 1 + static_cast<int>(i % 3))
                             : sample_fields(stamps[i], 0));
    }
    const Conversion c = convert(b.bytes, DELIM_COMMA);
    EXPECT_EQ(times(c.out), (Times{"1", "2", "3", "5", "6", "7"}));
    EXPECT_EQ(c.err, kScan + kNoSections + kDump + "\nRead 6 packets, skipped 0 bad packets.\n");
  }
}

TEST(Conversion, LogInTimeOrderIsDumpedInOnePass) {
  const Conversion c = convert(LogBuilder().records(0, {1, 2, 3}).bytes, DELIM_COMMA);
  EXPECT_EQ(c.status, EXIT_DONE);
  EXPECT_EQ(c.err, kScan + kNoSections + kDump + "\nRead 3 packets, skipped 0 bad packets.\n");
  EXPECT_EQ(c.out.substr(0, kHeader.size()), kHeader);
  EXPECT_EQ(times(c.out), (Times{"1", "2", "3"}));
}

TEST(Conversion, WrappedLogIsDumpedFromTheOldestRecord) {
  Conversion c = convert(LogBuilder().records(0, {5, 6, 7, 1, 2, 3}).bytes, DELIM_COMMA);
  EXPECT_EQ(times(c.out), (Times{"1", "2", "3", "5", "6", "7"}));
  EXPECT_EQ(c.err, kScan + kNoSections + kDump + "\nRead 6 packets, skipped 0 bad packets.\n");

  // A rejected packet at the wrap point is read, and counted, once.
  c = convert(
      LogBuilder().records(0, {5, 6, 7}).marker().raw(Bytes(40, 0x31)).records(0, {1, 2, 3}).bytes,
      DELIM_COMMA);
  EXPECT_EQ(times(c.out), (Times{"1", "2", "3", "5", "6", "7"}));
  EXPECT_NE(c.err.find("\nRead 6 packets, skipped 1 bad packets.\n"), std::string::npos);

  // The torn remainder of an overwritten record ahead of the oldest one, as a circular writer
  // leaves it: the newest records, a cut record, then the older records. The remainder has no
  // marker of its own, so it lengthens the newest record into a bad packet.
  Bytes torn = record_body(2, sample_fields(50, SECTION_TELM1));
  torn.erase(torn.begin(), torn.begin() + 40);
  c = convert(LogBuilder()
                  .records(2, {60, 61}, SECTION_TELM1)
                  .raw(torn)
                  .records(2, {51, 52, 53}, SECTION_TELM1)
                  .bytes,
              DELIM_TAB);
  EXPECT_NE(c.err.find("\nRead 4 packets, skipped 1 bad packets.\n"), std::string::npos);
  EXPECT_EQ(times(c.out), (Times{"\"01/01/2000 00:00:51\"", "\"01/01/2000 00:00:52\"",
                                 "\"01/01/2000 00:00:53\"", "\"01/01/2000 00:01:00\""}));
}

TEST(Conversion, RecordsAheadOfTheOldestAreNotPrintedWithOneDecrease) {
  const Conversion c = convert(LogBuilder().records(0, {3, 4, 1, 2, 5}).bytes, DELIM_COMMA);
  EXPECT_EQ(times(c.out), (Times{"1", "2", "5"}));
  EXPECT_NE(c.err.find("\nRead 3 packets, skipped 0 bad packets.\n"), std::string::npos);
}

TEST(Conversion, ThreeOrMoreGroupsAreDumpedInFileOrder) {
  const Conversion c = convert(LogBuilder().records(0, {3, 4, 1, 2, 9, 0}).bytes, DELIM_COMMA);
  EXPECT_EQ(times(c.out), (Times{"3", "4", "1", "2", "9", "0"}));
  EXPECT_EQ(c.err,
            kScan + kNoSections +
                "\nWARNING: the record timestamps are inconsistent, there are 3 groups of\n"
                "contiguous records. All records will be dumped in the order they appear in\n"
                "the file instead of from oldest to newest.\n\n" +
                kDump + "\nRead 6 packets, skipped 0 bad packets.\n");
}

TEST(Conversion, OnlyTheDumpPassesRejectionsAreReported) {
  // The survey meets the bad packet; the dump starts at the oldest record, behind it.
  Conversion c =
      convert(LogBuilder().record(0, 3).marker().raw(Bytes(20, 1)).records(0, {4, 1, 2, 5}).bytes,
              DELIM_COMMA);
  EXPECT_EQ(times(c.out), (Times{"1", "2", "5"}));
  EXPECT_NE(c.err.find("\nRead 3 packets, skipped 0 bad packets.\n"), std::string::npos);
  // Short and empty packets are skipped and counted; no record behind them is lost. Here: two
  // empty packets, one of 3 bytes, and an empty one at the very end.
  c = convert(LogBuilder()
                  .marker()
                  .marker()
                  .records(0, {1, 2})
                  .marker()
                  .raw({1, 2, 3})
                  .record(0, 3)
                  .marker()
                  .bytes,
              DELIM_COMMA);
  EXPECT_EQ(times(c.out), (Times{"1", "2", "3"}));
  EXPECT_NE(c.err.find("\nRead 3 packets, skipped 4 bad packets.\n"), std::string::npos);
}

TEST(Conversion, LogsStampedZeroOrAllOnesAreDumped) {
  Conversion c = convert(LogBuilder().records(0, {0, 0, 0}).bytes, DELIM_COMMA);
  EXPECT_EQ(c.status, EXIT_DONE);
  EXPECT_EQ(times(c.out), (Times{"0", "0", "0"}));
  c = convert(LogBuilder().records(1, {0xFFFFFFFF, 0xFFFFFFFF}).bytes, DELIM_COMMA);
  EXPECT_EQ(c.status, EXIT_DONE);
  EXPECT_EQ(times(c.out), (Times{"4294967295", "4294967295"}));
}

TEST(Conversion, SectionLineAndBlocksFollowTheUnionOfSections) {
  const Conversion c = convert(LogBuilder()
                                   .record(1, 1, SECTION_ATTITUDE)
                                   .record(1, 2, SECTION_TELM2 | SECTION_GPS)
                                   .record(1, 3, SECTION_TELM1)
                                   .bytes,
                               DELIM_TAB);
  EXPECT_EQ(c.err, kScan +
                       "Warning, records contain inconsistent sections: 08 14 1c\n"
                       "Warning, records contain inconsistent sections: 1c 02 1e\n"
                       "\nOptional record sections present: TELM1 TELM2 Attitude GPS\n" +
                       kDump + "\nRead 3 packets, skipped 0 bad packets.\n");
  // Every line has as many cells as the header: 13 + 33 + 33 + 7 + 9.
  std::size_t lines = 0;
  for (std::size_t at = 0; at < c.out.size(); at = c.out.find('\n', at) + 1, ++lines) {
    const std::string line = c.out.substr(at, c.out.find('\n', at) - at);
    EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 95) << line;
  }
  EXPECT_EQ(lines, 4U);
}

TEST(Conversion, LogWithoutRecordsEndsWithStatus3) {
  for (const Bytes& log :
       {Bytes{}, LogBuilder().marker().raw(Bytes(40, 7)).fill(3000, 0x55).bytes}) {
    const Conversion c = convert(log, DELIM_TAB);
    EXPECT_EQ(c.status, EXIT_NO_RECORDS);
    EXPECT_EQ(c.out, "");
    EXPECT_EQ(c.err, kScan + "\nUnable to locating starting and/or ending record\n");
  }
}

Conversion convert_failing(const Bytes& log, std::size_t fail_at) {
  Conversion c;
  MessageCapture err;
  FailingSource failing{{log.data(), log.size()}, fail_at};
  ByteStream in(failing.source(), 64);
  OutBuffer out(&c.out);
  c.status = convert_log(in, out, "comma", err.messages);
  out.flush();
  c.err = err.str();
  return c;
}

TEST(Conversion, FailedReadEndsTheRunWithStatus7) {
  LogBuilder b;
  for (std::uint32_t t = 0; t < 100; ++t) b.record(0, t);
  // In the survey: nothing on standard output.
  Conversion c = convert_failing(b.bytes, 1000);
  EXPECT_EQ(c.status, EXIT_READ);
  EXPECT_EQ(c.out, "");
  EXPECT_EQ(c.err, kScan + "\nError on read: Input/output error\n");
}

TEST(Conversion, FailedReadInTheDumpPrintsNothingAfterIt) {
  // The first read of the dump pass fails: a source that works for the survey only.
  LogBuilder b;
  for (std::uint32_t t = 0; t < 100; ++t) b.record(0, t);
  struct SecondPassFails {
    MemorySource mem;
    int seeks = 0;
    static std::int64_t read(void* ctx, std::uint8_t* dst, std::size_t n) {
      auto* self = static_cast<SecondPassFails*>(ctx);
      if (self->seeks > 1 && self->mem.pos >= 32 * 40) {
        errno = EIO;
        return -1;
      }
      const std::size_t limit = self->seeks > 1 ? 32 * 40 - self->mem.pos : n;
      return memory_source(&self->mem).read(&self->mem, dst, n < limit ? n : limit);
    }
    static int seek(void* ctx, std::int64_t offset) {
      auto* self = static_cast<SecondPassFails*>(ctx);
      ++self->seeks;
      return memory_source(&self->mem).seek(&self->mem, offset);
    }
  } source{{b.bytes.data(), b.bytes.size()}};
  Conversion c;
  MessageCapture err;
  ByteStream in(ByteSource{&source, SecondPassFails::read, SecondPassFails::seek}, 64);
  OutBuffer out(&c.out);
  c.status = convert_log(in, out, "comma", err.messages);
  out.flush();
  EXPECT_EQ(c.status, EXIT_READ);
  EXPECT_EQ(err.str(), kScan + kNoSections + kDump + "\nError on read: Input/output error\n");
  // The header and the 39 records wholly read before the failure; the cut 40th is not printed.
  EXPECT_EQ(times(c.out).size(), 39U);
  EXPECT_EQ(times(c.out).back(), "38");
}

TEST(Conversion, PositionsBeyondFourGibibytes) {
  // The newest records near the start, then a packet of 4 GiB of zeros (a bad packet), then
  // the newest record and, beyond 4 GiB, the oldest ones.
  const std::int64_t far = (std::int64_t{1} << 32) + 4096;
  const Bytes head = LogBuilder().records(0, {10, 11, 12}).marker().bytes;
  const Bytes tail = LogBuilder().records(0, {13, 1, 2, 3}).bytes;
  SparseSource sparse{far + static_cast<std::int64_t>(tail.size()), {{0, head}, {far, tail}}};
  {
    MessageCapture err;
    ByteStream in(sparse.source());
    SurveyResult s;
    ASSERT_EQ(survey_log(in, err.messages, s), SURVEY_FOUND);
    EXPECT_EQ(s.oldest_pos, far + 32);
    EXPECT_EQ(s.newest_pos, 96);
    EXPECT_EQ(s.reversals, 1U);
  }
  Conversion c;
  MessageCapture err;
  ByteStream in(sparse.source());
  OutBuffer out(&c.out);
  c.status = convert_log(in, out, "comma", err.messages);
  out.flush();
  EXPECT_EQ(c.status, EXIT_DONE);
  EXPECT_EQ(times(c.out), (Times{"1", "2", "3", "10", "11", "12", "13"}));
  const std::string& text = err.str();
  EXPECT_EQ(text.substr(text.rfind('\n', text.size() - 2)),
            "\nRead 7 packets, skipped 1 bad packets.\n");
}

TEST(Conversion, CloseFailureIsReported) {
  MessageCapture err;
  EXPECT_EQ(close_log(-1, err.messages), EXIT_CLOSE);
  EXPECT_EQ(err.str(), "Error on close: Bad file descriptor\n");
}

}  // namespace
}  // namespace korvex::test
