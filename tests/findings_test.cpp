// Findings against an independent model of their rules, written from their description (not
// from the tool's code): it works on the fields the records were written with, by brute force,
// and must agree with --findings csv on synthesized logs with limits exceeded on purpose and on
// random logs. Then the edges of the rules, case by case.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iomanip>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "profile/profile_file.h"
#include "support/csv_cells.h"
#include "support/log_builder.h"
#include "synth_log.h"

namespace korvex::test {
namespace {

// --- The model -------------------------------------------------------------------------------

using Value = std::optional<double>;

struct ModelRecord {
  std::uint32_t time;
  bool dated;  // layouts 2 and 3
  RecordFields fields;
};

// A column the model knows, read from the fields as written (engine monitor 1 only).
struct ModelColumn {
  std::string name;
  std::function<Value(const RecordFields&)> read;
};

Value telm1(const RecordFields& f, const std::function<double(const TelmFields&)>& read) {
  return f.telm1 ? Value(read(*f.telm1)) : std::nullopt;
}

ModelColumn oil_temperature() {
  return {"telm1_o_t", [](const RecordFields& f) {
            return telm1(f, [](const TelmFields& t) { return static_cast<double>(t.oil_t); });
          }};
}
ModelColumn oil_pressure() {
  return {"telm1_oil_p", [](const RecordFields& f) {
            return telm1(f, [](const TelmFields& t) { return t.oil_p / 10.0; });
          }};
}
ModelColumn rpm() {
  return {"telm1_RPM", [](const RecordFields& f) {
            return telm1(f, [](const TelmFields& t) { return static_cast<double>(t.rpm); });
          }};
}
ModelColumn thermocouple(int n) {
  return {"telm1_tc" + std::to_string(n), [n](const RecordFields& f) {
            return telm1(f, [n](const TelmFields& t) { return static_cast<double>(t.tc[n - 1]); });
          }};
}
ModelColumn airspeed() {
  return {"ASI", [](const RecordFields& f) { return Value(static_cast<double>(f.base.asi)); }};
}

struct ModelLimit {
  ModelColumn column;
  Value min, max;
  int min_seconds = 1;
  bool while_running;  // engine 1 must run
};

struct ModelProfile {
  double running_rpm = 400;
  std::vector<ModelLimit> limits;
  std::vector<int> egt, cht;  // thermocouples of engine 1's cylinders
  Value egt_spread_max, cht_cooling_max;
  Value egt_max, cht_max, cht_min;  // of each cylinder, while the engine runs
  int engine_min_seconds = 1;

