#include "profile/profile_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <toml++/toml.h>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "fields/column_set.h"
#include "io/concat.h"
#include "profile_template.h"

namespace korvex {

namespace {

constexpr std::string_view kTopKeys =
    "a profile has title, [aircraft], [columns.NAME], [engines.1], [engines.2], [airborne], "
    "[phases] and [trends]";
constexpr std::string_view kAircraftKeys = "[aircraft] takes registration and serial";
constexpr std::string_view kColumnKeys =
    "a column takes label, unit, scale, offset, table, min, max, min_seconds, while_running, "
    "phases, min_phases, max_phases and drift_min";
constexpr std::string_view kEngineKeys =
    "an engine takes name, serial, egt, cht, egt_unit, cht_unit, running_rpm, egt_max, cht_max, "
    "cht_min, egt_spread_max, cht_cooling_max, min_seconds, phases, drift_egt_min and "
    "drift_cht_min";
constexpr std::string_view kAirborneKeys = "[airborne] takes column and min";
constexpr std::string_view kPhaseKeys =
    "[phases] takes takeoff_seconds, landing_seconds, vertical_speed, vertical_seconds, "
    "cruise_seconds, cruise_altitude, cruise_rpm and cruise_map";
constexpr std::string_view kTrendKeys =
    "[trends] takes baseline_flights, baseline_min, power_rpm, power_map, drift_iqr and "
    "drift_flights";
// The most flights a baseline may be made of.
constexpr int kMostBaselineFlights = 1000;
// The longest registration or serial.
constexpr std::size_t kIdentityLength = 32;
// The most seconds a phase's threshold may span (the records held back to find phases).
constexpr int kMostPhaseSeconds = 3600;

// The keys of a table in the order the file gives them (a table keeps them sorted).
std::vector<std::pair<const toml::key*, const toml::node*>> in_file_order(const toml::table& t) {
  std::vector<std::pair<const toml::key*, const toml::node*>> keys;
  for (auto&& [k, v] : t) keys.emplace_back(&k, &v);
  std::sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) {
    const toml::source_position& x = a.first->source().begin;
    const toml::source_position& y = b.first->source().begin;
    return x.line != y.line ? x.line < y.line : x.column < y.column;
  });
  return keys;
}

std::string number_text(double v) {
  char text[32];
  const char* end = std::to_chars(text, text + sizeof text, v).ptr;
  return std::string(static_cast<const char*>(text), end);
}

// Reads the profile's tables, keeping the problem that stands first in the file.
class Reader {
 public:
  Reader(const std::string& path, Profile& profile) : path_(path), profile_(profile) {}

  void read(const toml::table& top) {
    for (auto&& [key, node] : top) {
      const std::string name(key.str());
      if (name == "title") {
        if (auto v = text(node, name)) profile_.title = *v;
      } else if (name == "columns") {
        if (const toml::table* t = table(node, name)) columns(*t);
      } else if (name == "aircraft") {
        if (const toml::table* t = table(node, name)) aircraft(*t);
      } else if (name == "engines") {
        if (const toml::table* t = table(node, name)) engines(*t);
      } else if (name == "airborne") {
        if (const toml::table* t = table(node, name)) airborne(*t);
      } else if (name == "phases") {
        if (const toml::table* t = table(node, name)) phases(*t);
      } else if (name == "trends") {
        if (const toml::table* t = table(node, name)) trends(*t);
      } else {
        fail(key.source(), name, concat({"unknown key; ", kTopKeys}));
      }
    }
  }

  // The first problem, or empty.
  const std::string& problem() const { return problem_; }

 private:
  void fail(const toml::source_region& where, std::string_view key, const std::string& what) {
    const auto line = static_cast<std::int64_t>(where.begin.line);
    if (!problem_.empty() && line >= problem_line_) return;
    problem_line_ = line;
    problem_ = concat({path_, ":", std::to_string(line), ": ", shown(key), ": ", what});
  }

