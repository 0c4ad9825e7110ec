// The engine time, air time, landings and the oil minimum while running of the flights table,
// on hand-made flights at the edges of their rules.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "aggregation/figures/figure_table.h"
#include "support/log_builder.h"

namespace korvex::test {
namespace {

// A flight of records one second apart; `airborne(i)` and `running(i)` say what record i shows.
struct FlightCase {
  std::string name;
  int records;
  std::function<bool(int)> airborne;
  std::function<bool(int)> running;
  SectionFlags sections;
  // The flights table's cells (csv) that the case checks, by column; a column not expected in
  // the table is "absent".
  std::map<std::string, std::string> cells;
};

constexpr std::int16_t kFlying = 95, kTaxiing = 39;      // kt: airborne from 40
constexpr std::uint16_t kRunning = 400, kStopped = 399;  // RPM: running from 400

// The flights table of the case's log, as column name → cell.
std::map<std::string, std::string> flights_row(const FlightCase& c) {
  LogBuilder log;
  for (int i = 0; i < c.records; ++i) {
    RecordFields f = sample_fields(834700000U + static_cast<std::uint32_t>(i), c.sections);
    f.base.asi = c.airborne(i) ? kFlying : kTaxiing;
    if (f.telm1) {
      f.telm1->rpm = c.running(i) ? kRunning : kStopped;
      f.telm1->oil_p = static_cast<std::uint16_t>(500 + i);  // 50.0 psi and rising
    }
    log.record(2, f);
  }
  Options options;
  options.format = find_format("csv");
  options.flights_table = true;
  const Conversion run = convert(log.bytes, options);
  EXPECT_EQ(run.status, 0) << run.err;
  std::istringstream table(run.out);
  std::string header, row;
  std::getline(table, header);
  std::getline(table, row);
  std::map<std::string, std::string> cells;
  std::istringstream names(header + ","), values(row + ",");
  for (std::string name, value;
       std::getline(names, name, ',') && std::getline(values, value, ',');) {
    cells[name] = value;
  }
  return cells;
}

TEST(FlightFigures, EngineTimeAirTimeLandingsAndRunningOilAtTheirEdges) {
  const auto always = [](int) { return true; };
  const auto never = [](int) { return false; };
  const auto from_to = [](int first, int last) {
    return [first, last](int i) { return i >= first && i <= last; };
  };
  const auto two = [](int first, int length, int between) {
    return [=](int i) {
      return (i >= first && i < first + length) ||
             (i >= first + length + between && i < first + 2 * length + between);
    };
  };
  constexpr SectionFlags kEngine = SECTION_TELM1;
  const std::vector<FlightCase> cases = {
      {"a stretch of 59 records is no flight",
       100,
       from_to(10, 68),
       always,
       kEngine,
       {{"air_time", "0:00:59"}, {"landings", "0"}}},
      {"a stretch of 60 records is a flight",
       100,
       from_to(10, 69),
       always,
       kEngine,
       {{"air_time", "0:01:00"}, {"landings", "1"}}},
      {"stretches 29 records apart are one",
       200,
       two(10, 40, 29),
       always,
       kEngine,
       {{"air_time", "0:01:20"}, {"landings", "1"}}},
      {"stretches 30 records apart are two",
       200,
       two(10, 40, 30),
       always,
       kEngine,
       {{"air_time", "0:01:20"}, {"landings", "0"}}},
      {"two flights 30 records apart",
       200,
       two(10, 60, 30),
       always,
       kEngine,
       {{"air_time", "0:02:00"}, {"landings", "2"}}},
      {"airborne to the last record",
       100,
       from_to(30, 99),
       always,
       kEngine,
       {{"landings", "1"}, {"air_time", "0:01:10"}}},
      {"an engine that never runs",
       100,
       never,
       never,
       kEngine,
       {{"engine1_time", "0:00:00"},
        {"min_telm1_oil_p", ""},
        {"air_time", "0:00:00"},
        {"landings", "0"}}},
      {"the oil while running only",
       100,
       never,
       from_to(20, 79),
       kEngine,
       {{"engine1_time", "0:01:00"}, {"min_telm1_oil_p", "52.0"}}},
      {"no engine monitor, attitude or GPS",
       100,
       from_to(0, 99),
       always,
       0,
       {{"engine1_time", "absent"},
        {"min_telm1_oil_p", "absent"},
        {"distance_nm", "absent"},
        {"air_time", "0:01:40"},
        {"landings", "1"}}},
      {"both engine monitors",
       100,
       never,
       from_to(0, 49),
       SECTION_TELM1 | SECTION_TELM2,
       {{"engine1_time", "0:00:50"}, {"engine2_time", "0:01:40"}}},
  };
  for (const FlightCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::map<std::string, std::string> row = flights_row(c);
    for (const auto& [column, cell] : c.cells) {
      if (cell == "absent") {
        EXPECT_EQ(row.count(column), 0U) << column;
      } else {
        ASSERT_EQ(row.count(column), 1U) << column;
        EXPECT_EQ(row.at(column), cell) << column;
      }
    }
  }
}

// A figure's key is what the flights table and the logbook call it, the same in every run: the
// keys of each set of sections, in the table's order, written out as the README lists the
// flights table's columns; a key names one figure, whatever else the log has.
TEST(FlightFigures, KeysAreTheSameInEveryRun) {
  const auto engine = [](const std::string& m) {
    std::vector<std::string> keys = {"max_" + m + "RPM", "max_" + m + "MAP", "max_" + m + "o_t",
                                     "min_" + m + "oil_p"};
    for (int tc = 1; tc <= 12; ++tc) keys.push_back("max_" + m + "tc" + std::to_string(tc));
    keys.push_back(m + "fuel_used");
    // The fuel levels at the start and end of the flight.
    for (const char* level : {"fl1", "fl2"}) {
      keys.push_back("start_" + m + level);
      keys.push_back("end_" + m + level);
    }
    return keys;
  };
  const auto join = [](std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
  };
  const std::vector<std::string> air = {"air_time", "landings"};
  // The time in each phase, in every log.
  const std::vector<std::string> phases = {"stopped_time", "ground_time",  "takeoff_time",
                                           "climb_time",   "cruise_time",  "descent_time",
                                           "landing_time", "airborne_time"};
  const std::vector<std::string> base = {"max_alt", "max_ASI"};
  const std::vector<std::string> gps = {"distance_nm", "max_gs"};
  // The cruise figures come last: the medians of the base columns, of GPS, of each engine.
  const std::vector<std::string> cruise = {"cruise_alt", "cruise_TAS", "cruise_OAT", "cruise_m_v"};
  const auto engine_cruise = [](const std::string& m, bool spread) {
    std::vector<std::string> keys;
    for (const char* c : {"RPM", "MAP", "flow", "o_t", "oil_p"}) keys.push_back("cruise_" + m + c);
    for (int tc = 1; tc <= 12; ++tc) keys.push_back("cruise_" + m + "tc" + std::to_string(tc));
    if (spread) keys.push_back("cruise_" + m + "egt_spread");
    return keys;
  };
  // The spread of EGTs where the profile names them.
  Profile named;
  named.engines[0].egt = {1, 2};
  Profile by_gps;
  by_gps.airborne.column = {SECTION_ID_GPS, known_field(SECTION_ID_GPS, "gs")};
  const struct {
    SectionFlags sections;
    const Profile& profile;
    std::vector<std::string> keys;
  } kCases[] = {
      {0, Profile{}, join({air, phases, base, cruise})},
      {SECTION_TELM2, Profile{},
       join({{"engine2_time"},
             air,
             phases,
             base,
             engine("telm2_"),
             cruise,
             engine_cruise("telm2_", false)})},
      {SECTION_ALL, named,
       join({{"engine1_time", "engine2_time"},
             air,
             phases,
             base,
             engine("telm1_"),
             engine("telm2_"),
             gps,
             cruise,
             {"cruise_gs"},
             engine_cruise("telm1_", true),
             engine_cruise("telm2_", false)})},
      // Airborne by a GPS column: without GPS, no air time and no landings.
      {SECTION_TELM1, by_gps,
       join({{"engine1_time"},
             phases,
             base,
             engine("telm1_"),
             cruise,
             engine_cruise("telm1_", false)})},
  };
  for (const auto& c : kCases) {
    std::vector<std::string> keys;
    for (const FigureId id : log_figures(c.sections, c.profile)) {
      keys.push_back(figure_key(id));
      EXPECT_EQ(find_figure(keys.back()), id);
    }
    EXPECT_EQ(keys, c.keys);
  }
  EXPECT_EQ(find_figure("max_telm3_RPM"), FIGURE_COUNT);
}

}  // namespace
}  // namespace korvex::test