  // The same as a profile file.
  std::string toml() const {
    std::ostringstream t;
    for (const ModelLimit& l : limits) {
      t << "[columns." << l.column.name << "]\n";
      if (l.min) t << "min = " << *l.min << "\n";
      if (l.max) t << "max = " << *l.max << "\n";
      t << "min_seconds = " << l.min_seconds
        << "\nwhile_running = " << (l.while_running ? "true" : "false") << "\n";
    }
    t << "[engines.1]\nrunning_rpm = " << running_rpm << "\nmin_seconds = " << engine_min_seconds
      << "\n";
    auto list = [&](const char* key, const std::vector<int>& tcs) {
      t << key << " = [";
      for (std::size_t i = 0; i < tcs.size(); ++i) t << (i ? ", " : "") << "\"tc" << tcs[i] << "\"";
      t << "]\n";
    };
    list("egt", egt);
    list("cht", cht);
    if (egt_spread_max) t << "egt_spread_max = " << *egt_spread_max << "\n";
    if (cht_cooling_max) t << "cht_cooling_max = " << *cht_cooling_max << "\n";
    if (egt_max) t << "egt_max = " << *egt_max << "\n";
    if (cht_max) t << "cht_max = " << *cht_max << "\n";
    if (cht_min) t << "cht_min = " << *cht_min << "\n";
    return t.str();
  }
};

struct ModelFinding {
  std::int64_t flight;
  std::uint32_t first, last;
  std::string column, kind;
  double limit, peak;
};

std::string text(const ModelFinding& f) {
  std::ostringstream t;
  t << f.flight << " " << f.first << " " << f.last << " " << f.column << " " << f.kind << " "
    << f.limit << " " << f.peak;
  return t.str();
}

// The stretches of a flight's records in which `in` holds, each a finding when it spans at least
// `min_seconds` (last time less first, plus one); the peak is the highest (or lowest) `value`.
void stretches(const std::vector<ModelRecord>& flight, std::int64_t number,
               const std::function<bool(std::size_t)>& in,
               const std::function<double(std::size_t)>& value, bool highest, int min_seconds,
               const std::string& column, const std::string& kind, double limit,
               std::vector<std::pair<int, ModelFinding>>& out, int order) {
  for (std::size_t i = 0; i < flight.size();) {
    if (!in(i)) {
      ++i;
      continue;
    }
    std::size_t j = i;
    double peak = value(i);
    while (j + 1 < flight.size() && in(j + 1)) {
      ++j;
      peak = highest ? std::max(peak, value(j)) : std::min(peak, value(j));
    }
    if (flight[j].time - flight[i].time + 1 >= static_cast<std::uint32_t>(min_seconds)) {
      out.push_back({order, {number, flight[i].time, flight[j].time, column, kind, limit, peak}});
    }
    i = j + 1;
  }
}

// The findings of the records in the order they are printed, flights cut by the gap of 300 s.
std::vector<ModelFinding> model_findings(const std::vector<ModelRecord>& records,
                                         const ModelProfile& p) {
  std::vector<std::vector<ModelRecord>> flights;
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (i == 0 || records[i].time < records[i - 1].time ||
        records[i].time - records[i - 1].time > 300) {
      flights.emplace_back();
    }
    flights.back().push_back(records[i]);
  }
  std::vector<ModelFinding> all;
  for (std::size_t n = 0; n < flights.size(); ++n) {
    const std::vector<ModelRecord>& f = flights[n];
    const auto number = static_cast<std::int64_t>(n + 1);
    auto running = [&](std::size_t i) {
      const Value r = rpm().read(f[i].fields);
      return r && *r >= p.running_rpm;
    };
    std::vector<std::pair<int, ModelFinding>> found;
    int order = 0;
    for (const ModelLimit& l : p.limits) {
      auto value = [&](std::size_t i) { return *l.column.read(f[i].fields); };
      auto applies = [&](std::size_t i) {
        return l.column.read(f[i].fields).has_value() && (!l.while_running || running(i));
      };
      if (l.max) {
        stretches(
            f, number, [&](std::size_t i) { return applies(i) && value(i) > *l.max; }, value, true,
            l.min_seconds, l.column.name, "above max", *l.max, found, order);
      }
      if (l.min) {
        stretches(
            f, number, [&](std::size_t i) { return applies(i) && value(i) < *l.min; }, value, false,
            l.min_seconds, l.column.name, "below min", *l.min, found, order);
      }
      ++order;
    }
    // Each cylinder's EGT and CHT against the engine's limits, in the profile's order of them.
    for (const auto& [tcs, highest, lowest] :
         {std::tuple{&p.egt, p.egt_max, Value()}, std::tuple{&p.cht, p.cht_max, p.cht_min}}) {
      // Copies: a lambda cannot capture a structured binding in C++20.
      const Value max = highest, min = lowest;
      if (!max && !min) continue;
      for (const int tc : *tcs) {
        const ModelColumn c = thermocouple(tc);
        auto value = [&](std::size_t i) { return *c.read(f[i].fields); };
        auto applies = [&](std::size_t i) { return c.read(f[i].fields) && running(i); };
        if (max) {
          stretches(
              f, number, [&](std::size_t i) { return applies(i) && value(i) > *max; }, value, true,
              p.engine_min_seconds, c.name, "above max", *max, found, order);
        }
        if (min) {
          stretches(
              f, number, [&](std::size_t i) { return applies(i) && value(i) < *min; }, value, false,
              p.engine_min_seconds, c.name, "below min", *min, found, order);
        }
        ++order;
      }
    }
    if (p.egt_spread_max && p.egt.size() >= 2) {
      auto spread = [&](std::size_t i) {
        double low = 1e300, high = -1e300;
        for (const int tc : p.egt) {
          const double v = *thermocouple(tc).read(f[i].fields);
          low = std::min(low, v), high = std::max(high, v);
        }
        return high - low;
      };
      auto in = [&](std::size_t i) {
        return running(i) && f[i].fields.telm1.has_value() && spread(i) > *p.egt_spread_max;
      };
      stretches(f, number, in, spread, true, p.engine_min_seconds, "egt_spread_1", "above max",
                *p.egt_spread_max, found, order++);
    }
    if (p.cht_cooling_max) {
      for (const int tc : p.cht) {
        const ModelColumn cht = thermocouple(tc);
        // The drop at record i from the latest record at least 60 and at most 70 s before it.
        auto drop = [&](std::size_t i) -> Value {
          for (std::size_t j = i; j-- > 0;) {
            if (f[j].time > f[i].time - 60) continue;
            if (f[i].time - f[j].time > 70) return std::nullopt;
            const Value then = cht.read(f[j].fields), now = cht.read(f[i].fields);
            if (!then || !now) return std::nullopt;
            return *then - *now;
          }
          return std::nullopt;
        };
        auto in = [&](std::size_t i) {
          const Value d = drop(i);
          return d && *d > *p.cht_cooling_max;
        };
        stretches(
            f, number, in, [&](std::size_t i) { return *drop(i); }, true, p.engine_min_seconds,
            cht.name, "cooling", *p.cht_cooling_max, found, order++);
      }
    }
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
      return a.second.first != b.second.first ? a.second.first < b.second.first : a.first < b.first;
    });
    for (const auto& [order_of, finding] : found) all.push_back(finding);
  }
  return all;
}

