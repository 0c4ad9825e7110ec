// Cruise: the segments of --cruise and the flights table's cruise figures against medians worked
// out here from the records csv gives with their phases, and against what the synthesizer flew;
// the median's sample over stretches longer than it holds. Flights the log holds in part.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <map>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "aggregation/values/median.h"
#include "support/run_capture.h"
#include "synth_log.h"

namespace korvex::test {
namespace {

// A csv table: its header and its rows, each cell by the column's name.
struct Table {
  std::vector<std::string> names;
  std::vector<std::vector<std::string>> rows;

  std::size_t column(const std::string& name) const {
    const auto at = std::find(names.begin(), names.end(), name);
    if (at == names.end()) throw std::runtime_error("no column " + name);
    return static_cast<std::size_t>(at - names.begin());
  }
  const std::string& cell(std::size_t row, const std::string& name) const {
    return rows[row][column(name)];
  }
};

std::vector<std::string> split(const std::string& line) {
  std::vector<std::string> cells;
  std::stringstream cut(line);
  for (std::string c; std::getline(cut, c, ',');) cells.push_back(c);
  if (!line.empty() && line.back() == ',') cells.emplace_back();
  return cells;
}

Table run_csv(const std::vector<std::string>& args) {
  const ProcessResult r = run_tool_process(args);
  EXPECT_EQ(r.status, 0) << r.err;
  Table t;
  std::istringstream in(r.out);
  std::string line;
  std::getline(in, line);
  t.names = split(line);
  while (std::getline(in, line)) t.rows.push_back(split(line));
  return t;
}

std::int64_t seconds_of(const std::string& iso) {
  std::tm tm{};
  std::istringstream(iso) >> std::get_time(&tm, "%Y-%m-%dT%H:%M:%S");
  constexpr std::int64_t kFrom2000 = 946684800;  // the instrument counts from 2000-01-01
  return static_cast<std::int64_t>(timegm(&tm)) - kFrom2000;
}

double median_of(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The columns a cruise segment has the medians of, as csv names them.
const std::vector<std::string>& cruise_columns() {
  static const std::vector<std::string> columns = [] {
    std::vector<std::string> c = {"alt",       "TAS",        "OAT",       "m_v",
                                  "gs",        "telm1_RPM",  "telm1_MAP", "telm1_flow",
                                  "telm1_o_t", "telm1_oil_p"};
    for (int tc = 1; tc <= 12; ++tc) c.push_back("telm1_tc" + std::to_string(tc));
    return c;
  }();
  return columns;
}

// The segments by the description: runs of consecutive records of a flight in cruise, each
// column's median over its records that have it, the EGT spread (the sample profile's EGTs are
// tc1 to tc6) the median of each record's highest less lowest EGT.
struct Segment {
  std::int64_t flight = 0, first = 0, last = 0;
  std::map<std::string, double> medians;
};

// With `whole_flights` a segment per flight of all its records in cruise, the medians over an
// even sample of at most 512 of them: those whose index is a multiple of the smallest power of
// two s with ceil(n / s) <= 512.
std::vector<Segment> model_segments(const Table& records, bool whole_flights) {
  std::vector<Segment> out;
  std::map<std::string, std::vector<double>> values;  // by record, NaN for none
  Segment open;
  bool is_open = false;
  const auto close = [&] {
    if (!is_open) return;
    for (auto& [name, v] : values) {
      std::size_t stride = 1;
      while (whole_flights && (v.size() + stride - 1) / stride > 512) stride *= 2;
      std::vector<double> kept;
      for (std::size_t i = 0; i < v.size(); i += stride) {
        if (!std::isnan(v[i])) kept.push_back(v[i]);
      }
      if (!kept.empty()) open.medians[name] = median_of(kept);
    }
    out.push_back(open);
    values.clear();
    is_open = false;
  };
  for (std::size_t i = 0; i < records.rows.size(); ++i) {
    const std::int64_t flight = std::stoll(records.cell(i, "flight"));
    const bool cruise = records.cell(i, "phase") == "cruise";
    const bool same_flight = is_open && open.flight == flight;
    if (!same_flight || (!cruise && !whole_flights)) close();
    if (!cruise) continue;
    if (!is_open) {
      open = Segment{flight, seconds_of(records.cell(i, "Time")), 0, {}};
      is_open = true;
    }
    open.last = seconds_of(records.cell(i, "Time"));
    for (const std::string& c : cruise_columns()) {
      const std::string& cell = records.cell(i, c);
      values[c].push_back(cell.empty() ? NAN : std::stod(cell));
    }
    double low = 1e300, high = -1e300;
    for (int tc = 1; tc <= 6; ++tc) {
      const double egt = std::stod(records.cell(i, "telm1_tc" + std::to_string(tc)));
      low = std::min(low, egt);
      high = std::max(high, egt);
    }
    values["telm1_egt_spread"].push_back(high - low);
  }
  close();
  return out;
}

Table records_of(const std::string& log) {
  std::string columns = "phase";
  for (const std::string& c : cruise_columns()) columns += "," + c;
  return run_csv(
      {"-q", "--profile", KORVEX_SAMPLE_PROFILE, "--calibrated", "--columns", columns, "csv", log});
}

class Cruise : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("korvex-cruise-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
    const std::string p = (dir_ / name).string();
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return p;
  }
  std::string synthesized(std::uint64_t seed, synth::SynthReport* report = nullptr) const {
    synth::SynthOptions o;
    o.seed = seed;
    o.flights = 6;
    o.sections = SECTION_TELM1 | SECTION_GPS;
    o.keep_records = report != nullptr;
    synth::SynthResult made = synth::synthesize(o);
    if (report != nullptr) *report = std::move(made.report);
    return write("synth-" + std::to_string(seed) + ".rec", made.image);
  }

  std::filesystem::path dir_;
};

// Each value of the tool within half a unit of its last decimal of the model's median.
void expect_medians(const Table& tool, std::size_t row, const Segment& want, const std::string& of,
                    const std::string& prefix) {
  for (const auto& [name, median] : want.medians) {
    const std::string& cell = tool.cell(row, prefix + name);
    ASSERT_FALSE(cell.empty()) << of << " " << name;
    const std::size_t dot = cell.find('.');
    const int decimals = dot == std::string::npos ? 0 : static_cast<int>(cell.size() - dot - 1);
    EXPECT_NEAR(std::stod(cell), median, 0.5 * std::pow(10, -decimals) + 1e-9) << of << " " << name;
  }
}

TEST_F(Cruise, SegmentsAndFlightFiguresAreTheMediansOfTheRecordsInCruise) {
  for (const std::string& log :
       {std::string(KORVEX_SAMPLE), synthesized(3), synthesized(7), synthesized(11)}) {
    const Table records = records_of(log);
    const std::vector<Segment> segments = model_segments(records, false);
    const Table tool = run_csv({"-q", "--profile", KORVEX_SAMPLE_PROFILE, "--cruise", "csv", log});
    ASSERT_EQ(tool.rows.size(), segments.size()) << log;
    ASSERT_FALSE(segments.empty()) << log;
    for (std::size_t i = 0; i < segments.size(); ++i) {
      const Segment& s = segments[i];
      const std::string of = log + " segment " + std::to_string(i + 1);
      EXPECT_EQ(std::stoll(tool.cell(i, "flight")), s.flight) << of;
      EXPECT_EQ(seconds_of(tool.cell(i, "start")), s.first) << of;
      EXPECT_EQ(seconds_of(tool.cell(i, "end")), s.last) << of;
      EXPECT_EQ(std::stoll(tool.cell(i, "seconds")), s.last - s.first + 1) << of;
      expect_medians(tool, i, s, of, "");
    }
    // A flight's cruise figures: the medians over all its records in cruise together.
    const Table flights =
        run_csv({"-q", "--profile", KORVEX_SAMPLE_PROFILE, "--flights", "csv", log});
    const std::vector<Segment> whole = model_segments(records, true);
    std::size_t matched = 0;
    for (std::size_t row = 0; row < flights.rows.size(); ++row) {
      const std::int64_t flight = std::stoll(flights.cell(row, "flight"));
      for (const Segment& s : whole) {
        if (s.flight != flight) continue;
        expect_medians(flights, row, s, log + " flight " + std::to_string(flight), "cruise_");
        ++matched;
      }
    }
    EXPECT_EQ(matched, whole.size()) << log;
  }
}

// The figures of each cruise the synthesizer flew for three minutes or more, against the
// medians of its true values: RPM within 10, MAP within 0.2 inHg, fuel flow within 0.2 gal/h,
// each EGT and CHT within 5 °F; the segment found starts and ends within 60 s of it.
TEST_F(Cruise, FiguresMatchWhatTheSynthesizerFlew) {
  int checked = 0;
  for (const std::uint64_t seed : {2, 5, 9}) {
    synth::SynthReport report;
    const std::string log = synthesized(seed, &report);
    const Table tool = run_csv({"-q", "--profile", KORVEX_SAMPLE_PROFILE, "--cruise", "csv", log});
    for (const synth::FlownFlight& f : report.flown) {
      for (const synth::CruiseTruth& c : f.cruise) {
        if (c.last_timestamp - c.first_timestamp + 1 < 180) continue;
        const std::string of = "seed " + std::to_string(seed) + ": the cruise from " +
                               std::to_string(c.first_timestamp);
        std::size_t found = tool.rows.size();
        for (std::size_t i = 0; i < tool.rows.size(); ++i) {
          const std::int64_t first = seconds_of(tool.cell(i, "start"));
          const std::int64_t last = seconds_of(tool.cell(i, "end"));
          if (std::abs(first - c.first_timestamp) <= 60 && std::abs(last - c.last_timestamp) <= 60)
            found = i;
        }
        ASSERT_LT(found, tool.rows.size()) << of << " is not found";
        const auto value = [&](const std::string& name) {
          return std::stod(tool.cell(found, name));
        };
        const synth::TrueValues& m = c.median;
        EXPECT_NEAR(value("telm1_RPM"), m.rpm, 10) << of;
        EXPECT_NEAR(value("telm1_MAP"), m.map, 0.2) << of;
        EXPECT_NEAR(value("telm1_flow"), m.flow, 0.2) << of;
        for (int i = 0; i < 6; ++i) {
          EXPECT_NEAR(value("telm1_tc" + std::to_string(i + 1)), m.egt[i], 5) << of << " EGT";
          EXPECT_NEAR(value("telm1_tc" + std::to_string(i + 7)), m.cht[i], 5) << of << " CHT";
        }
        ++checked;
      }
    }
  }
  EXPECT_GT(checked, 6);
}

// The synthesizer's fuel senders and the sample profile's table agree: 30 counts a gallon.
TEST_F(Cruise, TheSampleProfileReadsTheSendersInGallons) {
  const Table flights = run_csv({"-q", "--profile", KORVEX_SAMPLE_PROFILE, "--flights", "--columns",
                                 "start_telm1_fl1", "csv", KORVEX_SAMPLE});
  const Table counts =
      run_csv({"-q", "--flights", "--columns", "start_telm1_fl1", "csv", KORVEX_SAMPLE});
  ASSERT_EQ(flights.rows.size(), counts.rows.size());
  for (std::size_t i = 0; i < flights.rows.size(); ++i) {
    EXPECT_NEAR(std::stod(flights.cell(i, "start_telm1_fl1")),
                std::stod(counts.cell(i, "start_telm1_fl1")) / synth::FUEL_SENDER_COUNTS_PER_GALLON,
                0.05);
  }
}

// A wrapped log whose oldest record has the engine running or the aircraft airborne holds its
// first flight in part, and a log cut off in flight its last; read with a download that holds
// the rest, the flights are whole again.
TEST_F(Cruise, FlightsHeldInPartAreMarkedUntilAnotherLogHoldsTheRest) {
  synth::SynthOptions o;
  o.seed = 4;
  o.flights = 3;
  o.sections = SECTION_TELM1 | SECTION_GPS;
  const std::vector<std::uint8_t> whole = synth::synthesize(o).image;
  o.capacity = static_cast<std::int64_t>(whole.size()) * 6 / 10;
  const std::string all = write("whole.rec", whole);
  const std::string wrapped = write("wrapped.rec", synth::synthesize(o).image);
  const std::string cut = write(
      "cut.rec", std::vector<std::uint8_t>(
                     whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(whole.size() / 2)));
  const auto partial = [](const std::string& log, const std::string& also = {}) {
    std::vector<std::string> args = {"-q", "--flights", "--columns", "partial", "csv", log};
    if (!also.empty()) args.push_back(also);
    const Table t = run_csv(args);
    std::vector<std::string> marks;
    for (std::size_t i = 0; i < t.rows.size(); ++i) marks.push_back(t.cell(i, "partial"));
    return marks;
  };
  // By the description: is the engine running (RPM 400) or the aircraft airborne (ASI 40) in
  // the oldest, or the newest, record?
  const auto active = [](const std::string& log, bool newest) {
    const Table t = run_csv({"-q", "--columns", "ASI,telm1_RPM", "csv", log});
    const std::size_t i = newest ? t.rows.size() - 1 : 0;
    return std::stod(t.cell(i, "telm1_RPM")) >= 400 || std::stod(t.cell(i, "ASI")) >= 40;
  };
  const std::vector<std::string> flights = partial(all);
  ASSERT_EQ(flights, std::vector<std::string>(3, ""));
  std::vector<std::string> marks = partial(wrapped);
  ASSERT_FALSE(marks.empty());
  ASSERT_TRUE(active(wrapped, false)) << "the wrap is to fall within a flight";
  EXPECT_EQ(marks.front(), "start");
  for (std::size_t i = 1; i < marks.size(); ++i) EXPECT_EQ(marks[i], "") << i;
  marks = partial(cut);
  ASSERT_TRUE(active(cut, true)) << "the cut is to fall within a flight";
  EXPECT_EQ(marks.back(), "end");
  // With the whole download beside them, every flight is whole.
  EXPECT_EQ(partial(wrapped, all), flights);
  EXPECT_EQ(partial(all, cut), flights);
}

// Beyond its capacity the median is that of an even sample: within a few strides of the true
// one, whatever the order of the values; exact below it. A value a record lacks is none.
TEST(RowSample, IsExactBelowItsCapacityAndCloseBeyond) {
  std::mt19937 rng(4);
  std::uniform_real_distribution<double> u(0, 1000);
  for (const std::size_t n : {1UL, 2UL, 7UL, 64UL, 65UL, 1000UL, 10'001UL}) {
    RowSample sample(2, 64);
    std::vector<double> values;
    for (std::size_t i = 0; i < n; ++i) {
      values.push_back(std::round(u(rng)));
      if (double* row = sample.next()) {
        row[0] = values.back();
        row[1] = i % 3 == 0 ? NAN : -values.back();  // lacking in every third record
      }
    }
    std::vector<double> scratch, present;
    for (std::size_t i = 0; i < n; ++i) {
      if (i % 3 != 0) present.push_back(-values[i]);
    }
    EXPECT_EQ(sample.records(), static_cast<std::int64_t>(n));
    if (n <= 64) {
      EXPECT_EQ(sample.median(0, scratch), median_of(values)) << n;
      if (present.empty()) {
        EXPECT_FALSE(sample.median(1, scratch).has_value()) << n;
      } else {
        EXPECT_EQ(sample.median(1, scratch), median_of(present)) << n;
      }
    } else {
      // 64 of uniform values in 0..1000.
      EXPECT_NEAR(*sample.median(0, scratch), median_of(values), 150) << n;
      EXPECT_NEAR(*sample.median(1, scratch), median_of(present), 150) << n;
    }
  }
  // A ramp beyond the capacity: the sample is every stride-th record from the first.
  RowSample ramp(1, 64);
  for (int i = 0; i < 1000; ++i) {
    if (double* row = ramp.next()) row[0] = i;
  }
  std::vector<double> scratch;
  EXPECT_NEAR(*ramp.median(0, scratch), 499.5, 16);  // a stride of 16
  ramp.clear();
  EXPECT_FALSE(ramp.median(0, scratch).has_value());
}

}  // namespace
}  // namespace korvex::test