  const toml::table* table(const toml::node& node, std::string_view key) {
    if (const toml::table* t = node.as_table()) return t;
    fail(node.source(), key, "is no table");
    return nullptr;
  }
  std::optional<std::string> text(const toml::node& node, std::string_view key) {
    if (const auto* v = node.as_string()) return v->get();
    fail(node.source(), key, "is no text; write it in double quotes");
    return std::nullopt;
  }
  std::optional<double> number(const toml::node& node, std::string_view key) {
    if (const auto* v = node.as_integer()) return static_cast<double>(v->get());
    if (const auto* v = node.as_floating_point(); v != nullptr && std::isfinite(v->get())) {
      return v->get();
    }
    // nan and inf are numbers to TOML, but no limit or speed.
    fail(node.source(), key, node.is_floating_point() ? "is no finite number" : "is no number");
    return std::nullopt;
  }
  // A number greater than 0.
  std::optional<double> positive(const toml::node& node, std::string_view key) {
    const std::optional<double> n = number(node, key);
    if (n && *n <= 0) {
      fail(node.source(), key, "is not more than 0");
      return std::nullopt;
    }
    return n;
  }
  std::optional<int> seconds(const toml::node& node, std::string_view key) {
    const auto* v = node.as_integer();
    if (v != nullptr && v->get() >= 1 && v->get() <= 86400) return static_cast<int>(v->get());
    fail(node.source(), key, "is no whole number of seconds from 1 to 86400");
    return std::nullopt;
  }
  std::optional<bool> flag(const toml::node& node, std::string_view key) {
    if (const auto* v = node.as_boolean()) return v->get();
    fail(node.source(), key, "is neither true nor false");
    return std::nullopt;
  }

  void columns(const toml::table& all) {
    for (const auto& [key_of, node_of] : in_file_order(all)) {
      const toml::key& key = *key_of;
      const toml::node& node = *node_of;
      const std::string name(key.str());
      const std::string path = concat({"columns.", name});
      const std::optional<ColumnRef> column = find_column(name);
      if (!column) {
        fail(key.source(), path,
             concat({"no column is named ", quoted(name),
                     "; KorvexLogDump --describe csv LOGFILE lists the names"}));
        continue;
      }
      const toml::table* t = table(node, path);
      if (t == nullptr) continue;
      ColumnSetup setup;
      setup.column = *column;
      for (auto&& [k, v] : *t) {
        const std::string what(k.str());
        const std::string at = concat({path, ".", what});
        if (what == "label") {
          setup.label = text(v, at).value_or("");
        } else if (what == "unit") {
          setup.unit = text(v, at).value_or("");
        } else if (what == "scale") {
          const std::optional<double> scale = number(v, at);
          if (scale && *scale == 0) fail(v.source(), at, "is 0, which makes every value 0");
          setup.calibration.scale = scale.value_or(1);
        } else if (what == "offset") {
          setup.calibration.offset = number(v, at).value_or(0);
        } else if (what == "table") {
          calibration_table(v, at, setup.calibration.table);
        } else if (what == "min") {
          setup.min = number(v, at);
        } else if (what == "max") {
          setup.max = number(v, at);
        } else if (what == "min_seconds") {
          setup.min_seconds = seconds(v, at).value_or(1);
        } else if (what == "while_running") {
          setup.while_running = flag(v, at);
        } else if (what == "phases") {
          setup.phases = phase_set(v, at);
        } else if (what == "min_phases") {
          setup.min_phases = phase_set(v, at);
        } else if (what == "max_phases") {
          setup.max_phases = phase_set(v, at);
        } else if (what == "drift_min") {
          setup.drift_min = positive(v, at);
        } else {
          fail(k.source(), at, concat({"unknown key; ", kColumnKeys}));
        }
      }
      const Calibration& cal = setup.calibration;
      if (!cal.table.empty() && (cal.scale != 1 || cal.offset != 0)) {
        fail(key.source(), path,
             "gives both a table and a scale or offset; give the one or the other");
      }
      if (setup.min && setup.max && *setup.min > *setup.max) {
        fail(key.source(), path,
             concat(
                 {"min ", number_text(*setup.min), " is more than max ", number_text(*setup.max)}));
      }
      profile_.columns.push_back(std::move(setup));
    }
  }