// --- The tool ---------------------------------------------------------------------------------

std::uint32_t seconds_of(const std::string& time) {
  if (time.find('T') == std::string::npos) return static_cast<std::uint32_t>(std::stoul(time));
  std::tm tm{};
  std::istringstream(time) >> std::get_time(&tm, "%Y-%m-%dT%H:%M:%S");
  return static_cast<std::uint32_t>(timegm(&tm) - 946684800);
}

// The cells of a csv line, quoted ones unquoted.
// --findings csv of the log with the profile, as the model writes its findings.
std::vector<ModelFinding> tool_findings(const Bytes& log, const ModelProfile& p) {
  // A file of the test's own: tests run side by side.
  const std::string profile_path = write_temp_file(
      std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) + ".toml", {});
  std::ofstream(profile_path) << p.toml();
  Options options;
  options.format = find_format("csv");
  options.findings = true;
  std::string error;
  EXPECT_TRUE(read_profile(profile_path, options.profile, error)) << error;
  const Conversion run = convert(log, options);
  EXPECT_EQ(run.status, 0) << run.err;
  std::vector<ModelFinding> found;
  std::istringstream lines(run.out);
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line,
            "flight,start,end,seconds,column,label,kind,limit,peak,unit,baseline_median,"
            "baseline_iqr,baseline_flights,values");
  while (std::getline(lines, line)) {
    const std::vector<std::string> c = csv_cells(line);
    EXPECT_EQ(c.size(), 14U) << line;
    if (c.size() < 14) continue;
    EXPECT_EQ(c[6] == "drift" ? "" : c[10] + c[11] + c[12] + c[13], "") << line;
    if (c[6] == "drift") continue;  // of the trends, not of these rules
    ModelFinding f{std::stoll(c[0]), seconds_of(c[1]), seconds_of(c[2]), c[4], c[6],
                   std::stod(c[7]),  std::stod(c[8])};
    EXPECT_EQ(std::stoul(c[3]), f.last - f.first + 1) << line;
    found.push_back(f);
  }
  return found;
}

std::vector<std::string> texts(const std::vector<ModelFinding>& findings) {
  std::vector<std::string> out;
  for (const ModelFinding& f : findings) out.push_back(text(f));
  return out;
}

