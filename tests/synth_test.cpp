// The synthesizer against the converter: what korvex-synth says it wrote is what KorvexLogDump
// reads back, row for row and value for value.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "support/log_builder.h"
#include "support/run_capture.h"
#include "synth_log.h"

namespace korvex::test {
namespace {

using synth::FlightTruth;
using synth::synthesize;
using synth::SynthOptions;

constexpr SectionFlags kAll = SECTION_TELM1 | SECTION_TELM2 | SECTION_ATTITUDE | SECTION_GPS;

std::vector<std::string> split(const std::string& line, char separator) {
  std::vector<std::string> cells;
  std::size_t at = 0;
  for (std::size_t next; (next = line.find(separator, at)) != std::string::npos; at = next + 1) {
    cells.push_back(line.substr(at, next - at));
  }
  return cells;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

std::string summary(std::int64_t rows, std::int64_t bad) {
  return "\nRead " + std::to_string(rows) + " packets, skipped " + std::to_string(bad) +
         " bad packets.\n";
}

bool ends_with(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The layout a reader takes a record for (layouts sharing a length bias are told apart by their
// section lengths only).
RecordLayout read_as(RecordLayout layout, SectionFlags sections) {
  const bool telm = (sections & (SECTION_TELM1 | SECTION_TELM2)) != 0;
  if (layout == 2) return telm ? 2 : 1;
  if (layout == 3) return telm || (sections & SECTION_GPS) ? 3 : 0;
  return layout;
}

std::string fixed(double v, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, v);
  return text;
}
std::string num(long long v) {
  return std::to_string(v);
}

// The dated Time cell, by the C calendar in UTC.
std::string dated(std::uint32_t timestamp) {
  const std::time_t t = 946684800 + static_cast<std::time_t>(timestamp);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char text[32];
  std::strftime(text, sizeof text, "\"%m/%d/%Y %H:%M:%S\"", &tm);
  return text;
}

// The cells a record's written values should print as in comma mode, made with printf and the C
// calendar rather than the converter's own printers.
std::vector<std::string> expected_cells(const synth::WrittenRecord& w, SectionFlags log_set) {
  const RecordFields& f = w.fields;
  SectionFlags own = 0;
  if (f.telm1) own |= SECTION_TELM1;
  if (f.telm2) own |= SECTION_TELM2;
  if (f.attitude) own |= SECTION_ATTITUDE;
  if (f.gps) own |= SECTION_GPS;
  const RecordLayout layout = read_as(w.layout, own);
  std::vector<std::string> c;
  c.push_back(layout < 2 ? num(f.timestamp) : dated(f.timestamp));
  const BaseFields& b = f.base;
  for (long long v : {static_cast<long long>(b.alt), static_cast<long long>(b.baro),
                      static_cast<long long>(b.asi), static_cast<long long>(b.tas),
                      static_cast<long long>(b.vsi)}) {
    c.push_back(num(v));
  }
  c.push_back(fixed(b.g_s / 10.0, 1));
  c.push_back(num(b.rotor & 0x7fff));
  c.push_back(fixed(b.main_volts / 10.0, 1));
  c.push_back(fixed(b.batt_volts / 10.0, 1));
  c.push_back(fixed(b.amps / 10.0, 1));
  c.push_back(num(b.aoa));
  c.push_back(num(b.oat));
  auto telm = [&](const std::optional<TelmFields>& opt) {
    const TelmFields t = opt.value_or(TelmFields{});
    for (long long v : {t.rpm, t.rfl1, t.rfl2, t.ch1, t.ch2}) c.push_back(num(v));
    c.push_back(fixed(t.flow / 100.0, 2));
    for (long long v : {t.map, t.fl1, t.fl2}) c.push_back(num(v));
    c.push_back(fixed(t.flc / 10.0, 1));
    c.push_back(num(t.oil_t));
    c.push_back(fixed(t.oil_p / 10.0, 1));
    c.push_back(num(t.carb));
    c.push_back(fixed(t.fuel_p / 10.0, 1));
    c.push_back(num(t.h2o));
    for (std::uint16_t tc : t.tc) c.push_back(num(tc));
    const bool long_form = opt && layout >= 2;
    for (long long v : {t.rch1, t.rch2, t.rot, t.rop}) c.push_back(num(long_form ? v : 0));
    c.push_back(num(t.ref));
    c.push_back(num(t.fail));
  };
  if (log_set & SECTION_TELM1) telm(f.telm1);
  if (log_set & SECTION_TELM2) telm(f.telm2);
  if (log_set & SECTION_ATTITUDE) {
    const AttitudeFields a = f.attitude.value_or(AttitudeFields{});
    for (long long v : {a.bank, a.pitch, a.slip, a.heading}) c.push_back(num(v));
    c.push_back(num(a.yaw));
    c.push_back(fixed(a.g / 10.0, 1));
    char turn[32];
    std::snprintf(turn, sizeof turn, " %3d:%02u", a.turn_minutes,
                  static_cast<unsigned>(a.turn_seconds));
    c.push_back(turn);
  }
  if (log_set & SECTION_GPS) {
    const GpsFields g = f.gps.value_or(GpsFields{});
    c.push_back(fixed(f.gps ? static_cast<double>(g.lat) : 0.0, 5));
    c.push_back(fixed(f.gps ? -static_cast<double>(g.lon) : 0.0, 5));
    for (long long v : {g.heading, g.ground_speed, g.altitude}) c.push_back(num(v));
    const bool extended = f.gps && layout >= 1;
    for (long long v : {g.status, g.sats, g.hac, g.vac}) c.push_back(num(extended ? v : 0));
  }
  return c;
}

TEST(Synthesizer, LogWithoutFaultsReadsBackWhole) {
  SynthOptions o;
  o.flights = 2;
  o.seed = 11;
  const auto log = synthesize(o);
  const auto& r = log.report;
  EXPECT_EQ(r.flights, 2);
  EXPECT_EQ(r.wraps, 0);
  EXPECT_EQ(r.records_whole, r.records_written);
  EXPECT_TRUE(r.joined_timestamps.empty());
  // No record of this seed holds 0xAA 0x55.
  ASSERT_TRUE(r.split_timestamps.empty() && r.rejoined_timestamps.empty());
  const Conversion c = convert(log.image, DELIM_COMMA);
  EXPECT_EQ(c.status, 0);
  EXPECT_TRUE(ends_with(c.err, summary(r.records_written, 0))) << c.err;
}

TEST(Synthesizer, RecordsSplitByTheirOwnBytesAreReadBackWhole) {
  // With this seed one record's data bytes happen to hold the pair 0xAA 0x55.
  SynthOptions o;
  o.flights = 3;
  o.seed = 7;
  const auto log = synthesize(o);
  const auto& r = log.report;
  ASSERT_EQ(r.rejoined_timestamps.size(), 1U);
  EXPECT_TRUE(r.split_timestamps.empty());
  EXPECT_EQ(r.expected_rows, r.records_written);
  EXPECT_EQ(r.expected_bad_packets, 0);
  const Conversion c = convert(log.image, DELIM_TAB);
  EXPECT_TRUE(ends_with(c.err, summary(r.expected_rows, r.expected_bad_packets))) << c.err;
  const std::uint32_t t = r.rejoined_timestamps[0];
  EXPECT_NE(c.out.find("\n" + dated(t - 1) + "\t"), std::string::npos);
  EXPECT_NE(c.out.find("\n" + dated(t) + "\t"), std::string::npos);
}

TEST(Synthesizer, FlightsTableListsTheFlightsItFlew) {
  // The synthesizer's flights, one record a second with hours on the ground between them, are
  // the flights of the table: their count, first and last record, and number of records.
  for (const int flights : {1, 4}) {
    SCOPED_TRACE(flights);
    SynthOptions o;
    o.sections = SECTION_TELM1 | SECTION_GPS;
    o.flights = flights;
    o.seed = 40 + static_cast<std::uint64_t>(flights);
    o.keep_records = true;
    const auto log = synthesize(o);
    ASSERT_EQ(log.report.flights, flights);
    std::vector<std::string> truth;  // "start,end,records" of each flight
    for (std::size_t i = 0, first = 0; i < log.records.size(); ++i) {
      const std::uint32_t t = log.records[i].fields.timestamp;
      if (i + 1 < log.records.size() && log.records[i + 1].fields.timestamp - t <= 300) continue;
      const std::string start = dated(log.records[first].fields.timestamp);
      // The flight's key: the clock of its first record.
      truth.push_back(std::to_string(log.records[first].fields.timestamp) + "," + start + "," +
                      dated(t) + "," + std::to_string(i + 1 - first));
      first = i + 1;
    }
    Options options;
    options.format = find_format("comma");
    options.flights_table = true;
    const Conversion c = convert(log.image, options);
    EXPECT_EQ(c.status, 0);
    const auto rows = lines(c.out);
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(flights) + 1);
    for (int f = 1; f <= flights; ++f) {
      const auto cells = split(rows[static_cast<std::size_t>(f)] + ",", ',');
      EXPECT_EQ(cells.at(0), std::to_string(f));
      EXPECT_EQ(cells.at(1) + "," + cells.at(2) + "," + cells.at(3) + "," + cells.at(5),
                truth.at(static_cast<std::size_t>(f - 1)));
    }
  }
}

// Seconds as H:MM:SS, and back.
std::string seconds_text(std::int64_t seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  return text;
}
std::int64_t seconds_of(const std::string& text) {
  return std::stoll(text.substr(0, text.find(':'))) * 3600 +
         std::stoll(text.substr(text.find(':') + 1, 2)) * 60 +
         std::stoll(text.substr(text.size() - 2));
}

TEST(Synthesizer, FlightFiguresAreWhatTheModelFlew) {
  // The figures of the flights table against what the flight model computed (not what it
  // logged): the fuel from the engine's true flow each second, the distance from the ground
  // speed each second, the engine time, air time and landings from the engine and the phases of
  // the flight. Tolerances: fuel within 1 % and 0.05 gallons (the logged flow carries noise of
  // about 0.04 gal/h and is integrated by trapezoids); distance within 0.5 % and 0.1 nm (the
  // logged fixes are single-precision, the great-circle earth of the table is 0.07 % larger than
  // the model's 60 nm per degree).
  for (const RecordLayout layout : {0, 2}) {
    SCOPED_TRACE(layout);
    SynthOptions o;
    o.layout = layout;
    o.sections = SECTION_TELM1 | SECTION_GPS;
    o.flights = 3;
    o.seed = 60 + static_cast<std::uint64_t>(layout);
    const auto log = synthesize(o);
    const auto& flown = log.report.flown;
    ASSERT_EQ(flown.size(), 3U);
    Options options;
    options.format = find_format("csv");
    options.flights_table = true;
    const Conversion c = convert(log.image, options);
    ASSERT_EQ(c.status, 0) << c.err;
    const auto rows = lines(c.out);
    ASSERT_EQ(rows.size(), flown.size() + 1);
    const auto names = split(rows[0] + ",", ',');
    auto column = [&](const std::string& name) {
      const auto at = std::find(names.begin(), names.end(), name);
      EXPECT_NE(at, names.end()) << name;
      return static_cast<std::size_t>(at - names.begin());
    };
    const std::size_t fuel = column("telm1_fuel_used"), distance = column("distance_nm"),
                      oil = column("min_telm1_oil_p"), records = column("records"),
                      engine = column("engine1_time"), air = column("air_time"),
                      landings = column("landings");
    for (std::size_t f = 0; f < flown.size(); ++f) {
      SCOPED_TRACE(f + 1);
      const FlightTruth& truth = flown[f].truth;
      const auto cells = split(rows[f + 1] + ",", ',');
      EXPECT_EQ(std::stoll(cells.at(records)),
                flown[f].last_timestamp - flown[f].first_timestamp + 1);
      EXPECT_GT(truth.fuel_used, 1.0);
      EXPECT_GT(truth.distance_nm, 20.0);
      EXPECT_NEAR(std::stod(cells.at(fuel)), truth.fuel_used, 0.01 * truth.fuel_used + 0.05);
      EXPECT_NEAR(std::stod(cells.at(distance)), truth.distance_nm,
                  0.005 * truth.distance_nm + 0.1);
      // The engine runs from RUNNING_RPM on, as the table counts it: to the second. The lowest
      // oil pressure while it runs: to the logged noise (at most 0.52 psi). In the air from
      // lift-off to touch-down, where the table counts ASI from 40 kt: the take-off and landing
      // rolls differ by seconds.
      EXPECT_EQ(cells.at(engine), seconds_text(truth.engine_seconds));
      EXPECT_NEAR(std::stod(cells.at(oil)), truth.min_running_oil_psi, 0.6);
      EXPECT_GT(truth.min_running_oil_psi, 30);
      EXPECT_NEAR(static_cast<double>(seconds_of(cells.at(air))),
                  static_cast<double>(truth.airborne_seconds), 30);
      EXPECT_EQ(truth.landings, 1);
      EXPECT_EQ(cells.at(landings), std::to_string(truth.landings));
    }
  }
}

TEST(Synthesizer, WrappedLogIsPrintedInTimeOrderFromTheOldestRecord) {
  SynthOptions o;
  o.layout = 1;
  o.sections = SECTION_GPS;
  o.flights = 4;
  o.capacity = 300000;
  o.seed = 21;
  o.keep_records = true;
  const auto log = synthesize(o);
  ASSERT_GE(log.report.wraps, 1);
  const Conversion c = convert(log.image, DELIM_TAB);
  EXPECT_TRUE(ends_with(c.err, summary(log.report.expected_rows, log.report.expected_bad_packets)));
  const auto rows = lines(c.out);
  ASSERT_EQ(static_cast<std::int64_t>(rows.size()) - 1, log.report.expected_rows);
  std::uint32_t oldest = 0xFFFFFFFF;
  for (const auto& w : log.records) oldest = std::min(oldest, w.fields.timestamp);
  long long previous = -1;
  for (std::size_t i = 1; i < rows.size(); ++i) {
    const long long t = std::stoll(split(rows[i], '\t').at(0));
    if (i == 1) {
      EXPECT_EQ(t, oldest);
    }
    EXPECT_GT(t, previous) << "row " << i;
    previous = t;
  }
}

TEST(Synthesizer, FaultsCostExactlyTheRecordsTheReportNames) {
  for (const std::uint64_t seed : {1U, 2U, 3U}) {
    SCOPED_TRACE(seed);
    SynthOptions o;
    o.layout = 2;
    o.flights = 3;
    o.capacity = seed == 3 ? 400000 : 0;
    o.seed = seed;
    o.garbage = 4;
    o.power_cuts = 3;
    o.stray_aa = 5;
    o.stray_markers = 2;
    o.mixed_count = 6;
    o.mixed_layout = seed == 2 ? 0 : 3;
    o.keep_records = true;
    const auto log = synthesize(o);
    const auto& r = log.report;
    if (o.capacity == 0) {
      EXPECT_EQ(r.garbage_runs, 4);
      EXPECT_EQ(r.power_cuts, 3);
      EXPECT_EQ(r.stray_markers, 2);
      EXPECT_EQ(r.mixed_records, 6);
      EXPECT_GE(r.stray_aa, 4);
      // Every power cut and every garbage run costs one bad packet; a stray marker none.
      EXPECT_GE(r.expected_bad_packets, 3 + 4);
      EXPECT_GE(r.rejoined_timestamps.size(), 2U);
    }
    const Conversion c = convert(log.image, DELIM_COMMA);
    EXPECT_EQ(c.status, 0);
    EXPECT_TRUE(ends_with(c.err, summary(r.expected_rows, r.expected_bad_packets))) << c.err;
    // Every record written whole is printed, but those the report names.
    EXPECT_EQ(r.expected_rows,
              r.records_whole - static_cast<std::int64_t>(r.split_timestamps.size() +
                                                          r.joined_timestamps.size()));
    EXPECT_EQ(static_cast<std::int64_t>(log.records.size()), r.expected_rows);
    const auto rows = lines(c.out);
    ASSERT_EQ(rows.size(), log.records.size() + 1);
    std::map<std::string, const synth::WrittenRecord*> by_time;
    for (const auto& w : log.records) by_time[expected_cells(w, kAll).at(0)] = &w;
    for (std::size_t i = 1; i < rows.size(); ++i) {
      const auto cells = split(rows[i], ',');
      const auto found = by_time.find(cells.at(0));
      ASSERT_NE(found, by_time.end()) << rows[i];
      EXPECT_EQ(cells, expected_cells(*found->second, kAll));
    }
  }
}

TEST(Synthesizer, EveryLayoutAndSectionCombinationRoundTrips) {
  for (RecordLayout layout = 0; layout < RECORD_LAYOUT_COUNT; ++layout) {
    for (SectionFlags sections = 0; sections <= kAll; sections += 2) {
      SCOPED_TRACE(testing::Message() << "layout " << layout << " sections " << sections);
      SynthOptions o;
      o.layout = layout;
      o.sections = sections;
      o.flights = 1;
      o.seed = 100 + static_cast<std::uint64_t>(layout) * 16 + sections;
      o.keep_records = true;
      const auto log = synthesize(o);
      const Conversion c = convert(log.image, DELIM_COMMA);
      ASSERT_EQ(c.status, 0);
      const auto rows = lines(c.out);
      ASSERT_EQ(rows.size(), log.records.size() + 1);
      // The records come back in file order; compare a sample of them value by value.
      for (std::size_t i = 0; i < log.records.size(); i += 97) {
        EXPECT_EQ(split(rows[i + 1], ','), expected_cells(log.records[i], sections))
            << "record " << i;
      }
    }
  }
}

TEST(Synthesizer, SameOptionsAndSeedGiveTheSameBytes) {
  SynthOptions o;
  o.flights = 1;
  o.garbage = 2;
  o.seed = 42;
  const auto a = synthesize(o);
  const auto b = synthesize(o);
  EXPECT_EQ(a.image, b.image);
  o.seed = 43;
  EXPECT_NE(synthesize(o).image, a.image);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(Synthesizer, SampleLogIsWhatTheDocumentedOptionsWrite) {
  const std::string path =
      (std::filesystem::temp_directory_path() / "korvex-tests" / "sample.rec").string();
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  // The options that the README documents for examples/Korvex.rec.
  const std::string command =
      std::string(KORVEX_SYNTH) +
      " --layout 2 --sections all --flights 3 --capacity 1000000 --seed 7 -o " + path +
      " 2>/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string sample = read_file(KORVEX_SAMPLE);
  EXPECT_FALSE(sample.empty());
  EXPECT_LE(sample.size(), 1000000U);
  EXPECT_TRUE(read_file(path) == sample) << "examples/Korvex.rec no longer matches korvex-synth";
}

TEST(Synthesizer, CommandLineReportMatchesWhatTheConverterReads) {
  const std::string path =
      (std::filesystem::temp_directory_path() / "korvex-tests" / "synth-cli.rec").string();
  const std::string report_path = path + ".txt";
  const std::string command =
      std::string(KORVEX_SYNTH) + " -o " + path +
      " --flights 2 --capacity 250000 --power-cuts 2 --garbage 1 --seed 9 2>" + report_path;
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string report = read_file(report_path);
  const std::size_t at = report.find("a reader finds: ");
  ASSERT_NE(at, std::string::npos) << report;
  long long rows = 0, bad = 0;
  ASSERT_EQ(std::sscanf(report.c_str() + at, "a reader finds: %lld records and %lld bad packets",
                        &rows, &bad),
            2);
  const ProcessResult r = run_tool_process({"tab", path});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(ends_with(r.err, summary(rows, bad))) << r.err << report;
  EXPECT_EQ(std::system((std::string(KORVEX_SYNTH) + " --help >/dev/null").c_str()), 0);
  EXPECT_NE(
      std::system((std::string(KORVEX_SYNTH) + " --layout 4 -o /dev/null 2>/dev/null").c_str()), 0);
}

}  // namespace
}  // namespace korvex::test
