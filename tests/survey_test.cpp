// The survey pass on logs in memory: oldest and newest positions, decreases, section union,
// warnings and dots.
#include <gtest/gtest.h>

#include "support/log_builder.h"
#include "survey/survey.h"

namespace korvex::test {
namespace {

constexpr std::int64_t kPlain = 32;  // marker + 30-byte record of layout 0 without sections

struct Surveyed {
  int result;
  SurveyResult s;
  std::string err;
};

Surveyed survey(const Bytes& log) {
  MessageCapture err;
  MemoryStream in(log);
  Surveyed out{};
  out.result = survey_log(in.stream, err.messages, out.s);
  out.err = err.str();
  return out;
}

TEST(Survey, EmptyLogHasNoRecord) {
  const Surveyed r = survey(Bytes{});
  EXPECT_EQ(r.result, SURVEY_NOT_FOUND);
  EXPECT_EQ(r.s.oldest_pos, -1);
  EXPECT_EQ(r.s.newest_pos, -1);
  EXPECT_EQ(r.s.sections_seen, 0U);
  EXPECT_EQ(r.s.reversals, 0U);
}

TEST(Survey, PositionsAreWhereTheReadsBegin) {
  // A single record, behind bytes that precede any marker: its read starts at 0.
  Surveyed r = survey(LogBuilder().raw({1, 2, 3}).record(0, 77, SECTION_GPS).bytes);
  EXPECT_EQ(r.result, SURVEY_FOUND);
  EXPECT_EQ(r.s.oldest_pos, 0);
  EXPECT_EQ(r.s.newest_pos, 0);
  EXPECT_EQ(r.s.sections_seen, SECTION_GPS);
  EXPECT_EQ(r.err, "");

  // Wrapped once: 5 6 7 1 2 3.
  r = survey(LogBuilder().records(0, {5, 6, 7, 1, 2, 3}).bytes);
  EXPECT_EQ(r.s.reversals, 1U);
  EXPECT_EQ(r.s.oldest_pos, 3 * kPlain);  // after record 7
  EXPECT_EQ(r.s.newest_pos, 2 * kPlain);  // after record 6

  // Ties go to the first record in file order.
  r = survey(LogBuilder().records(0, {1, 2, 2, 3}).bytes);
  EXPECT_EQ(r.s.reversals, 0U);
  EXPECT_EQ(r.s.oldest_pos, 0);
  EXPECT_EQ(r.s.newest_pos, 3 * kPlain);
  r = survey(LogBuilder().records(0, {4, 9, 9, 1}).bytes);
  EXPECT_EQ(r.s.newest_pos, kPlain);
  EXPECT_EQ(r.s.oldest_pos, 3 * kPlain);
  r = survey(LogBuilder().records(0, {3, 4, 1, 2, 5, 0}).bytes);
  EXPECT_EQ(r.s.reversals, 2U);
}

TEST(Survey, RejectedPacketAtTheWrapPointMovesTheOldestPosition) {
  const Surveyed r = survey(
      LogBuilder().records(0, {5, 6, 7}).marker().raw(Bytes(20, 1)).records(0, {1, 2}).bytes);
  EXPECT_EQ(r.s.oldest_pos, 3 * kPlain);  // the rejected packet's marker, not record 1's
  EXPECT_EQ(r.s.newest_pos, 2 * kPlain);
}

TEST(Survey, LogsStampedAllZeroOrAllOnesHaveOldestAndNewest) {
  Surveyed r = survey(LogBuilder().records(0, {0, 0, 0}).bytes);
  EXPECT_EQ(r.result, SURVEY_FOUND);
  EXPECT_EQ(r.s.oldest_pos, 0);
  EXPECT_EQ(r.s.newest_pos, 0);
  r = survey(LogBuilder().records(0, {0xFFFFFFFF, 0xFFFFFFFF}).bytes);
  EXPECT_EQ(r.result, SURVEY_FOUND);
  EXPECT_EQ(r.s.oldest_pos, 0);
  EXPECT_EQ(r.s.newest_pos, 0);
  // A later record replaces them only when strictly lower or higher.
  r = survey(LogBuilder().records(0, {0, 0, 0xFFFFFFFF, 0}).bytes);
  EXPECT_EQ(r.s.oldest_pos, 0);
  EXPECT_EQ(r.s.newest_pos, 2 * kPlain);
  EXPECT_EQ(r.s.reversals, 1U);
}

TEST(Survey, WarnsWhenARecordsSectionsDifferFromTheUnionSoFar) {
  const Bytes log = LogBuilder()
                        .record(0, 1, SECTION_TELM1)
                        .record(0, 2, SECTION_TELM1 | SECTION_TELM2)
                        .record(0, 3, SECTION_TELM1)
                        .bytes;
  const Surveyed r = survey(log);
  EXPECT_EQ(r.err,
            "Warning, records contain inconsistent sections: 02 06 04\n"
            "Warning, records contain inconsistent sections: 06 02 04\n");
  EXPECT_EQ(r.s.sections_seen, 0x06U);
  EXPECT_EQ(survey(LogBuilder().records(0, {1, 2, 3}, 0x06).bytes).err, "");
}

TEST(Survey, OneDotPerThousandRecords) {
  LogBuilder b;
  for (std::uint32_t t = 0; t < 2500; ++t) b.record(0, t);
  Bytes log = b.bytes;
  EXPECT_EQ(survey(log).err, "..");
  log.resize(999 * kPlain);
  EXPECT_EQ(survey(log).err, "");
  log = b.bytes;
  log.resize(1000 * kPlain);
  EXPECT_EQ(survey(log).err, ".");
}

}  // namespace
}  // namespace korvex::test
