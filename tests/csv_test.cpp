// The analysis tables against the classic one: the same records and cells, with unique names,
// ISO times, unpadded minutes and seconds, and empty cells for values a record does not carry.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <algorithm>
#include <set>

#include "fields/decode.h"
#include "output/csv/csv_table.h"
#include "output/table/table_rows.h"
#include "plan/read_plan.h"
#include "support/log_builder.h"

namespace korvex::test {
namespace {

std::vector<std::string> cells_of(const std::string& line, char separator) {
  std::vector<std::string> cells;
  std::size_t at = 0;
  for (std::size_t next; (next = line.find(separator, at)) != std::string::npos; at = next + 1) {
    cells.push_back(line.substr(at, next - at));
  }
  cells.push_back(line.substr(at));
  return cells;
}

// "MM/DD/YYYY HH:MM:SS" in quotes as YYYY-MM-DDTHH:MM:SS; a raw count stays as it is.
std::string iso_time(const std::string& classic) {
  if (classic.empty() || classic[0] != '"') return classic;
  return classic.substr(7, 4) + "-" + classic.substr(1, 2) + "-" + classic.substr(4, 2) + "T" +
         classic.substr(12, 8);
}

// Prints every record both ways and compares the rows cell for cell.
struct BothTables final : RecordConsumer {
  SectionFlags sections;
  TimeCellCache classic_cache, csv_cache;
  std::int64_t rows = 0;

  bool record(const Record& rec) override {
    std::string classic, csv;
    OutBuffer classic_out(&classic), csv_out(&csv);
    const ColumnSet columns{sections};
    print_record_row(classic_out, DELIM_COMMA, rec, 7, columns, row_room(columns.count() + 2), classic_cache);
    print_csv_row(csv_out, DELIM_COMMA, rec, 7, columns, row_room(columns.count() + 2), csv_cache);
    classic_out.flush();
    csv_out.flush();
    std::vector<std::string> want = cells_of(classic.substr(0, classic.size() - 1), ',');
    want.pop_back();  // after the classic row's last separator
    std::vector<std::string> got = cells_of(csv.substr(0, csv.size() - 1), ',');
    EXPECT_EQ(csv.back(), '\n');
    EXPECT_EQ(got.at(1), "7");  // the flight, after Time
    got.erase(got.begin() + 1);
    EXPECT_EQ(got.size(), want.size());
    if (got.size() != want.size()) return false;
    EXPECT_EQ(got[0], iso_time(want[0]));
    std::size_t i = 1;
    for (int block = BASE_BLOCK; block < BLOCK_COUNT; ++block) {
      if (!shows_block(sections, block)) continue;
      for (const Field& f : block_fields[block]) {
        std::string expected = want[i];
        if (!record_value(rec, block, f)) {
          expected.clear();
        } else if (f.storage == Storage::MIN_SEC) {
          expected.erase(0, expected.find_first_not_of(' '));
        }
        EXPECT_EQ(got[i], expected) << "row " << rows << " column " << f.label;
        ++i;
      }
    }
    ++rows;
    return !testing::Test::HasFailure();
  }
};

TEST(AnalysisTable, IsTheClassicTableWithItsRules) {
  std::vector<std::string> logs = {KORVEX_SAMPLE};
  for (const auto& entry : std::filesystem::directory_iterator(KORVEX_GOLDEN_LOGS)) {
    logs.push_back(entry.path().string());
  }
  for (const std::string& path : logs) {
    SCOPED_TRACE(path);
    std::ifstream file(path, std::ios::binary);
    const Bytes log((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    MessageCapture err;
    MemoryStream in(log);
    SurveyResult survey;
    if (survey_log(in.stream, err.messages, survey) != SURVEY_FOUND) continue;
    BothTables both;
    both.sections = survey.sections_seen;
    const ReadOutcome outcome = read_in_order(in.stream, plan_reads(survey), &err.messages, both);
    EXPECT_EQ(outcome.end, ReadEnd::DONE);
    EXPECT_GT(both.rows, 0);
  }
}

TEST(AnalysisTable, HeaderNamesAreUniqueIdentifiers) {
  std::string text;
  OutBuffer out(&text);
  print_csv_header(out, DELIM_COMMA, ColumnSet{SECTION_ALL});
  out.flush();
  const std::string base =
      "Time,flight,alt,baro,ASI,TAS,VSI,g_s,rotor,m_v,b_v,amps,AOA,OAT,telm1_RPM,";
  EXPECT_EQ(text.substr(0, base.size()), base);
  EXPECT_NE(text.find(",telm1_tc12,telm1_rch1,"), std::string::npos);
  EXPECT_NE(text.find(",telm2_RPM,"), std::string::npos);
  EXPECT_NE(text.find(",telm2_oil_p,"), std::string::npos);
  EXPECT_EQ(text.substr(text.find(",bank,")),
            ",bank,ptch,slip,att_hdg,yaw,G,turn,lat,long,gps_hdg,gs,g_alt,status,sats,hac,vac\n");
  const std::vector<std::string> names = cells_of(text.substr(0, text.size() - 1), ',');
  EXPECT_EQ(names.size(), 96U);
  EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size());
  for (const std::string& name : names) {
    EXPECT_EQ(
        name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_0123456789"),
        std::string::npos)
        << name;
  }
}

TEST(ChosenColumns, RepeatedNamesShowEachColumnOnceAtItsFirstPlace) {
  // Thousands of names that repeat columns by name, label and block: the rows hold each column
  // once, whatever the number of names (their room follows the columns, not the names).
  LogBuilder log;
  for (std::uint32_t t = 0; t < 300; ++t) log.record(3, sample_fields(t, SECTION_ALL));
  std::string list = "alt,RPM,telm1,alt";
  for (int i = 0; i < 3000; ++i) list += i % 3 == 0 ? ",telm1" : i % 3 == 1 ? ",lat" : ",base";
  const struct {
    Format format;
    char separator;
  } kTables[] = {{Format::TAB, '\t'}, {Format::COMMA, ','}, {Format::CSV, ','}, {Format::TSV, '\t'}};
  for (const auto& table : kTables) {
    Options options;
    options.format = table.format;
    options.columns_given = true;
    options.columns = list;
    const Conversion c = convert(log.bytes, options);
    ASSERT_EQ(c.status, 0) << c.err;
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < c.out.size(); at = c.out.find('\n', at) + 1) {
      lines.push_back(c.out.substr(at, c.out.find('\n', at) - at));
    }
    ASSERT_EQ(lines.size(), 301U);
    // alt, both RPM, the 32 other columns of telm1, lat, the 11 other columns of base: every
    // line has 48 separators (the classic table's after each of Time and the 47 columns, the
    // analysis table's between Time, flight and the 47 columns).
    for (const std::string& line : lines) {
      ASSERT_EQ(std::count(line.begin(), line.end(), table.separator), 48) << line;
    }
    if (table.format == Format::CSV) {
      EXPECT_EQ(lines[0].substr(0, 46), "Time,flight,alt,telm1_RPM,telm2_RPM,telm1_rfl1");
      EXPECT_EQ(lines[0].substr(lines[0].size() - 62),
                "telm1_fail,lat,baro,ASI,TAS,VSI,g_s,rotor,m_v,b_v,amps,AOA,OAT");
    }
  }
}

}  // namespace
}  // namespace korvex::test
