// Header and record rows, the blocks, the Time cell and the read loop, on logs in memory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "output/table/table_output.h"
#include "output/table/table_rows.h"
#include "plan/read_plan.h"
#include "selection/record_filter.h"
#include "support/log_builder.h"

namespace korvex::test {
namespace {

constexpr SectionFlags kAll = SECTION_TELM1 | SECTION_TELM2 | SECTION_ATTITUDE | SECTION_GPS;

// Expected cells in comma mode, for sample_fields(90061, ...).
const std::string kDatedBase =
    "\"01/02/2000 01:01:01\",1061,2992,91,98,-120,1.2,5,14.1,12.7,-3.5,4,-7,";
const std::string kRawBase = "90061,1061,2992,91,98,-120,1.2,5,14.1,12.7,-3.5,4,-7,";
const std::string kTelmHead =
    "10.25,245,31,32,18.7,185,65.2,-3,5.2,7,1301,1302,1303,1304,1305,1306,"
    "1307,1308,1309,1310,1311,1312,";
const std::string kTelm1Long = "2461,11,12,21,22," + kTelmHead + "41,42,43,44,45,46,";
const std::string kTelm2Long = "2561,11,12,21,22," + kTelmHead + "41,42,43,44,45,46,";
const std::string kTelm1Short = "2461,11,12,21,22," + kTelmHead + "0,0,0,0,45,46,";
const std::string kTelm2Short = "2561,11,12,21,22," + kTelmHead + "0,0,0,0,45,46,";
const std::string kAttitude = "-15,4,1,271,2,1.1,  12:05,";
const std::string kGps = "47.50000,-122.25000,268,112,1551,3,9,4,6,";
const std::string kGpsLayout0 = "47.50000,-122.25000,268,112,1551,0,0,0,0,";
const std::string kTelmZeros =
    "0,0,0,0,0,0.00,0,0,0,0.0,0,0.0,0,0.0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,";
const std::string kAttitudeZeros = "0,0,0,0,0,0.0,   0:00,";
const std::string kGpsZeros = "0.00000,0.00000,0,0,0,0,0,0,0,";

std::string header(DelimiterMode mode, SectionFlags sections) {
  std::string text;
  OutBuffer out(&text);
  print_header(out, mode, ColumnSet{sections});
  out.flush();
  return text;
}

// A plan of one range of the file.
ReadPlan one_range(std::int64_t start, std::int64_t limit) {
  ReadPlan plan;
  plan.range_count = 1;
  plan.ranges[0] = {start, limit, "seek to start"};
  return plan;
}

// Every record of the plan, printed by `table`.
using ClassicTable = TableOutput<CellStyle::CLASSIC>;

ReadOutcome print_rows(ByteStream& in, const ReadPlan& plan, Messages& messages,
                       ClassicTable& table) {
  const Selection every;
  RecordFilter filter(every, table);
  return read_in_order(in, plan, &messages, filter);
}

// The rows of every record of the log, in file order.
std::string rows(const Bytes& log, DelimiterMode mode, SectionFlags sections,
                 std::int64_t* count = nullptr) {
  MessageCapture err;
  MemoryStream in(log);
  std::string text;
  OutBuffer out(&text);
  const ColumnSet columns{sections};
  ClassicTable table(out, print_header, mode, columns);
  const ReadOutcome outcome = print_rows(in.stream, one_range(0, NO_LIMIT), err.messages, table);
  out.flush();
  EXPECT_EQ(outcome.end, ReadEnd::DONE);
  if (count != nullptr) *count = outcome.records;
  return text;
}

TEST(Header, BaseLabelsAndBlocksInEveryMode) {
  EXPECT_EQ(header(DELIM_COMMA, 0), "Time,alt,baro,ASI,TAS,VSI,g-s,rotor,m-v,b-v,amps,AOA,OAT,\n");
  EXPECT_EQ(
      header(DELIM_SPACE, 0),
      "                 Time    alt baro ASI TAS  VSI  g-s rotor  m-v  b-v  amps   AOA OAT\n");
  EXPECT_EQ(
      header(DELIM_TAB, SECTION_ATTITUDE | SECTION_GPS),
      "Time\talt\tbaro\tASI\tTAS\tVSI\tg-s\trotor\tm-v\tb-v\tamps\tAOA\tOAT\t"
      "bank\tptch\tslip\thdg\tyaw\tG\tturn\tlat\tlong\thdg\tgs\tg-alt\tstatus\tsats\thac\tvac\t\n");
  const std::string telm =
      "RPM,rfl1,rfl2,ch1,ch2,flow,MAP,fl1,fl2,flc,o-t,oil-p,carb,f-p,h2o,tc1,tc2,tc3,tc4,tc5,tc6,"
      "tc7,tc8,tc9,tc10,tc11,tc12,rch1,rch2,rot,rop,ref,fail,";
  const std::string base = "Time,alt,baro,ASI,TAS,VSI,g-s,rotor,m-v,b-v,amps,AOA,OAT,";
  EXPECT_EQ(header(DELIM_COMMA, SECTION_TELM1 | SECTION_TELM2), base + telm + telm + "\n");
  EXPECT_EQ(header(DELIM_COMMA, SECTION_TELM2), base + telm + "\n");
  // One engine-monitor block's labels take 166 characters in space mode.
  EXPECT_EQ(header(DELIM_SPACE, SECTION_TELM1).size() - header(DELIM_SPACE, 0).size(), 166U);
  EXPECT_EQ(header(DELIM_SPACE, SECTION_ATTITUDE | SECTION_GPS).substr(83),
            " bank ptch slip hdg  yaw   G   turn       lat       long hdg  gs g-alt status sats  "
            "hac  vac\n");
}

TEST(Rows, EveryLayoutWithEverySection) {
  const std::string both_long = kTelm1Long + kTelm2Long;
  const std::string both_short = kTelm1Short + kTelm2Short;
  struct Case {
    RecordLayout layout;
    std::string row;
  };
  const Case cases[] = {
      {0, kRawBase + both_short + kAttitude + kGpsLayout0 + "\n"},
      {1, kRawBase + both_short + kAttitude + kGps + "\n"},
      {2, kDatedBase + both_long + kAttitude + kGps + "\n"},
      // Layout 3 has 63-byte engine-monitor sections and is read in the long form.
      {3, kDatedBase + both_long + kAttitude + kGps + "\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.layout);
    std::int64_t n = 0;
    EXPECT_EQ(rows(LogBuilder().record(c.layout, 90061, kAll).bytes, DELIM_COMMA, kAll, &n), c.row);
    EXPECT_EQ(n, 1);
  }
}

TEST(Rows, EverySectionCombinationFillsEveryCellOfTheHeader) {
  // Any record, whatever sections it carries, prints as many cells as the header of the log's
  // set has; a block it carries shows its values, one it lacks shows zeros.
  const std::size_t header_cells = 13 + 33 + 33 + 7 + 9;
  for (RecordLayout layout = 0; layout < RECORD_LAYOUT_COUNT; ++layout) {
    for (SectionFlags sections = 0; sections <= kAll; sections += 2) {
      SCOPED_TRACE(testing::Message() << "layout " << layout << " sections " << sections);
      const std::string row =
          rows(LogBuilder().record(layout, 90061, sections).bytes, DELIM_COMMA, kAll);
      EXPECT_EQ(static_cast<std::size_t>(std::count(row.begin(), row.end(), ',')), header_cells);
      const std::size_t telm1 = row.find(",2461,"), telm2 = row.find(",2561,");
      EXPECT_EQ(telm1 != std::string::npos, (sections & SECTION_TELM1) != 0);
      EXPECT_EQ(telm2 != std::string::npos, (sections & SECTION_TELM2) != 0);
      EXPECT_EQ(row.find(kAttitude) != std::string::npos, (sections & SECTION_ATTITUDE) != 0);
      EXPECT_EQ(row.find("47.50000,-122.25000,268,112,1551,") != std::string::npos,
                (sections & SECTION_GPS) != 0);
    }
  }
}

TEST(Rows, Layout3EngineMonitorsAreReadInTheLongForm) {
  // With one 63-byte section and no other, the short form would stop 7 bytes early; the long
  // form reads rch1 to fail from body bytes 52 to 62 and the blocks after it line up.
  const SectionFlags sections = SECTION_TELM1 | SECTION_GPS;
  EXPECT_EQ(rows(LogBuilder().record(3, 90061, sections).bytes, DELIM_COMMA, sections),
            kDatedBase + kTelm1Long + kGps + "\n");
}

TEST(Rows, BlocksTheRecordLacksPrintAsZeros) {
  // The log's set holds all four; this layout-1 record carries only attitude and GPS.
  const Bytes log = LogBuilder().record(1, 90061, SECTION_ATTITUDE | SECTION_GPS).bytes;
  EXPECT_EQ(rows(log, DELIM_COMMA, kAll),
            kRawBase + kTelmZeros + kTelmZeros + kAttitude + kGps + "\n");
  // Only the second engine monitor: the first block is zeros, the second has the values.
  EXPECT_EQ(rows(LogBuilder().record(1, 90061, SECTION_TELM2).bytes, DELIM_COMMA,
                 SECTION_TELM1 | SECTION_TELM2),
            kRawBase + kTelmZeros + kTelm2Short + "\n");
  // A section outside the log's set prints nothing.
  EXPECT_EQ(rows(LogBuilder().record(1, 90061, SECTION_ATTITUDE).bytes, DELIM_COMMA, 0),
            kRawBase + "\n");
}

TEST(Rows, NoCellShowsBytesOfAnEarlierLongerPacket) {
  // A long rejected packet full of GPS-like bytes, then a record whose attitude section ends its
  // payload: its GPS block is zeros.
  Bytes stale = record_body(1, sample_fields(5, SECTION_ATTITUDE | SECTION_GPS));
  stale.resize(600, 0x04);
  const Bytes log = LogBuilder().marker().raw(stale).record(1, 90061, SECTION_ATTITUDE).bytes;
  EXPECT_EQ(rows(log, DELIM_COMMA, SECTION_ATTITUDE | SECTION_GPS),
            kRawBase + kAttitude + kGpsZeros + "\n");
}

TEST(Rows, BlocksArePrintedFromWhereTheRecordCarriesThem) {
  // The section offset byte puts the attitude section two bytes after the base payload.
  Bytes body = record_body(1, sample_fields(90061, SECTION_ATTITUDE));
  body.insert(body.begin() + 30, {0x09, 0x09});
  body[0] = static_cast<std::uint8_t>(body[0] + 2);
  body[1] = 30;
  EXPECT_EQ(rows(LogBuilder().marker().raw(body).bytes, DELIM_COMMA, SECTION_ATTITUDE),
            kRawBase + kAttitude + "\n");
  // An engine-monitor section found inside the timestamp (offset byte 2): its body is the
  // payload itself, and nothing outside the record is shown.
  Bytes inside{62, 2, 0x10, 0x20, 1, 56};
  for (std::uint8_t i = 0; i < 56; ++i) inside.push_back(i);
  const std::string row = rows(LogBuilder().marker().raw(inside).bytes, DELIM_COMMA, SECTION_TELM1);
  EXPECT_EQ(
      row,
      "939597840,50462976,1284,1798,2312,2826,334.0,3854,1.6,1.7,488.2,5396,5910,"
      "256,770,1284,1798,2312,28.26,3340,3854,4368,488.2,5396,591.0,6424,2.6,27,"
      "7452,7966,8480,8994,9508,10022,10536,11050,11564,12078,12592,13106,0,0,0,0,13620,54,\n");
}

TEST(Rows, SpaceModeRowsAlignUnderTheHeader) {
  const Bytes log = LogBuilder().record(2, 90061, kAll).record(0, 90061, kAll).bytes;
  const std::string head = header(DELIM_SPACE, kAll);
  const std::string text = rows(log, DELIM_SPACE, kAll);
  const std::size_t first_end = text.find('\n');
  EXPECT_EQ(text.substr(0, first_end + 1).size(), head.size());
  EXPECT_EQ(text.substr(first_end + 1).size(), head.size());
  EXPECT_EQ(
      text.substr(0, 83),
      "\"01/02/2000 01:01:01\"   1061 2992  91  98 -120  1.2     5 14.1 12.7  -3.5     4  -7");
  EXPECT_EQ(text.substr(first_end + 1, 83),
            "                90061   1061 2992  91  98 -120  1.2     5 14.1 12.7  -3.5     4  -7");
  // Every line ends with its last value in space mode.
  EXPECT_EQ(text.substr(first_end - 4, 5), "   6\n");
}

TEST(Rows, TimeCellAndRotor) {
  // Without an engine monitor a layout-2 record reads as layout 1; the section makes it dated.
  RecordFields f = sample_fields(0, SECTION_TELM1);
  f.base.rotor = 0xFFFF;
  std::string text = rows(LogBuilder().record(2, f).bytes, DELIM_TAB, 0);
  EXPECT_EQ(text.substr(0, 22), "\"01/01/2000 00:00:00\"\t");
  EXPECT_NE(text.find("\t32767\t"), std::string::npos);
  f.timestamp = 4294967295U;
  EXPECT_EQ(rows(LogBuilder().record(3, f).bytes, DELIM_TAB, 0).substr(0, 22),
            "\"02/07/2136 06:28:15\"\t");
  EXPECT_EQ(rows(LogBuilder().record(1, f).bytes, DELIM_TAB, 0).substr(0, 11), "4294967295\t");
  EXPECT_EQ(rows(LogBuilder().record(0, f).bytes, DELIM_SPACE, 0).substr(0, 21),
            "           4294967295");
  // Calendar dates: the leap days of 2000 and 2100 (which has none).
  const std::pair<std::uint32_t, const char*> dates[] = {
      {59 * 86400, "\"02/29/2000 00:00:00\""},
      {60 * 86400 - 1, "\"02/29/2000 23:59:59\""},
      {366 * 86400, "\"01/01/2001 00:00:00\""},
      {36584U * 86400U, "\"03/01/2100 00:00:00\""}};
  for (const auto& [stamp, text_of_date] : dates) {
    f.timestamp = stamp;
    EXPECT_EQ(rows(LogBuilder().record(2, f).bytes, DELIM_TAB, 0).substr(0, 21), text_of_date);
  }
}

TEST(ReadPlan, LimitIsTestedBeforeEachRecord) {
  const Bytes log = LogBuilder().records(0, {1, 2, 3}).bytes;  // 32 bytes each
  MessageCapture err;
  auto pass = [&](std::int64_t start, std::int64_t limit) {
    MemoryStream in(log);
    std::string text;
    OutBuffer out(&text);
    const ColumnSet columns{0};
    ClassicTable table(out, print_header, DELIM_COMMA, columns);
    const std::int64_t n =
        print_rows(in.stream, one_range(start, limit), err.messages, table).records;
    out.flush();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), n);
    return n;
  };
  EXPECT_EQ(pass(0, 0), 0);
  EXPECT_EQ(pass(64, 64), 0);
  EXPECT_EQ(pass(0, 1), 1);  // a record that starts before the limit is printed whole
  EXPECT_EQ(pass(0, 33), 2);
  EXPECT_EQ(pass(0, NO_LIMIT), 3);
}

TEST(ReadPlan, StopsAtTheFirstFailedWrite) {
  LogBuilder b;
  for (std::uint32_t t = 0; t < 5000; ++t) b.record(2, t, kAll);
  MemoryStream in(b.bytes);
  const int fd = ::open("/dev/full", O_WRONLY);
  ASSERT_GE(fd, 0);
  OutBuffer out(fd, kMinOutBuffer);
  MessageCapture err;
  const ColumnSet columns{kAll};
  ClassicTable table(out, print_header, DELIM_TAB, columns);
  const ReadOutcome outcome = print_rows(in.stream, one_range(0, NO_LIMIT), err.messages, table);
  ::close(fd);
  EXPECT_EQ(out.failed(), ENOSPC);
  EXPECT_EQ(outcome.end, ReadEnd::STOPPED);
  EXPECT_LT(outcome.records, 50);
}

}  // namespace
}  // namespace korvex::test