  // A list of phases by name, each once.
  PhaseSet phase_set(const toml::node& node, const std::string& at) {
    std::string names;
    for (const std::string_view name : PHASE_NAMES)
      append(names, {names.empty() ? "" : ", ", name});
    const toml::array* list = node.as_array();
    if (list == nullptr || list->empty()) {
      fail(node.source(), at,
           concat({"is no list of phases; write [\"climb\", \"cruise\"] of ", names}));
      return 0;
    }
    PhaseSet set = 0;
    for (const toml::node& item : *list) {
      const std::optional<std::string> name = text(item, at);
      if (!name) return 0;
      const auto found = std::find(PHASE_NAMES.begin(), PHASE_NAMES.end(), *name);
      if (found == PHASE_NAMES.end()) {
        fail(item.source(), at, concat({quoted(*name), " is no phase; the phases are ", names}));
        return 0;
      }
      set |= phase_bit(static_cast<Phase>(found - PHASE_NAMES.begin()));
    }
    return set;
  }

  // A calibration table: [[logged, value], ...], at least two pairs, the logged values rising.
  void calibration_table(const toml::node& node, const std::string& at,
                         std::vector<std::pair<double, double>>& table) {
    constexpr std::string_view kForm =
        "write it as [[logged, value], [logged, value], ...], the logged values rising";
    const toml::array* list = node.as_array();
    if (list == nullptr || list->size() < 2) {
      fail(node.source(), at,
           concat({list == nullptr ? "is no list; " : "has fewer than two pairs; ", kForm}));
      return;
    }
    for (const toml::node& item : *list) {
      const toml::array* pair = item.as_array();
      if (pair == nullptr || pair->size() != 2) {
        fail(item.source(), at, concat({"holds something that is no pair; ", kForm}));
        return;
      }
      const std::optional<double> logged = number((*pair)[0], at);
      const std::optional<double> value = number((*pair)[1], at);
      if (!logged || !value) return;
      if (!table.empty() && *logged <= table.back().first) {
        fail(item.source(), at,
             concat({"the logged value ", number_text(*logged), " does not rise above ",
                     number_text(table.back().first), "; ", kForm}));
        return;
      }
      table.emplace_back(*logged, *value);
    }
  }

  // The thermocouples of a cylinder list: "tc1" to "tc12", each once in the engine.
  void cylinders(const toml::node& node, const std::string& at, std::vector<int>& tcs,
                 std::vector<std::string>& named) {
    const toml::array* list = node.as_array();
    if (list == nullptr) {
      fail(node.source(), at, "is no list; write the thermocouples as [\"tc1\", \"tc2\", ...]");
      return;
    }
    for (const toml::node& item : *list) {
      const std::optional<std::string> name = text(item, at);
      if (!name) continue;
      int tc = 0;
      const bool numbered =
          name->size() > 2 && name->compare(0, 2, "tc") == 0 &&
          std::from_chars(name->data() + 2, name->data() + name->size(), tc).ptr ==
              name->data() + name->size();
      if (!numbered || tc < 1 || tc > THERMOCOUPLES || name->at(2) == '0') {
        fail(item.source(), at, concat({quoted(*name), " is no thermocouple (tc1 to tc12)"}));
        continue;
      }
      const std::string& earlier = named[static_cast<std::size_t>(tc - 1)];
      if (!earlier.empty()) {
        fail(item.source(), at,
             concat({quoted(*name), " is named twice (", earlier, " and ", at, ")"}));
        continue;
      }
      named[static_cast<std::size_t>(tc - 1)] = at;
      tcs.push_back(tc);
    }
  }

