// The phases of a flight: the phase column of csv against a model of the rules written here
// from their description (a whole flight at a time, no holding back), on synthesized logs and on
// logs of random values around every threshold; and against what the synthesizer flew.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/log_builder.h"
#include "support/run_capture.h"
#include "synth_log.h"

namespace korvex::test {
namespace {

// The thresholds of the rules: the defaults, as the profile's [phases] gives them.
struct Rules {
  int takeoff = 60, landing = 60, vertical_seconds = 30, cruise_seconds = 120;
  double vertical_speed = 300, altitude = 200, rpm = 50, map = 1;
  double airborne_min = 40, running_rpm = 400;
};

struct Row {
  std::int64_t time = 0;
  std::int64_t flight = 0;
  std::string phase;
  double alt = 0, asi = 0, rpm = NAN, map = NAN;
};

// The phases of one flight's rows by the rules, each rule in its own pass over the flight.
std::vector<std::string> model(const std::vector<Row>& f, const Rules& r, bool engine) {
  const auto n = static_cast<std::int64_t>(f.size());
  std::vector<bool> airborne(f.size()), takeoff(f.size()), landing(f.size());
  // Airborne stretches: runs of records at or above the minimum, merged across gaps of fewer
  // than 30 records, kept when 60 records long.
  std::vector<std::pair<std::int64_t, std::int64_t>> stretches;
  for (std::int64_t i = 0; i < n; ++i) {
    if (!(f[i].asi >= r.airborne_min)) continue;
    if (!stretches.empty() && i - stretches.back().second - 1 < 30) {
      stretches.back().second = i;
    } else {
      stretches.push_back({i, i});
    }
  }
  for (const auto& [first, last] : stretches) {
    if (last - first + 1 < 60) continue;
    for (std::int64_t i = first; i <= last; ++i) {
      airborne[i] = true;
      takeoff[i] = first > 0 && i - first < r.takeoff;
      landing[i] = !takeoff[i] && last < n - 1 && last - i < r.landing;
    }
  }
  std::vector<std::string> phase(f.size());
  std::vector<bool> steady(f.size());
  const std::int64_t half = r.vertical_seconds / 2;
  for (std::int64_t i = 0; i < n; ++i) {
    if (!airborne[i]) {
      phase[i] = !engine || f[i].rpm >= r.running_rpm ? "ground" : "stopped";
    } else if (takeoff[i]) {
      phase[i] = "takeoff";
    } else if (landing[i]) {
      phase[i] = "landing";
    } else {
      const Row& a = f[std::max<std::int64_t>(0, i - half)];
      const Row& b = f[std::min(n - 1, i + half)];
      const double fpm =
          b.time > a.time ? (b.alt - a.alt) / static_cast<double>(b.time - a.time) * 60 : 0;
      phase[i] = fpm >= r.vertical_speed ? "climb" : fpm <= -r.vertical_speed ? "descent" : "";
      steady[i] = phase[i].empty();
      if (steady[i]) phase[i] = "airborne";
    }
  }
  // Steady stretches, greedily: each record joins the stretch before it while every value's
  // range over the stretch stays within twice its band.
  for (std::int64_t i = 0; i < n;) {
    if (!steady[i]) {
      ++i;
      continue;
    }
    double lo[3], hi[3];
    const auto values = [&](std::int64_t k) {
      return std::array<double, 3>{f[k].alt, f[k].rpm, f[k].map};
    };
    const double width[3] = {2 * r.altitude, 2 * r.rpm, 2 * r.map};
    for (int b = 0; b < 3; ++b) lo[b] = hi[b] = values(i)[b];
    std::int64_t end = i + 1;
    for (; end < n && steady[end]; ++end) {
      bool fits = true;
      for (int b = 0; b < 3; ++b) {
        const double v = values(end)[b];
        if (std::isnan(v)) continue;
        const double l = std::isnan(lo[b]) ? v : std::min(lo[b], v);
        const double h = std::isnan(hi[b]) ? v : std::max(hi[b], v);
        fits = fits && h - l <= width[b];
      }
      if (!fits) break;
      for (int b = 0; b < 3; ++b) {
        const double v = values(end)[b];
        if (std::isnan(v)) continue;
        lo[b] = std::isnan(lo[b]) ? v : std::min(lo[b], v);
        hi[b] = std::isnan(hi[b]) ? v : std::max(hi[b], v);
      }
    }
    if (end - i >= r.cruise_seconds) {
      for (std::int64_t k = i; k < end; ++k) phase[k] = "cruise";
    }
    i = end;
  }
  return phase;
}

std::int64_t seconds_of(const std::string& iso) {
  std::tm tm{};
  std::istringstream(iso) >> std::get_time(&tm, "%Y-%m-%dT%H:%M:%S");
  constexpr std::int64_t kFrom2000 = 946684800;  // the instrument counts from 2000-01-01
  return static_cast<std::int64_t>(timegm(&tm)) - kFrom2000;
}

double cell_value(const std::string& cell) {
  return cell.empty() ? NAN : std::stod(cell);
}

// The csv of the tool with the phase column and what the rules read, by flight.
std::map<std::int64_t, std::vector<Row>> phased_rows(const std::string& log, bool engine,
                                                     const std::string& profile) {
  const ProcessResult r = run_tool_process(
      {"-q", "--profile", profile, "--calibrated", "--columns",
       engine ? "phase,alt,ASI,telm1_RPM,telm1_MAP" : "phase,alt,ASI", "csv", log});
  EXPECT_EQ(r.status, 0) << r.err;
  std::istringstream in(r.out);
  std::string line;
  std::getline(in, line);
  std::map<std::int64_t, std::vector<Row>> flights;
  while (std::getline(in, line)) {
    std::vector<std::string> cells;
    std::stringstream cut(line);
    for (std::string c; std::getline(cut, c, ',');) cells.push_back(c);
    if (line.back() == ',') cells.emplace_back();
    Row row;
    row.time =
        cells[0].find('T') != std::string::npos ? seconds_of(cells[0]) : std::stoll(cells[0]);
    row.flight = std::stoll(cells[1]);
    row.phase = cells[2];
    row.alt = cell_value(cells[3]);
    row.asi = cell_value(cells[4]);
    if (engine) {
      row.rpm = cell_value(cells[5]);
      row.map = cell_value(cells[6]);
    }
    flights[row.flight].push_back(row);
  }
  return flights;
}

class Phases : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("korvex-phases-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
    profile_ = path("profile.toml");
    // The sample's MAP in inHg, so that the band of 1 is an inch.
    std::ofstream(profile_) << "[columns.telm1_MAP]\nscale = 0.1\n";
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  std::string write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
    const std::string p = path(name);
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return p;
  }
  // Every record's phase is the model's.
  void expect_model(const std::string& log, bool engine) const {
    std::int64_t records = 0;
    for (const auto& [flight, rows] : phased_rows(log, engine, profile_)) {
      const std::vector<std::string> want = model(rows, Rules{}, engine);
      for (std::size_t i = 0; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].phase, want[i]) << log << ": flight " << flight << ", record " << i;
      }
      records += static_cast<std::int64_t>(rows.size());
    }
    EXPECT_GT(records, 0) << log;
  }

  std::filesystem::path dir_;
  std::string profile_;
};

