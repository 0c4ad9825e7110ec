// libFuzzer target: the command line's values, TIME, LIST and SECONDS, given as --from/--to,
// --flight and --gap. No input crashes a parser, and no value outside its range is accepted:
//   - a TIME is a timestamp of the log's clock, --from no later than --to for the same text, and
//     a date in the text is the date of the timestamp; a TIME with Z or a zone is read only where
//     a zone can be placed, with a zone from -14:00 to +14:00, and the same without its zone;
//   - a LIST names flights from 1 on, each range in order, and a log of 10 flights either holds
//     every flight named or is refused;
//   - a gap is a whole number of seconds from 1 to 86400, a UTC offset at most 14:00 either way;
//   - a profile is read or refused with its file and line named; one that is read names each
//     thermocouple of an engine at most once, from tc1 to tc12, and no column's min above its
//     max; and the words of a --columns list are made names, or refused, with any profile;
//   - a --columns list (names in any case, ranges, patterns) chooses each column at most once,
//     or is refused with a message; a pattern * matches every name.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/options.h"
#include "fields/column_set.h"
#include "fields/name_match.h"
#include "profile/profile_file.h"
#include "record/timestamp.h"
#include "selection/flight_list.h"
#include "selection/time_window.h"

namespace {

void check(bool ok) {
  if (!ok) __builtin_trap();
}

void check_time(std::string_view text) {
  std::uint32_t from = 0, to = 0;
  std::string error;
  const bool read_from = korvex::parse_time(text, korvex::TimeEnd::FROM, from, error);
  std::string error_to;
  const bool read_to = korvex::parse_time(text, korvex::TimeEnd::TO, to, error_to);
  check(read_from == read_to);
  if (!read_from) {
    check(!error.empty() && !error_to.empty());
    return;
  }
  check(from <= to && to - from < korvex::SECONDS_PER_DAY);
  if (text.find_first_not_of("0123456789") == std::string_view::npos) {
    std::uint64_t value = 0;
    for (const char c : text) {
      value = std::min<std::uint64_t>(value * 10 + static_cast<std::uint64_t>(c - '0'), 1ULL << 40);
    }
    check(from == value && to == value);
    return;
  }
  const korvex::CivilTime t = korvex::civil_time(from);
  char iso[16], classic[16];
  std::snprintf(iso, sizeof iso, "%04d-%02u-%02u", t.year, t.month, t.day);
  std::snprintf(classic, sizeof classic, "%02u/%02u/%04d", t.month, t.day, t.year);
  check(text.find(iso) != std::string_view::npos || text.find(classic) != std::string_view::npos);
}

// A time read with its zone is the time without it, its zone within range; a time read without
// a zone is read alike either way.
void check_zoned_time(std::string_view text) {
  std::uint32_t plain = 0, zoned = 0;
  std::string error;
  const bool read_plain = korvex::parse_time(text, korvex::TimeEnd::FROM, plain, error);
  std::optional<std::int32_t> zone;
  const bool read_zoned = korvex::parse_time(text, korvex::TimeEnd::FROM, zoned, error, &zone);
  if (read_plain) check(read_zoned && !zone && zoned == plain);
  if (!read_zoned || !zone) return;
  check(!read_plain && *zone >= -14 * 3600 && *zone <= 14 * 3600);
  const std::size_t cut = text.find_last_of("Z+-");
  check(cut != std::string_view::npos);
  std::uint32_t without = 0;
  check(korvex::parse_time(text.substr(0, cut), korvex::TimeEnd::FROM, without, error) &&
        without == zoned);
}

void check_list(std::string_view text) {
  korvex::FlightList list;
  std::string error;
  if (!korvex::parse_flight_list(text, list, error)) {
    check(!error.empty());
    return;
  }
  for (const korvex::FlightRange& r : list.ranges) {
    check(r.first == korvex::LAST_FLIGHT || (r.first >= 1 && r.first <= korvex::MAX_FLIGHT_NUMBER));
    check(r.last == korvex::LAST_FLIGHT || (r.last >= 1 && r.last <= korvex::MAX_FLIGHT_NUMBER));
    check(r.first == korvex::LAST_FLIGHT || r.last == korvex::LAST_FLIGHT || r.first <= r.last);
  }
  std::vector<korvex::FlightFacts> spans(10);
  for (std::size_t n = 0; n < spans.size(); ++n) {
    spans[n].number = static_cast<std::int64_t>(n) + 1;
    spans[n].flight_id = 834754403 + spans[n].number * 600;
  }
  if (!list.resolve(10, spans, error)) return;
  for (const korvex::FlightRange& r : list.ranges) check(r.first >= 1 && r.last <= 10);
}

void check_option(const char* option, const std::string& text) {
  const char* argv[] = {"KorvexLogDump", option, text.c_str(), "gpx", "log"};
  const korvex::ParsedCommandLine parsed = korvex::parse_command_line(5, argv);
  if (parsed.command == korvex::Command::CONVERT) {
    check(parsed.options.selection.gap >= 1 && parsed.options.selection.gap <= 86400);
    check(parsed.options.utc_offset >= -14 * 3600 && parsed.options.utc_offset <= 14 * 3600);
  } else {
    check(parsed.command == korvex::Command::OPTION_ERROR && !parsed.error.empty());
  }
}

void check_profile(std::string_view text) {
  korvex::Profile profile;
  std::string error;
  if (!korvex::parse_profile(text, "p.toml", profile, error)) {
    check(error.rfind("p.toml:", 0) == 0);
  } else {
    for (const korvex::EngineSetup& e : profile.engines) {
      bool named[korvex::THERMOCOUPLES + 1] = {};
      for (const auto* list : {&e.egt, &e.cht}) {
        for (const int tc : *list) {
          check(tc >= 1 && tc <= korvex::THERMOCOUPLES && !named[tc]);
          named[tc] = true;
        }
      }
    }
    for (const korvex::ColumnSetup& c : profile.columns) {
      check(c.column.field != nullptr && c.min_seconds >= 1);
      check(!c.min || !c.max || *c.min <= *c.max);
    }
  }
  std::string names;
  if (!korvex::profile_column_names(text, profile, names, error)) check(!error.empty());
}

void check_columns(const std::string& text) {
  const korvex::SectionFlags every = korvex::SECTION_TELM1 | korvex::SECTION_TELM2 |
                                     korvex::SECTION_ATTITUDE | korvex::SECTION_GPS;
  korvex::ColumnSet columns;
  std::string error;
  if (!korvex::choose_columns(text, every, columns, error)) {
    check(!error.empty());
  } else {
    std::vector<std::pair<int, const korvex::Field*>> seen;
    columns.for_each([&](korvex::ColumnRef c) {
      const std::pair<int, const korvex::Field*> column{c.block, c.field};
      check(std::find(seen.begin(), seen.end(), column) == seen.end());
      seen.push_back(column);
    });
  }
  check(korvex::matches_pattern("*", text));
  check(korvex::matches_pattern(text, text) || text.find_first_of("*?") != std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  check_time(text);
  check_zoned_time(text);
  check_list(text);
  check_profile(text);
  if (text.size() <= 64) check_columns(text);  // lists as people type them; longer ones cost
  if (text.find('\0') == std::string::npos) {
    check_option("--gap", text);
    check_option("--utc-offset", text);
    // A window in UTC or a zone, placed with an offset given before or after it.
    const char* before[] = {"KorvexLogDump", "--utc-offset", "+05:30", "--from",
                            text.c_str(),    "gpx",          "log"};
    const char* after[] = {"KorvexLogDump", "--to", text.c_str(), "--utc-offset",
                           "-09:00",        "gpx",  "log"};
    for (const char** argv : {before, after}) {
      const korvex::ParsedCommandLine parsed = korvex::parse_command_line(7, argv);
      check(parsed.command == korvex::Command::CONVERT ||
            (parsed.command == korvex::Command::OPTION_ERROR && !parsed.error.empty()));
    }
  }
  return 0;
}