  void engines(const toml::table& all) {
    for (auto&& [key, node] : all) {
      const std::string number_key(key.str());
      const std::string path = concat({"engines.", number_key});
      if (number_key != "1" && number_key != "2") {
        fail(key.source(), path, "there are engines 1 (telm1) and 2 (telm2)");
        continue;
      }
      const toml::table* t = table(node, path);
      if (t == nullptr) continue;
      EngineSetup& e = profile_.engines[number_key == "1" ? 0 : 1];
      std::vector<std::string> named(THERMOCOUPLES);
      // In file order, so that a thermocouple named twice is reported where it is named again.
      for (const auto& [k, v] : in_file_order(*t)) {
        const std::string what(k->str());
        const std::string at = concat({path, ".", what});
        if (what == "name") {
          e.name = text(*v, at).value_or("");
        } else if (what == "serial") {
          e.serial = identity(*v, at);
        } else if (what == "egt") {
          cylinders(*v, at, e.egt, named);
        } else if (what == "cht") {
          cylinders(*v, at, e.cht, named);
        } else if (what == "egt_unit") {
          e.egt_unit = text(*v, at).value_or("");
        } else if (what == "cht_unit") {
          e.cht_unit = text(*v, at).value_or("");
        } else if (what == "running_rpm") {
          const std::optional<double> rpm = number(*v, at);
          if (rpm && *rpm < 0) fail(v->source(), at, "is less than 0");
          e.running_rpm = rpm.value_or(DEFAULT_RUNNING_RPM);
        } else if (what == "egt_max") {
          e.egt_max = number(*v, at);
        } else if (what == "cht_max") {
          e.cht_max = number(*v, at);
        } else if (what == "cht_min") {
          e.cht_min = number(*v, at);
        } else if (what == "egt_spread_max") {
          e.egt_spread_max = number(*v, at);
        } else if (what == "cht_cooling_max") {
          e.cht_cooling_max = number(*v, at);
        } else if (what == "min_seconds") {
          e.min_seconds = seconds(*v, at).value_or(1);
        } else if (what == "phases") {
          e.phases = phase_set(*v, at);
        } else if (what == "drift_egt_min") {
          e.drift_egt_min = positive(*v, at).value_or(e.drift_egt_min);
        } else if (what == "drift_cht_min") {
          e.drift_cht_min = positive(*v, at).value_or(e.drift_cht_min);
        } else {
          fail(k->source(), at, concat({"unknown key; ", kEngineKeys}));
        }
      }
    }
  }

  // A registration or serial: a word of letters, digits and dashes, as painted or stamped.
  std::string identity(const toml::node& node, const std::string& at) {
    std::string value = text(node, at).value_or("");
    const bool word = !value.empty() && value.size() <= kIdentityLength &&
                      std::all_of(value.begin(), value.end(), [](char c) {
                        return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' ||
                               c == '.' || c == '/';
                      });
    if (!word) {
      fail(node.source(), at,
           concat({"is no registration or serial (letters, digits, '-', '.' or '/', at most ",
                   std::to_string(kIdentityLength), ")"}));
      return {};
    }
    return value;
  }

  void aircraft(const toml::table& t) {
    for (auto&& [k, v] : t) {
      const std::string what(k.str());
      const std::string at = concat({"aircraft.", what});
      if (what == "registration") {
        profile_.aircraft.registration = identity(v, at);
      } else if (what == "serial") {
        profile_.aircraft.serial = identity(v, at);
      } else {
        fail(k.source(), at, concat({"unknown key; ", kAircraftKeys}));
      }
    }
  }

  void airborne(const toml::table& t) {
    for (auto&& [k, v] : t) {
      const std::string what(k.str());
      const std::string at = concat({"airborne.", what});
      if (what == "column") {
        const std::optional<std::string> name = text(v, at);
        if (!name) continue;
        const std::optional<ColumnRef> column = find_column(*name);
        if (!column || (column->block != BASE_BLOCK && column->block != SECTION_ID_GPS)) {
          fail(v.source(), at,
               concat({quoted(*name), " is no column of the base payload or of GPS"}));
          continue;
        }
        profile_.airborne.column = *column;
      } else if (what == "min") {
        profile_.airborne.min = number(v, at).value_or(DEFAULT_AIRBORNE_MIN);
      } else {
        fail(k.source(), at, concat({"unknown key; ", kAirborneKeys}));
      }
    }
  }

  void phases(const toml::table& t) {
    PhaseSetup& p = profile_.phases;
    for (auto&& [k, v] : t) {
      const std::string what(k.str());
      const std::string at = concat({"phases.", what});
      const toml::node& value = v;
      const auto span = [&](int& into, int least) {
        const auto* n = value.as_integer();
        if (n != nullptr && n->get() >= least && n->get() <= kMostPhaseSeconds) {
          into = static_cast<int>(n->get());
          return;
        }
        fail(value.source(), at,
             concat({"is no whole number of seconds from ", std::to_string(least), " to ",
                     std::to_string(kMostPhaseSeconds)}));
      };
      const auto band = [&](double& into) {
        const std::optional<double> n = number(value, at);
        if (n && *n < 0) fail(value.source(), at, "is less than 0");
        if (n && *n >= 0) into = *n;
      };
      if (what == "takeoff_seconds") {
        span(p.takeoff_seconds, 1);
      } else if (what == "landing_seconds") {
        span(p.landing_seconds, 1);
      } else if (what == "vertical_speed") {
        band(p.vertical_speed);
      } else if (what == "vertical_seconds") {
        span(p.vertical_seconds, 2);
      } else if (what == "cruise_seconds") {
        span(p.cruise_seconds, 1);
      } else if (what == "cruise_altitude") {
        band(p.cruise_altitude);
      } else if (what == "cruise_rpm") {
        band(p.cruise_rpm);
      } else if (what == "cruise_map") {
        band(p.cruise_map);
      } else {
        fail(k.source(), at, concat({"unknown key; ", kPhaseKeys}));
      }
    }
  }