TEST_F(Phases, EqualTheRulesOnSynthesizedLogs) {
  const struct {
    std::uint64_t seed;
    SectionFlags sections;
    int flights;
  } kCases[] = {
      {1, SECTION_TELM1 | SECTION_GPS, 4},
      {7, SECTION_TELM1 | SECTION_TELM2 | SECTION_ATTITUDE | SECTION_GPS, 3},
      {12, SECTION_GPS, 2},  // no engine monitor: ground, never stopped
  };
  for (const auto& c : kCases) {
    synth::SynthOptions o;
    o.seed = c.seed;
    o.sections = c.sections;
    o.flights = c.flights;
    const std::string log =
        write("synth-" + std::to_string(c.seed) + ".rec", synth::synthesize(o).image);
    expect_model(log, (c.sections & SECTION_TELM1) != 0);
  }
  expect_model(KORVEX_SAMPLE, true);
}

// Values that cross every threshold often: the airborne minimum in short and long stretches
// and gaps, the running RPM, climbs and descents near 300 ft/min, steady stretches near their
// bands and lengths, and pauses of a few seconds inside a flight.
TEST_F(Phases, EqualTheRulesOnRandomLogs) {
  for (std::uint32_t seed = 1; seed <= 6; ++seed) {
    std::mt19937 rng(seed);
    const auto pick = [&](int lo, int hi) {
      return std::uniform_int_distribution<int>(lo, hi)(rng);
    };
    LogBuilder log;
    std::uint32_t t = 800000000;
    double alt = 1000, asi = 0, rpm = 0, map = 200;
    for (int flight = 0; flight < 3; ++flight) {
      const int records = pick(200, 1500);
      int hold = 0;
      double climb = 0;
      for (int i = 0; i < records; ++i) {
        if (hold-- <= 0) {
          hold = pick(1, 150);
          asi = pick(0, 3) == 0 ? pick(0, 39) : pick(35, 120);
          rpm = pick(0, 4) == 0 ? pick(300, 500) : pick(2300, 2500);
          climb = pick(0, 2) == 0 ? 0 : pick(-12, 12);
          map = pick(180, 300);
        }
        alt += climb + pick(-3, 3);
        RecordFields fields = sample_fields(t, SECTION_TELM1);
        fields.base.alt = static_cast<std::int32_t>(alt);
        fields.base.asi = static_cast<std::int16_t>(asi + pick(-2, 2));
        fields.telm1->rpm = static_cast<std::uint16_t>(std::max(0.0, rpm + pick(-30, 30)));
        fields.telm1->map = static_cast<std::uint16_t>(map + pick(-6, 6));
        log.record(2, fields);
        t += pick(0, 20) == 0 ? static_cast<std::uint32_t>(pick(2, 20)) : 1;
      }
      t += 4000;  // the next flight
    }
    expect_model(write("random-" + std::to_string(seed) + ".rec", log.bytes), true);
  }
}