ModelProfile engine_profile() {
  ModelProfile p;
  p.limits = {{oil_temperature(), 120.0, 245.0, 5, true},
              {oil_pressure(), 25.0, std::nullopt, 3, true},
              {rpm(), std::nullopt, 2600.0, 1, false},
              {airspeed(), std::nullopt, 125.0, 10, false}};
  p.egt = {1, 2, 3, 4, 5, 6};
  p.cht = {7, 8, 9, 10, 11, 12};
  p.egt_spread_max = 150;
  p.cht_cooling_max = 50;
  p.egt_max = 1650;
  p.cht_max = 460;
  p.cht_min = 150;
  p.engine_min_seconds = 10;
  return p;
}

TEST(Findings, AgreeWithTheModelOnSynthesizedLogsWithLimitsExceeded) {
  std::size_t findings = 0;
  for (const RecordLayout layout : {0, 2, 3}) {
    SCOPED_TRACE(layout);
    synth::SynthOptions o;
    o.layout = layout;
    o.sections = SECTION_TELM1 | SECTION_GPS;
    o.flights = 3;
    o.seed = 70 + static_cast<std::uint64_t>(layout);
    o.exceedances = true;
    o.keep_records = true;
    const auto log = synth::synthesize(o);
    std::vector<ModelRecord> records;
    for (const auto& w : log.records)
      records.push_back({w.fields.timestamp, w.layout >= 2, w.fields});
    const ModelProfile p = engine_profile();
    const std::vector<ModelFinding> expected = model_findings(records, p);
    EXPECT_EQ(texts(tool_findings(log.image, p)), texts(expected));
    // Every exceedance injected is found: each lies within a finding of its kind.
    for (const synth::Exceedance& e : log.report.exceedances) {
      const std::string column = e.what == "oil temperature" ? "telm1_o_t"
                                 : e.what == "oil pressure"  ? "telm1_oil_p"
                                 : e.what == "hot cylinder"  ? "telm1_tc9"  // CHT 3
                                                             : "telm1_tc11";
      EXPECT_TRUE(std::any_of(expected.begin(), expected.end(),
                              [&](const ModelFinding& f) {
                                return f.column == column && f.first <= e.first_timestamp + 60 &&
                                       f.last >= e.first_timestamp;
                              }))
          << e.what << " at " << e.first_timestamp;
    }
    findings += expected.size();
  }
  EXPECT_GT(findings, 20U);
}

// The sample profile finds nothing in flights that exceed nothing (a warm-up on the ground is
// no finding: the oil's min applies in cruise and descent), and each limit exceeded on purpose
// at its seconds: the hot cylinder as a CHT finding that names cylinder 3.
TEST(Findings, TheSampleProfileFindsWhatWasExceededAndNothingElse) {
  Options options;
  options.format = find_format("csv");
  options.findings = true;
  std::string error;
  ASSERT_TRUE(read_profile(KORVEX_SAMPLE_PROFILE, options.profile, error)) << error;
  for (const std::uint64_t seed : {1, 3, 8}) {
    synth::SynthOptions o;
    o.flights = 20;
    o.seed = seed;
    const Conversion clean = convert(synth::synthesize(o).image, options);
    EXPECT_EQ(clean.out,
              "flight,start,end,seconds,column,label,kind,limit,peak,unit,baseline_median,"
              "baseline_iqr,baseline_flights,values\n")
        << "seed " << seed;
  }
  synth::SynthOptions o;
  o.flights = 4;
  o.seed = 5;
  o.exceedances = true;
  const synth::SynthResult log = synth::synthesize(o);
  const Conversion run = convert(log.image, options);
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_FALSE(log.report.exceedances.empty());
  for (const synth::Exceedance& e : log.report.exceedances) {
    // The column and label of its finding, and whether it spans exactly the seconds injected.
    const struct {
      const char* what;
      const char* column;
      const char* label;
      bool exact;
    } kKinds[] = {
        {"oil temperature", "telm1_o_t", "Oil temperature, Engine", true},
        {"oil pressure", "telm1_oil_p", "Oil pressure, Engine", true},
        {"hot cylinder", "telm1_tc9", "CHT 3, Engine", true},
        {"cooling", "telm1_tc11", "CHT 5, Engine", false},
    };
    bool found = false;
    for (const auto& k : kKinds) {
      if (e.what != k.what) continue;
      std::istringstream lines(run.out);
      for (std::string line; std::getline(lines, line);) {
        const std::vector<std::string> c = csv_cells(line);
        if (c.size() < 10 || c[0] == "flight" || c[4] != k.column || c[5] != k.label) continue;
        const std::uint32_t first = seconds_of(c[1]), last = seconds_of(c[2]);
        found = found || (k.exact ? first == e.first_timestamp && last == e.last_timestamp
                                  : first <= e.last_timestamp && last >= e.first_timestamp);
      }
    }
    EXPECT_TRUE(found) << e.what << " in flight " << e.flight << " at " << e.first_timestamp << "\n"
                       << run.out;
  }
}

