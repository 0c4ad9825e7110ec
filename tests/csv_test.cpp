// The analysis tables' header, and columns chosen by name, label and block. (Their cells are
// checked against the values in values_test.cpp.)
#include <gtest/gtest.h>

#include <tuple>

#include "aggregation/figures/figure_table.h"
#include "fields/name_match.h"
#include "output/flights/flight_columns.h"

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

// --columns as people type it: names and labels in any case where that is unambiguous, ranges
// of numbered columns, shell patterns, each column once at its first place, and for a name that
// matches nothing the closest names.
TEST(ChosenColumns, NamesAsPeopleTypeThem) {
  const SectionFlags every = SECTION_TELM1 | SECTION_TELM2 | SECTION_ATTITUDE | SECTION_GPS;
  const struct {
    const char* list;
    SectionFlags sections;
    const char* chosen;  // the columns' names, comma-separated; or the start of the error
    bool ok;
  } kCases[] = {
      {"rpm", every, "telm1_RPM,telm2_RPM", true},
      {"TELM1_rpm,Alt", every, "telm1_RPM,alt", true},
      {"g", every, "G", true},
      {"tc1-tc3", every, "telm1_tc1,telm1_tc2,telm1_tc3,telm2_tc1,telm2_tc2,telm2_tc3", true},
      {"telm1_tc10-telm1_tc12", every, "telm1_tc10,telm1_tc11,telm1_tc12", true},
      {"TC11-tc12", SECTION_TELM1, "telm1_tc11,telm1_tc12", true},
      {"telm2_tc*", every,
       "telm2_tc1,telm2_tc2,telm2_tc3,telm2_tc4,telm2_tc5,telm2_tc6,telm2_tc7,telm2_tc8,telm2_tc9,"
       "telm2_tc10,telm2_tc11,telm2_tc12",
       true},
      {"*OIL*", every, "telm1_oil_p,telm2_oil_p", true},
      {"gps_h?g,b?v", every, "gps_hdg,b_v", true},
      {"alt,ALT,base,Time", 0, "alt,baro,ASI,TAS,VSI,g_s,rotor,m_v,b_v,amps,AOA,OAT", true},
      {"tc3-tc1", every, "unknown column 'tc3-tc1'", false},
      {"tc1-tc13", every, "the range 'tc1-tc13' names 'tc13', which is no column", false},
      {"oilp", every, "unknown column 'oilp'; did you mean oil-p?", false},
      {"zzzz", every, "unknown column 'zzzz'; --describe lists the log's columns", false},
      {"lat", 0, "the log has no section that holds 'lat'; this log has the blocks base", false},
      {"nomatch*", every, "unknown column 'nomatch*'", false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.list);
    ColumnSet columns;
    std::string error;
    EXPECT_EQ(choose_columns(c.list, c.sections, columns, error), c.ok) << error;
    if (!c.ok) {
      EXPECT_EQ(error.rfind(c.chosen, 0), 0U) << error;
      continue;
    }
    std::string names;
    columns.for_each(
        [&](ColumnRef r) { names += (names.empty() ? "" : ",") + column_name(r.block, *r.field); });
    EXPECT_EQ(names, c.chosen);
  }
  // Names that differ only in case make a word that matches both ambiguous.
  const NameChoice ambiguous = choose_names("rpm", {{"RPM"}, {"Rpm"}, {"alt"}});
  EXPECT_EQ(ambiguous.match, NameMatch::AMBIGUOUS);
  EXPECT_EQ(ambiguous.error, "the column 'rpm' is ambiguous: RPM or Rpm");
  for (const auto& [pattern, text, matches] :
       std::vector<std::tuple<const char*, const char*, bool>>{{"*", "", true},
                                                               {"a*b*c", "aXbYc", true},
                                                               {"a*b*c", "aXbY", false},
                                                               {"*tc1?", "telm1_tc12", true},
                                                               {"?", "", false},
                                                               {"**x", "x", true},
                                                               {"*", "a*b", true},
                                                               {"a*", "a*", true}}) {
    EXPECT_EQ(matches_pattern(pattern, text), matches) << pattern << " " << text;
  }
}

// --columns with --flights: flight, start and end, then the summary columns named.
TEST(ChosenColumns, FlightsTableColumns) {
  const std::vector<FlightColumn> all =
      flight_columns(log_figures(SECTION_TELM1 | SECTION_GPS, Profile{}));
  std::string error;
  std::string names;
  for (const FlightColumn& c :
       chosen_flight_columns(all, "DISTANCE_NM,max_alt,start,*fuel*", error)) {
    names += (names.empty() ? "" : ",") + c.name;
  }
  EXPECT_EQ(names, "flight,start,end,distance_nm,max_alt,telm1_fuel_used") << error;
  EXPECT_TRUE(chosen_flight_columns(all, "maxalt", error).empty());
  EXPECT_EQ(error, "unknown column 'maxalt'; did you mean max_alt?");
}

}  // namespace
}  // namespace korvex::test