// The flights table's time in each phase counts the records of that phase (a second each).
TEST_F(Phases, TheFlightsTableCountsTheSecondsOfEachPhase) {
  std::map<std::int64_t, std::map<std::string, std::int64_t>> counted;
  for (const auto& [flight, rows] : phased_rows(KORVEX_SAMPLE, true, profile_)) {
    for (const Row& row : rows) ++counted[flight][row.phase];
  }
  const ProcessResult r = run_tool_process(
      {"-q", "--profile", profile_, "--flights", "--columns", "*_time", "csv", KORVEX_SAMPLE});
  ASSERT_EQ(r.status, 0) << r.err;
  std::istringstream in(r.out);
  std::string header, line;
  std::getline(in, header);
  std::vector<std::string> names;
  std::stringstream cut(header);
  for (std::string c; std::getline(cut, c, ',');) names.push_back(c);
  int flights = 0;
  while (std::getline(in, line)) {
    std::vector<std::string> cells;
    std::stringstream cells_of(line);
    for (std::string c; std::getline(cells_of, c, ',');) cells.push_back(c);
    const std::int64_t flight = std::stoll(cells[0]);
    for (const std::string_view phase : PHASE_NAMES) {
      const auto at = std::find(names.begin(), names.end(), std::string(phase) + "_time");
      ASSERT_NE(at, names.end()) << phase;
      const std::string& hms = cells[static_cast<std::size_t>(at - names.begin())];
      const std::int64_t seconds = std::stoll(hms.substr(0, hms.find(':'))) * 3600 +
                                   std::stoll(hms.substr(hms.find(':') + 1, 2)) * 60 +
                                   std::stoll(hms.substr(hms.rfind(':') + 1));
      EXPECT_EQ(seconds, counted[flight][std::string(phase)])
          << "flight " << flight << " " << phase;
    }
    ++flights;
  }
  EXPECT_EQ(flights, 2);
}

// Against what the synthesizer flew: 95 % of the seconds it was in the air have its phase, and
// each cruise it held for three minutes or more is found, its start and end within 60 s.
TEST_F(Phases, MatchWhatTheSynthesizerFlew) {
  for (const std::uint64_t seed : {2, 5, 9}) {
    synth::SynthOptions o;
    o.seed = seed;
    o.flights = 6;
    o.sections = SECTION_TELM1 | SECTION_GPS;
    o.keep_records = true;
    const synth::SynthResult made = synth::synthesize(o);
    const std::string log = write("truth-" + std::to_string(seed) + ".rec", made.image);
    std::map<std::int64_t, std::string> found;
    for (const auto& [flight, rows] : phased_rows(log, true, profile_)) {
      for (const Row& row : rows) found[row.time] = row.phase;
    }
    std::int64_t air = 0, same = 0;
    for (const synth::FlownFlight& f : made.report.flown) {
      ASSERT_EQ(f.phases.size(), f.last_timestamp - f.first_timestamp + 1);
      std::vector<std::pair<std::int64_t, std::int64_t>> flown, seen;  // cruise stretches
      for (std::size_t s = 0; s < f.phases.size(); ++s) {
        const std::int64_t time = f.first_timestamp + static_cast<std::int64_t>(s);
        const Phase p = f.phases[s];
        const std::string& tool = found[time];
        if (p != Phase::GROUND && p != Phase::STOPPED) {
          ++air;
          same += tool == phase_name(p) ? 1 : 0;
        }
        for (auto [list, is] :
             {std::pair{&flown, p == Phase::CRUISE}, std::pair{&seen, tool == "cruise"}}) {
          if (!is) continue;
          if (!list->empty() && list->back().second == time - 1) {
            list->back().second = time;
          } else {
            list->push_back({time, time});
          }
        }
      }
      for (const auto& [first, last] : flown) {
        if (last - first + 1 < 180) continue;
        bool matched = false;
        for (const auto& [a, b] : seen)
          matched = matched || (std::abs(a - first) <= 60 && std::abs(b - last) <= 60);
        EXPECT_TRUE(matched) << "seed " << seed << ": the cruise from " << first << " to " << last;
      }
    }
    ASSERT_GT(air, 0);
    EXPECT_GE(static_cast<double>(same) / static_cast<double>(air), 0.95)
        << "seed " << seed << ": " << same << " of " << air << " airborne seconds";
  }
}

}  // namespace
}  // namespace korvex::test