TEST(Findings, AgreeWithTheModelOnRandomLogs) {
  // Random walks of the engine's values, pauses and new flights, records without the engine
  // monitor and the same second twice, in every layout.
  std::uint64_t state = 99;
  auto random = [&state](int n) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<int>((state >> 33) % static_cast<std::uint64_t>(n));
  };
  std::size_t findings = 0;
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE(round);
    LogBuilder log;
    std::vector<ModelRecord> records;
    std::uint32_t t = 834700000U + static_cast<std::uint32_t>(random(100000));
    TelmFields e;
    e.rpm = 2400, e.oil_t = 200, e.oil_p = 500;
    for (std::uint16_t& tc : e.tc) tc = 300;
    std::int16_t asi = 100;
    const RecordLayout layout = random(4);
    for (int i = 0; i < 600; ++i) {
      const int step = random(100);
      t += static_cast<std::uint32_t>(step < 2    ? 0
                                      : step < 95 ? 1
                                      : step < 98 ? 1 + random(80)
                                                  : 301 + random(1000));
      e.rpm = static_cast<std::uint16_t>(std::clamp(e.rpm + random(401) - 200, 0, 3000));
      e.oil_t = static_cast<std::uint16_t>(std::clamp(e.oil_t + random(21) - 10, 60, 300));
      e.oil_p = static_cast<std::uint16_t>(std::clamp(e.oil_p + random(41) - 20, 0, 900));
      for (std::uint16_t& tc : e.tc) {
        tc = static_cast<std::uint16_t>(std::clamp(tc + random(41) - 20, 100, 600));
      }
      asi = static_cast<std::int16_t>(std::clamp(asi + random(21) - 10, 0, 200));
      RecordFields f = sample_fields(t, SECTION_TELM1);
      f.base.asi = asi;
      f.telm1 = e;
      if (random(30) == 0) f.telm1.reset();
      log.record(layout, f);
      records.push_back({t, layout >= 2, f});
    }
    ModelProfile p = engine_profile();
    p.limits[0].max = 220;
    p.limits[2].max = 2000;
    p.limits[3].while_running = round % 2 == 0;
    p.egt_spread_max = 200;
    p.cht_cooling_max = 15;
    p.engine_min_seconds = 1 + random(3);
    const std::vector<ModelFinding> expected = model_findings(records, p);
    EXPECT_EQ(texts(tool_findings(log.bytes, p)), texts(expected));
    findings += expected.size();
  }
  EXPECT_GT(findings, 200U);
}

// A flight of records at these seconds from 834700000, each with the engine running or not,
// and a value of a column (none: the record lacks the engine monitor).
struct Moment {
  std::uint32_t second;
  std::optional<double> value;
  bool running = true;
};

Bytes flight_of(const std::vector<Moment>& moments,
                const std::function<void(RecordFields&, double)>& set) {
  LogBuilder log;
  for (const Moment& m : moments) {
    RecordFields f = sample_fields(834700000U + m.second, SECTION_TELM1);
    f.telm1->rpm = m.running ? 2400 : 0;
    if (m.value) {
      set(f, *m.value);
    } else {
      f.telm1.reset();
    }
    log.record(2, f);
  }
  return log.bytes;
}

