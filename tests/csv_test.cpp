// The analysis tables' header, and columns chosen by name, label and block. (Their cells are
// checked against the values in values_test.cpp.)
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "output/csv/csv_table.h"
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
    std::string_view format;
    char separator;
  } kTables[] = {{"tab", '\t'}, {"comma", ','}, {"csv", ','}, {"tsv", '\t'}};
  for (const auto& table : kTables) {
    Options options;
    options.format = find_format(table.format);
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
    if (table.format == "csv") {
      EXPECT_EQ(lines[0].substr(0, 46), "Time,flight,alt,telm1_RPM,telm2_RPM,telm1_rfl1");
      EXPECT_EQ(lines[0].substr(lines[0].size() - 62),
                "telm1_fail,lat,baro,ASI,TAS,VSI,g_s,rotor,m_v,b_v,amps,AOA,OAT");
    }
  }
}

}  // namespace
}  // namespace korvex::test
