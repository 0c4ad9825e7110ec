// The aircraft profile: what its file may say, what it refuses (with file, line and key), the
// template, and where the tool finds it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "fields/column_set.h"
#include "profile/profile_file.h"
#include "support/log_builder.h"
#include "support/run_capture.h"

namespace korvex::test {
namespace {

TEST(Profile, ErrorsNameTheFileTheLineAndTheKey) {
  const struct {
    std::string text, error;
  } kCases[] = {
      {"title = \"x\"\nmin = [1,\n",
       "p.toml:2: Error while parsing array: encountered end-of-file"},
      {"title = 3\n", "p.toml:1: title: is no text; write it in double quotes"},
      {"\n\ntitel = \"x\"\n",
       "p.toml:3: titel: unknown key; a profile has title, [aircraft], [columns.NAME], "
       "[engines.1], [engines.2], [airborne], [phases] and [trends]"},
      {"[aircraft]\nregistration = \"N1 23\"\n",
       "p.toml:2: aircraft.registration: is no registration or serial (letters, digits, '-', "
       "'.' or '/', at most 32)"},
      {"[aircraft]\ntail = \"N123\"\n",
       "p.toml:2: aircraft.tail: unknown key; [aircraft] takes registration and serial"},
      {"[columns.telm1_o_t]\nunit = \"F\"\nlable = \"Oil\"\n",
       "p.toml:3: columns.telm1_o_t.lable: unknown key; a column takes label, unit, scale, "
       "offset, table, min, max, min_seconds, while_running, phases, min_phases, max_phases and "
       "drift_min"},
      // Calibrations.
      {"[columns.telm1_MAP]\nscale = 0\n",
       "p.toml:2: columns.telm1_MAP.scale: is 0, which makes every value 0"},
      {"[columns.telm1_MAP]\noffset = \"x\"\n", "p.toml:2: columns.telm1_MAP.offset: is no number"},
      {"[columns.telm1_fl1]\ntable = [[0, 0]]\n",
       "p.toml:2: columns.telm1_fl1.table: has fewer than two pairs; write it as [[logged, value], "
       "[logged, value], ...], the logged values rising"},
      {"[columns.telm1_fl1]\ntable = 3\n", "p.toml:2: columns.telm1_fl1.table: is no list; "},
      {"[columns.telm1_fl1]\ntable = [[0, 0], [5]]\n",
       "p.toml:2: columns.telm1_fl1.table: holds something that is no pair; "},
      {"[columns.telm1_fl1]\ntable = [[0, 0], [\"a\", 1]]\n",
       "p.toml:2: columns.telm1_fl1.table: is no number"},
      {"[columns.telm1_fl1]\ntable = [[0, 0], [10, 5], [10, 6]]\n",
       "p.toml:2: columns.telm1_fl1.table: the logged value 10 does not rise above 10; "},
      {"[columns.telm1_fl1]\ntable = [[0, 0], [10, nan]]\n",
       "p.toml:2: columns.telm1_fl1.table: is no finite number"},
      {"[columns.telm1_fl1]\nscale = 2\ntable = [[0, 0], [10, 5]]\n",
       "p.toml:1: columns.telm1_fl1: gives both a table and a scale or offset; give the one or the "
       "other"},
      {"[columns.speed]\nunit = \"kt\"\n",
       "p.toml:1: columns.speed: no column is named 'speed'; KorvexLogDump --describe csv LOGFILE "
       "lists the names"},
      {"[columns.RPM]\n",
       "p.toml:1: columns.RPM: no column is named 'RPM'; KorvexLogDump "
       "--describe csv LOGFILE lists the names"},
      {"[columns.alt]\nmin = \"low\"\n", "p.toml:2: columns.alt.min: is no number"},
      {"[columns.telm1_o_t]\nmin = 300\nmax = 245\n",
       "p.toml:1: columns.telm1_o_t: min 300 is more than max 245"},
      {"[columns.alt]\nmin_seconds = 0\n",
       "p.toml:2: columns.alt.min_seconds: is no whole number of seconds from 1 to 86400"},
      {"[columns.alt]\nwhile_running = 1\n",
       "p.toml:2: columns.alt.while_running: is neither true nor false"},
      {"[engines.3]\nname = \"x\"\n",
       "p.toml:1: engines.3: there are engines 1 (telm1) and 2 (telm2)"},
      {"[engines.1]\negt = [\"tc1\", \"tc2\"]\ncht = [\"tc3\", \"tc2\"]\n",
       "p.toml:3: engines.1.cht: 'tc2' is named twice (engines.1.egt and engines.1.cht)"},
      {"[engines.2]\negt = [\"tc1\", \"tc1\"]\n",
       "p.toml:2: engines.2.egt: 'tc1' is named twice (engines.2.egt and engines.2.egt)"},
      {"[engines.1]\negt = [\"tc13\"]\n",
       "p.toml:2: engines.1.egt: 'tc13' is no thermocouple (tc1 to tc12)"},
      {"[engines.1]\ncht = \"tc7\"\n",
       "p.toml:2: engines.1.cht: is no list; write the thermocouples as [\"tc1\", \"tc2\", ...]"},
      {"[engines.1]\nrunning_rpm = -5\n", "p.toml:2: engines.1.running_rpm: is less than 0"},
      {"[engines.1]\nrpm = 400\n",
       "p.toml:2: engines.1.rpm: unknown key; an engine takes name, serial, egt, cht, egt_unit, "
       "cht_unit, "
       "running_rpm, egt_max, cht_max, cht_min, egt_spread_max, cht_cooling_max, min_seconds, "
       "phases, drift_egt_min and drift_cht_min"},
      {"[airborne]\ncolumn = \"telm1_RPM\"\n",
       "p.toml:2: airborne.column: 'telm1_RPM' is no column of the base payload or of GPS"},
      {"[airborne]\nabove = 40\n",
       "p.toml:2: airborne.above: unknown key; [airborne] takes column and min"},
      {"[columns.telm1_o_t]\nphases = [\"climb\", \"cruising\"]\n",
       "p.toml:2: columns.telm1_o_t.phases: 'cruising' is no phase; the phases are stopped, "
       "ground, takeoff, climb, cruise, descent, landing, airborne"},
      {"[engines.1]\nphases = \"cruise\"\n",
       "p.toml:2: engines.1.phases: is no list of phases; write [\"climb\", \"cruise\"] of "},
      {"[engines.1]\nphases = []\n", "p.toml:2: engines.1.phases: is no list of phases; "},
      {"[phases]\ncruise_seconds = 0\n",
       "p.toml:2: phases.cruise_seconds: is no whole number of seconds from 1 to 3600"},
      {"[phases]\nvertical_seconds = 1\n",
       "p.toml:2: phases.vertical_seconds: is no whole number of seconds from 2 to 3600"},
      {"[phases]\ncruise_rpm = -5\n", "p.toml:2: phases.cruise_rpm: is less than 0"},
      {"[phases]\nclimb = 300\n",
       "p.toml:2: phases.climb: unknown key; [phases] takes takeoff_seconds, landing_seconds, "
       "vertical_speed, vertical_seconds, cruise_seconds, cruise_altitude, cruise_rpm and "
       "cruise_map"},
      {"[trends]\nbaseline_flights = 1\n",
       "p.toml:2: trends.baseline_flights: is no whole number of flights from 2 to 1000"},
      {"[trends]\nbaseline_flights = 4\nbaseline_min = 6\n",
       "p.toml:1: trends.baseline_min: is more than trends.baseline_flights (4)"},
      {"[trends]\npower_map = -1\n", "p.toml:2: trends.power_map: is less than 0"},
      {"[trends]\ndrift_flights = 0\n",
       "p.toml:2: trends.drift_flights: is no whole number of flights from 1 to 20"},
      {"[engines.1]\ndrift_cht_min = 0\n", "p.toml:2: engines.1.drift_cht_min: is not more than 0"},
      {"[columns.telm1_oil_p]\ndrift_min = -2\n",
       "p.toml:2: columns.telm1_oil_p.drift_min: is not more than 0"},
      {"[trends]\nflights = 3\n",
       "p.toml:2: trends.flights: unknown key; [trends] takes baseline_flights, baseline_min, "
       "power_rpm, power_map, drift_iqr and drift_flights"},
      // nan and inf are TOML's numbers, but no limits.
      {"[columns.alt]\nmax = nan\n", "p.toml:2: columns.alt.max: is no finite number"},
      {"[columns.telm1_o_t]\nmin = -inf\n", "p.toml:2: columns.telm1_o_t.min: is no finite number"},
      {"[airborne]\nmin = nan\n", "p.toml:2: airborne.min: is no finite number"},
      {"[engines.1]\negt_spread_max = inf\n",
       "p.toml:2: engines.1.egt_spread_max: is no finite number"},
      // A key of a megabyte is shown by its start.
      {std::string(1 << 20, 'k') + " = 1\n",
       "p.toml:1: " + std::string(80, 'k') + "…: unknown key"},
      // The first problem in the file is reported, whatever the order of the tables.
      {"[engines.1]\nrpm = 1\n[columns.alt]\nmax = \"x\"\n",
       "p.toml:2: engines.1.rpm: unknown key; an engine takes name, serial, egt, cht, egt_unit, "
       "cht_unit, "
       "running_rpm, egt_max, cht_max, cht_min, egt_spread_max, cht_cooling_max, min_seconds, "
       "phases, drift_egt_min and drift_cht_min"},
  };
  for (const auto& c : kCases) {
    Profile profile;
    std::string error;
    EXPECT_FALSE(parse_profile(c.text, "p.toml", profile, error)) << c.text;
    EXPECT_EQ(error.substr(0, c.error.size()), c.error) << c.text.substr(0, 100);
    EXPECT_LT(error.size(), 400U);
  }
}

TEST(Profile, TheTemplateIsTheSampleAircraft) {
  Profile profile;
  std::string error;
  ASSERT_TRUE(parse_profile(profile_template(), "template", profile, error)) << error;
  EXPECT_EQ(profile.title, "Sample aircraft, six-cylinder engine");
  EXPECT_EQ(profile.aircraft.registration, "N123KX");
  EXPECT_EQ(profile.engines[0].serial, "L-23871-51A");
  for (const EngineSetup& e : profile.engines) {
    EXPECT_EQ(e.egt, (std::vector<int>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(e.cht, (std::vector<int>{7, 8, 9, 10, 11, 12}));
    EXPECT_EQ(e.running_rpm, 400);
  }
  EXPECT_EQ(profile.engines[0].egt_spread_max, 150);
  const ColumnRef oil_t = *find_column("telm1_o_t");
  ASSERT_NE(profile.setup(oil_t), nullptr);
  EXPECT_EQ(profile.setup(oil_t)->max, 245);
  EXPECT_EQ(profile.label(oil_t), "Oil temperature");
  EXPECT_EQ(profile.unit(oil_t), "°F");
  EXPECT_EQ(profile.unit(thermocouple_column(SECTION_ID_TELM2, 9)), "°F");
  EXPECT_EQ(profile.unit(*find_column("telm1_rfl1")), "");
  EXPECT_EQ(profile.airborne.column, *find_column("ASI"));
  // An empty profile is every default.
  ASSERT_TRUE(parse_profile("", "empty", profile, error));
  EXPECT_TRUE(profile.engines[0].egt.empty());
  EXPECT_EQ(profile.airborne.min, 40);
}

// A calibration turns a logged value into the profile's unit: a line, or a table read between
// its pairs and as its end values beyond them; the decimals follow what it adds.
TEST(Profile, CalibrationsTurnLoggedValuesIntoTheProfilesUnits) {
  Profile profile;
  std::string error;
  ASSERT_TRUE(
      parse_profile("[columns.telm1_MAP]\nscale = 0.1\n"
                    "[columns.telm1_o_t]\nscale = 1.8\noffset = 32\n"
                    "[columns.telm1_fl1]\ntable = [[100, 0], [300, 10], [700, 25.5]]\n"
                    "[columns.alt]\nunit = \"ft\"\n",
                    "p.toml", profile, error))
      << error;
  const Calibration* map = profile.calibration(*find_column("telm1_MAP"));
  const Calibration* oil = profile.calibration(*find_column("telm1_o_t"));
  const Calibration* fuel = profile.calibration(*find_column("telm1_fl1"));
  ASSERT_TRUE(map != nullptr && oil != nullptr && fuel != nullptr);
  EXPECT_EQ(profile.calibration(*find_column("alt")), nullptr);  // a unit alone calibrates not
  EXPECT_EQ(profile.calibration(*find_column("telm1_RPM")), nullptr);
  const struct {
    const Calibration* calibration;
    double logged, value;
  } kCases[] = {
      {map, 294, 29.4},  {map, 0, 0},    {oil, 100, 212},    {oil, -40, -40},
      {fuel, 100, 0},    {fuel, 200, 5}, {fuel, 300, 10},    {fuel, 500, 17.75},
      {fuel, 700, 25.5}, {fuel, 0, 0},   {fuel, 9000, 25.5},  // beyond: the end values
  };
  for (const auto& c : kCases) {
    EXPECT_NEAR(c.calibration->apply(c.logged), c.value, 1e-9) << c.logged;
  }
  EXPECT_TRUE(std::isnan(fuel->apply(std::nan(""))));
  EXPECT_EQ(profile.decimals(*find_column("telm1_MAP")), 1);   // logged whole, scale 0.1
  EXPECT_EQ(profile.decimals(*find_column("telm1_o_t")), 1);   // 1.8
  EXPECT_EQ(profile.decimals(*find_column("telm1_fl1")), 1);   // 25.5
  EXPECT_EQ(profile.decimals(*find_column("telm1_flow")), 2);  // logged in hundredths
}

// Calibrated values are what the figures and findings compute with, limits written in them: a
// MAP limit of 28.0 inHg finds what a limit of 280 finds in the logged tenths, and the maximum
// MAP is the logged one over ten.
TEST(Profile, FiguresAndLimitsAreInTheCalibratedUnit) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("korvex-calibrated-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string logged = (dir / "logged.toml").string();
  const std::string calibrated = (dir / "calibrated.toml").string();
  std::ofstream(logged) << "[columns.telm1_MAP]\nmax = 280\n";
  std::ofstream(calibrated) << "[columns.telm1_MAP]\nunit = \"inHg\"\nscale = 0.1\nmax = 28.0\n";
  const ProcessResult flights_logged = run_tool_process(
      {"-q", "--profile", logged, "--flights", "--columns", "max_telm1_MAP", "csv", KORVEX_SAMPLE});
  const ProcessResult flights_calibrated =
      run_tool_process({"-q", "--profile", calibrated, "--flights", "--columns", "max_telm1_MAP",
                        "csv", KORVEX_SAMPLE});
  ASSERT_EQ(flights_logged.status, 0) << flights_logged.err;
  ASSERT_EQ(flights_calibrated.status, 0) << flights_calibrated.err;
  // flight,start,end,max_telm1_MAP: the last cell of each row, logged whole, calibrated / 10.
  std::istringstream a(flights_logged.out), b(flights_calibrated.out);
  std::string row_a, row_b;
  std::getline(a, row_a);
  std::getline(b, row_b);
  int rows = 0;
  while (std::getline(a, row_a) && std::getline(b, row_b)) {
    const double whole = std::stod(row_a.substr(row_a.rfind(',') + 1));
    const std::string tenths = row_b.substr(row_b.rfind(',') + 1);
    char want[32];
    std::snprintf(want, sizeof want, "%.1f", whole / 10);
    EXPECT_EQ(tenths, want);
    ++rows;
  }
  EXPECT_EQ(rows, 2);
  const ProcessResult findings_logged =
      run_tool_process({"-q", "--profile", logged, "--findings", "csv", KORVEX_SAMPLE});
  const ProcessResult findings_calibrated =
      run_tool_process({"-q", "--profile", calibrated, "--findings", "csv", KORVEX_SAMPLE});
  // The same stretches: flight, start, end and seconds of each row.
  const auto stretches = [](const std::string& table) {
    std::istringstream in(table);
    std::vector<std::string> out;
    for (std::string row; std::getline(in, row);) {
      std::size_t at = 0;
      for (int cell = 0; cell < 4; ++cell) at = row.find(',', at) + 1;
      out.push_back(row.substr(0, at));
    }
    return out;
  };
  EXPECT_GT(stretches(findings_logged.out).size(), 1U) << findings_logged.out;
  EXPECT_EQ(stretches(findings_logged.out), stretches(findings_calibrated.out));
  // The limit as written, the peak in tenths of an inch, the unit the profile gives.
  EXPECT_NE(findings_calibrated.out.find(",above max,28,28.3,inHg"), std::string::npos)
      << findings_calibrated.out;
  std::filesystem::remove_all(dir);
}

// --columns words that are the profile's: its labels (as written, or else in any case) and an
// engine's cylinders; other words pass on as they are.
TEST(Profile, ColumnWordsOfTheProfile) {
  Profile profile;
  std::string error;
  ASSERT_TRUE(parse_profile(profile_template(), "template", profile, error)) << error;
  const struct {
    const char* list;
    const char* names;
  } kCases[] = {
      {"Oil temperature", "telm1_o_t,telm2_o_t"},
      {"oil TEMPERATURE,alt", "telm1_o_t,telm2_o_t,alt"},
      {"cht1", "telm1_tc7,telm1_tc8,telm1_tc9,telm1_tc10,telm1_tc11,telm1_tc12"},
      {"rpm,*oil*", "rpm,*oil*"},
  };
  for (const auto& c : kCases) {
    std::string names;
    ASSERT_TRUE(profile_column_names(c.list, profile, names, error)) << error;
    EXPECT_EQ(names, c.names) << c.list;
  }
}

TEST(Profile, TheToolFindsItAndRefusesABadOneBeforeAnyOutput) {
  const auto dir = std::filesystem::temp_directory_path() / "korvex-tests" / "profile";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  // The template, read back, gives the report the sample's profile gives.
  const ProcessResult plate = run_tool_process({"--profile-template"});
  ASSERT_EQ(plate.status, 0);
  const std::string copy = (dir / "copy.toml").string();
  std::ofstream(copy) << plate.out;
  const ProcessResult from_copy =
      run_tool_process({"-q", "--profile", copy, "html", KORVEX_SAMPLE});
  const ProcessResult from_sample =
      run_tool_process({"-q", "--profile", KORVEX_SAMPLE_PROFILE, "html", KORVEX_SAMPLE});
  EXPECT_EQ(from_copy.status, 0);
  EXPECT_EQ(from_copy.out, from_sample.out);
  // A bad profile: status 1 with the problem, and no output.
  const std::string bad = (dir / "bad.toml").string();
  std::ofstream(bad) << "[columns.alt]\nunit = 3\n";
  ProcessResult r = run_tool_process({"--profile", bad, "csv", KORVEX_SAMPLE});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "KorvexLogDump: " + bad +
                       ":2: columns.alt.unit: is no text; write it in double quotes\n");
  r = run_tool_process({"--profile", (dir / "none.toml").string(), "csv", KORVEX_SAMPLE});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "KorvexLogDump: cannot read the profile " + (dir / "none.toml").string() +
                       ": No such file or directory\n");
  r = run_tool_process({"--profile", bad, "--no-profile", "csv", KORVEX_SAMPLE});
  EXPECT_EQ(r.status, 1);
  // A file that never ends is no profile: refused once it passes a megabyte.
  r = run_tool_process({"--profile", "/dev/zero", "csv", KORVEX_SAMPLE});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "KorvexLogDump: the profile /dev/zero is larger than 1024 KB, so no aircraft "
            "profile: give its TOML file (--profile-template shows one)\n");
}

}  // namespace
}  // namespace korvex::test