TEST(Findings, TheEdgesOfTheRules) {
  const auto oil_t = [](RecordFields& f, double v) {
    f.telm1->oil_t = static_cast<std::uint16_t>(v);
  };
  const auto asi = [](RecordFields& f, double v) { f.base.asi = static_cast<std::int16_t>(v); };
  const auto cht = [](RecordFields& f, double v) {
    f.telm1->tc[6] = static_cast<std::uint16_t>(v);
  };
  std::vector<Moment> seconds_5, seconds_4, edges, gap, stopped;
  for (std::uint32_t s = 0; s < 20; ++s) {
    seconds_5.push_back({s, s >= 5 && s < 10 ? 250.0 : 200.0});
    seconds_4.push_back({s, s >= 5 && s < 9 ? 250.0 : 200.0});
    edges.push_back({s, s < 6 || s >= 14 ? 250.0 : 200.0});
    gap.push_back(
        {s, s == 10 ? std::nullopt : std::optional<double>(s >= 2 && s < 18 ? 250 : 200)});
    stopped.push_back({s, 120.0, s >= 10});
  }
  const std::vector<Moment> cooling = {{0, 400}, {30, 380}, {60, 300}};
  const std::vector<Moment> window_59 = {{0, 400}, {59, 300}};
  const std::vector<Moment> window_70 = {{0, 400}, {70, 300}};
  const std::vector<Moment> window_71 = {{0, 400}, {71, 300}};
  constexpr auto b = 834700000U;
  const auto at = [](std::uint32_t first, std::uint32_t last, const std::string& rest) {
    return "1 " + std::to_string(b + first) + " " + std::to_string(b + last) + " " + rest;
  };
  const std::string max_oil = "[columns.telm1_o_t]\nmax = 245\nmin_seconds = 5\n";
  const std::string fast_asi = "[columns.ASI]\nmax = 100\nwhile_running = ";
  const std::string cooling_cht = "[engines.1]\ncht = [\"tc7\"]\ncht_cooling_max = 50\n";
  const struct {
    std::string name, profile;
    std::vector<Moment> moments;
    std::function<void(RecordFields&, double)> set;
    std::vector<std::string> expected;
  } kCases[] = {
      {"a stretch of min_seconds",
       max_oil,
       seconds_5,
       oil_t,
       {at(5, 9, "telm1_o_t above max 245 250")}},
      {"a stretch one second shorter", max_oil, seconds_4, oil_t, {}},
      {"stretches at the first and the last record",
       max_oil,
       edges,
       oil_t,
       {at(0, 5, "telm1_o_t above max 245 250"), at(14, 19, "telm1_o_t above max 245 250")}},
      {"a record without the value ends a stretch",
       max_oil,
       gap,
       oil_t,
       {at(2, 9, "telm1_o_t above max 245 250"), at(11, 17, "telm1_o_t above max 245 250")}},
      {"while_running: only with the engine running",
       fast_asi + "true\n",
       stopped,
       asi,
       {at(10, 19, "ASI above max 100 120")}},
      {"without while_running: always",
       fast_asi + "false\n",
       stopped,
       asi,
       {at(0, 19, "ASI above max 100 120")}},
      {"cooling from 60 s before",
       cooling_cht,
       cooling,
       cht,
       {at(60, 60, "telm1_tc7 cooling 50 100")}},
      {"cooling from 70 s before",
       cooling_cht,
       window_70,
       cht,
       {at(70, 70, "telm1_tc7 cooling 50 100")}},
      {"no cooling from 59 s before", cooling_cht, window_59, cht, {}},
      {"no cooling from 71 s before", cooling_cht, window_71, cht, {}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::string path = write_temp_file("findings-edge-profile.toml", {});
    std::ofstream(path) << c.profile;
    Options options;
    options.format = find_format("csv");
    options.findings = true;
    std::string error;
    ASSERT_TRUE(read_profile(path, options.profile, error)) << error;
    const Conversion run = convert(flight_of(c.moments, c.set), options);
    std::vector<std::string> found;
    std::istringstream lines(run.out);
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line)) {
      const std::vector<std::string> cell = csv_cells(line);
      found.push_back(cell[0] + " " + std::to_string(seconds_of(cell[1])) + " " +
                      std::to_string(seconds_of(cell[2])) + " " + cell[4] + " " + cell[6] + " " +
                      cell[7] + " " + cell[8]);
    }
    EXPECT_EQ(found, c.expected);
  }
}

}  // namespace
}  // namespace korvex::test