  void trends(const toml::table& t) {
    TrendSetup& trends = profile_.trends;
    for (auto&& [k, v] : t) {
      const std::string what(k.str());
      const std::string at = concat({"trends.", what});
      const toml::node& value = v;
      const auto flights = [&](int& into) {
        const auto* n = value.as_integer();
        if (n != nullptr && n->get() >= 2 && n->get() <= kMostBaselineFlights) {
          into = static_cast<int>(n->get());
          return;
        }
        fail(value.source(), at,
             concat({"is no whole number of flights from 2 to ",
                     std::to_string(kMostBaselineFlights)}));
      };
      const auto band = [&](double& into) {
        const std::optional<double> n = number(value, at);
        if (n && *n < 0) fail(value.source(), at, "is less than 0");
        if (n && *n >= 0) into = *n;
      };
      if (what == "drift_flights") {
        const auto* n = value.as_integer();
        if (n != nullptr && n->get() >= 1 && n->get() <= MAX_DRIFT_FLIGHTS) {
          trends.drift_flights = static_cast<int>(n->get());
        } else {
          fail(value.source(), at,
               concat({"is no whole number of flights from 1 to ",
                       std::to_string(MAX_DRIFT_FLIGHTS)}));
        }
      } else if (what == "drift_iqr") {
        band(trends.drift_iqr);
      } else if (what == "baseline_flights") {
        flights(trends.baseline_flights);
      } else if (what == "baseline_min") {
        flights(trends.baseline_min);
      } else if (what == "power_rpm") {
        band(trends.power_rpm);
      } else if (what == "power_map") {
        band(trends.power_map);
      } else {
        fail(k.source(), at, concat({"unknown key; ", kTrendKeys}));
      }
    }
    if (trends.baseline_min > trends.baseline_flights) {
      fail(t.source(), "trends.baseline_min",
           concat({"is more than trends.baseline_flights (",
                   std::to_string(trends.baseline_flights), ")"}));
    }
  }

  const std::string& path_;
  Profile& profile_;
  std::string problem_;
  std::int64_t problem_line_ = 0;
};

}  // namespace

bool parse_profile(std::string_view text, const std::string& path, Profile& profile,
                   std::string& error) {
  profile = Profile();
  profile.path = path;
  profile.text = text;
  try {
    const toml::table top = toml::parse(text, std::string_view(path));
    Reader reader(path, profile);
    reader.read(top);
    error = reader.problem();
  } catch (const toml::parse_error& e) {
    error = concat({path, ":", std::to_string(e.source().begin.line), ": ", e.description()});
  }
  return error.empty();
}

bool read_profile(const std::string& path, Profile& profile, std::string& error) {
  std::string text;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  int err = fd < 0 ? errno : 0;
  // A profile is a few kilobytes: a file that goes on (/dev/zero, a log given by mistake) is
  // refused once it passes the largest a profile may be.
  for (char buffer[65536]; err == 0 && text.size() <= MAX_PROFILE_BYTES;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) err = errno;
    if (got <= 0) break;
    text.append(buffer, static_cast<std::size_t>(got));
  }
  if (fd >= 0) ::close(fd);
  if (err != 0) {
    error = concat({"cannot read the profile ", path, ": ", std::strerror(err)});
    return false;
  }
  if (text.size() > MAX_PROFILE_BYTES) {
    error =
        concat({"the profile ", path, " is larger than ", std::to_string(MAX_PROFILE_BYTES / 1024),
                " KB, so no aircraft profile: give its TOML file (--profile-template shows "
                "one)"});
    return false;
  }
  return parse_profile(text, path, profile, error);
}

std::string_view profile_template() {
  return PROFILE_TEMPLATE;
}

}  // namespace korvex
