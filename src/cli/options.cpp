#include "cli/options.h"

#include "io/concat.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace korvex {

namespace {

enum class OptionId {
  FLIGHTS,
  FLIGHT,
  FROM,
  TO,
  GAP,
  COLUMNS,
  OUTPUT,
  SPLIT,
  FORCE,
  MERGE_INSTRUMENTS,
  UTC_OFFSET,
  DESCRIBE,
  FINDINGS,
  CRUISE,
  TRENDS,
  CALIBRATED,
  PROFILE,
  NO_PROFILE,
  PROFILE_TEMPLATE,
  QUIET,
  HELP,
  VERSION,
};

struct OptionDef {
  OptionId id;
  char short_name;  // 0 when the option has only its long name
  std::string_view long_name;
  std::string_view value_name;  // empty when the option takes no value
  std::string_view help;
};

constexpr OptionDef kOptions[] = {
    {OptionId::FLIGHTS, 0, "flights", "", "a row per flight instead of a row per record"},
    {OptionId::FLIGHT, 0, "flight", "LIST",
     "only these flights: numbers and ranges, such as 3 or 2,5 or 2-4 or last, or their "
     "flight_id"},
    {OptionId::FROM, 0, "from", "TIME", "only records at or after TIME"},
    {OptionId::TO, 0, "to", "TIME", "only records at or before TIME"},
    {OptionId::GAP, 0, "gap", "SECONDS",
     "a pause longer than this starts a new flight (default 300)"},
    {OptionId::COLUMNS, 0, "columns", "LIST",
     "only these columns: names, labels, blocks, ranges (tc1-tc6), patterns (*oil*)"},
    {OptionId::OUTPUT, 'o', "output", "FILE",
     "write to FILE (whole or not at all), not standard output"},
    {OptionId::SPLIT, 0, "split", "DIR", "one file per flight in DIR, named by its start"},
    {OptionId::FORCE, 'f', "force", "", "let -o and --split replace files that exist"},
    {OptionId::MERGE_INSTRUMENTS, 0, "merge-instruments", "",
     "read logs that share no record over the same hours as one (two instruments of one "
     "aircraft)"},
    {OptionId::UTC_OFFSET, 0, "utc-offset", "+HH:MM",
     "how far the instrument's clock runs ahead of UTC (-14:00 to +14:00)"},
    {OptionId::DESCRIBE, 0, "describe", "",
     "the log's columns (name, block, label, type, unit) instead of records"},
    {OptionId::FINDINGS, 0, "findings", "",
     "every limit of the profile exceeded and every drift from the engine's baseline, a row "
     "each, instead of records"},
    {OptionId::CRUISE, 0, "cruise", "",
     "every cruise segment with its medians (RPM, MAP, flow, EGTs, ...), a row each"},
    {OptionId::TRENDS, 0, "trends", "",
     "a row per flight: its cruise figures beside their baselines over the flights before"},
    {OptionId::CALIBRATED, 0, "calibrated", "",
     "csv and tsv: the values of the columns the profile calibrates in its units, not as logged"},
    {OptionId::PROFILE, 0, "profile", "FILE",
     "the aircraft profile (units, cylinders, limits) to use"},
    {OptionId::NO_PROFILE, 0, "no-profile", "",
     "use no profile, not even the one in ~/.config/korvexlogdump"},
    {OptionId::PROFILE_TEMPLATE, 0, "profile-template", "",
     "show a profile with every key, to start one from, and exit"},
    {OptionId::QUIET, 'q', "quiet", "",
     "no progress texts and no dots; warnings, errors and the summary stay"},
    {OptionId::HELP, 'h', "help", "", "show this help and exit"},
    {OptionId::VERSION, 'V', "version", "", "show the version and exit"},
};

// A whole number from `low` to `high`.
bool parse_whole(std::string_view text, std::uint32_t low, std::uint32_t high,
                 std::uint32_t& value) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != text.npos) {
    return false;
  }
  value = static_cast<std::uint32_t>(std::stoul(std::string(text)));
  return value >= low && value <= high;
}

// The ends of the window given with Z or a zone: moved onto the instrument's clock once
// --utc-offset, which may come later, is known.
struct ZonedEnds {
  std::optional<std::int32_t> from, to;
  std::string from_text, to_text;
};

// Takes an option (and its value) into the options, or into the command it stands for; false
// with `error` when its value is no good.
bool apply_option(OptionId id, std::string_view value, ParsedCommandLine& parsed, ZonedEnds& zoned,
                  std::string& error) {
  Options& o = parsed.options;
  switch (id) {
    case OptionId::HELP:
      parsed.command = Command::HELP;
      return true;
    case OptionId::VERSION:
      parsed.command = Command::VERSION;
      return true;
    case OptionId::PROFILE_TEMPLATE:
      parsed.command = Command::PROFILE_TEMPLATE;
      return true;
    case OptionId::FLIGHTS:
      o.flights_table = true;
      return true;
    case OptionId::FORCE:
      o.force = true;
      return true;
    case OptionId::MERGE_INSTRUMENTS:
      o.merge_instruments = true;
      return true;
    case OptionId::DESCRIBE:
      o.describe = true;
      return true;
    case OptionId::CALIBRATED:
      o.calibrated = true;
      return true;
    case OptionId::FINDINGS:
      o.findings = true;
      return true;
    case OptionId::CRUISE:
      o.cruise = true;
      return true;
    case OptionId::TRENDS:
      o.trends = true;
      return true;
    case OptionId::NO_PROFILE:
      o.no_profile = true;
      return true;
    case OptionId::QUIET:
      o.quiet = true;
      return true;
    case OptionId::FLIGHT:
      return parse_flight_list(value, o.selection.flights, error);
    case OptionId::FROM:
      zoned.from_text = value;
      return parse_time(value, TimeEnd::FROM, o.selection.window.from, error, &zoned.from);
    case OptionId::TO:
      zoned.to_text = value;
      return parse_time(value, TimeEnd::TO, o.selection.window.to, error, &zoned.to);
    case OptionId::GAP:
      if (parse_whole(value, 1, MAX_GAP, o.selection.gap)) return true;
      error = concat({"the gap ", quoted(value), " is no whole number of seconds from 1 to ",
                      std::to_string(MAX_GAP)});
      return false;
    case OptionId::COLUMNS:
      o.columns_given = true;
      o.columns = value;
      return true;
    case OptionId::UTC_OFFSET:
      o.utc_offset_given = true;
      switch (parse_utc_offset(value, o.utc_offset)) {
        case OffsetRead::READ:
          return true;
        case OffsetRead::OUT_OF_RANGE:
          error = concat({"the UTC offset ", quoted(value), " is outside -14:00 to +14:00"});
          return false;
        case OffsetRead::NO_FORM:
          break;
      }
      error = concat({"the UTC offset ", quoted(value),
                      " is no [+|-]HH:MM from -14:00 to +14:00 (such as -05:00)"});
      return false;
    case OptionId::PROFILE:
      o.profile_path = value;
      if (!value.empty()) return true;
      error = "the file of --profile is empty";
      return false;
    case OptionId::OUTPUT:
      o.output_path = value == STANDARD_OUTPUT ? std::string() : std::string(value);
      if (!value.empty()) return true;
      error = "the file of --output is empty";
      return false;
    case OptionId::SPLIT:
      o.split_dir = value;
      if (!value.empty()) return true;
      error = "the folder of --split is empty";
      return false;
  }
  error = "an option this program does not know";
  return false;
}

// A time of the window given in UTC or a zone, on the instrument's clock; false with `error`.
bool place_zoned(const std::optional<std::int32_t>& zone, const std::string& text,
                 std::uint32_t& timestamp, const Options& o, std::string& error) {
  if (!zone) return true;
  if (!o.utc_offset_given) {
    error = concat({"the time ", quoted(text),
                    " is in UTC or a zone, and the instrument's clock is not: give "
                    "--utc-offset [+|-]HH:MM too (how far the clock runs ahead of UTC), or the "
                    "time without Z or zone, as the clock shows it"});
    return false;
  }
  if (zoned_to_clock(timestamp, *zone, o.utc_offset)) return true;
  error = concat({"the time ", quoted(text), " lies outside a log's clock"});
  return false;
}

// The options of each kind a format may refuse, as they are written, and whether they are one.
struct RefusedWords {
  std::string_view words;
  Refused option;
  bool several;
};
constexpr RefusedWords kRefusedWords[] = {
    {"--columns", Refused::COLUMNS, false},
    {"--flights", Refused::FLIGHTS, false},
    {"--findings", Refused::FINDINGS, false},
    {"--cruise", Refused::CRUISE, false},
    {"--trends", Refused::TRENDS, false},
    {"--split", Refused::SPLIT, false},
    {"--flight, --from and --to", Refused::SELECTION, true},
    {"--utc-offset", Refused::UTC_OFFSET, false},
    {"--describe", Refused::DESCRIBE, false},
    {"--calibrated", Refused::CALIBRATED, false},
};

// The option of that kind is given.
bool given(const Options& o, Refused option) {
  switch (option) {
    case Refused::COLUMNS:
      return o.columns_given;
    case Refused::FLIGHTS:
      return o.flights_table;
    case Refused::FINDINGS:
      return o.findings;
    case Refused::CRUISE:
      return o.cruise;
    case Refused::TRENDS:
      return o.trends;
    case Refused::SPLIT:
      return !o.split_dir.empty();
    case Refused::SELECTION:
      return !o.selection.flights.all() || !o.selection.window.all();
    case Refused::UTC_OFFSET:
      return o.utc_offset_given;
    case Refused::CALIBRATED:
      return o.calibrated;
    case Refused::DESCRIBE:
      break;
  }
  return o.describe;
}

// An option of those given that the format refuses, among `kinds`; false with `error`.
bool format_refuses(const Options& o, std::span<const Refused> kinds, std::string& error) {
  for (const Refused kind : kinds) {
    const std::string_view why = o.format->refusal(kind);
    if (why.empty() || !given(o, kind)) continue;
    for (const RefusedWords& w : kRefusedWords) {
      if (w.option != kind) continue;
      error = concat({w.words, w.several ? " do not go with " : " does not go with ",
                      o.format->word, ", ", why});
    }
    return true;
  }
  return false;
}

// Options that do not go together; false with `error`.
bool check_combination(const Options& o, std::string& error) {
  const FormatEntry& format = *o.format;
  constexpr Refused kFirst[] = {Refused::COLUMNS, Refused::FLIGHTS, Refused::FINDINGS,
                                Refused::CRUISE, Refused::TRENDS};
  constexpr Refused kThen[] = {Refused::SPLIT, Refused::SELECTION, Refused::UTC_OFFSET,
                               Refused::DESCRIBE, Refused::CALIBRATED};
  if (format_refuses(o, kFirst, error)) return false;
  // The options that write rows of their own instead of records, those given.
  std::vector<std::string_view> tables;
  for (const auto& [option, given] : {std::pair{"--findings", o.findings},
                                      {"--cruise", o.cruise},
                                      {"--trends", o.trends},
                                      {"--flights", o.flights_table},
                                      {"--describe", o.describe}}) {
    if (given) tables.emplace_back(option);
  }
  if (!tables.empty() && tables.front() != "--flights" && tables.front() != "--describe" &&
      o.columns_given) {
    error = concat({"--columns does not go with ", tables.front(), ", whose columns are fixed"});
  } else if (tables.size() > 1 && tables[0] != "--flights" && tables[0] != "--describe") {
    error = concat({tables[0], " does not go with ", tables[1], ": each writes rows of its own"});
  } else if (o.trends && (!o.selection.flights.all() || !o.selection.window.all())) {
    error =
        "--trends does not go with --flight, --from or --to: each flight's baseline is made of "
        "every flight before it";
  } else if (o.trends && !o.split_dir.empty()) {
    error = "--split does not go with --trends, which writes one row per flight";
  } else if (!format.output_file.empty() && o.output_path.empty()) {
    error = concat({format.word, " needs -o FILE: ", format.output_file});
  } else if (format_refuses(o, kThen, error)) {
    return false;
  } else if (!o.output_path.empty() && !o.split_dir.empty()) {
    error = "--output does not go with --split, which writes a file per flight";
  } else if (o.force && o.output_path.empty() && o.split_dir.empty()) {
    error = "--force needs --output or --split: it lets them replace files";
  } else if (o.flights_table && !o.split_dir.empty()) {
    error = "--split does not go with --flights, which writes one row per flight";
  } else if (o.no_profile && !o.profile_path.empty()) {
    error = "--profile does not go with --no-profile";
  } else if (o.describe && o.flights_table) {
    error = "--describe does not go with --flights: it lists the columns of the records";
  } else if (o.describe && !o.split_dir.empty()) {
    error = "--describe does not go with --split, which writes records";
  } else if (o.selection.window.from > o.selection.window.to) {
    error = "--from is later than --to";
  }
  return error.empty();
}

// What to do instead of giving an option of one value twice (the last would win unseen).
std::string given_twice(const OptionDef& option) {
  std::string_view how = "give it once";
  switch (option.id) {
    case OptionId::FLIGHT:
      how = "give every flight in one list (--flight 1,2)";
      break;
    case OptionId::COLUMNS:
      how = "give every column in one list (--columns alt,RPM)";
      break;
    case OptionId::FROM:
    case OptionId::TO:
      how = "a window has one start and one end";
      break;
    case OptionId::OUTPUT:
      how = "a run writes one file";
      break;
    case OptionId::SPLIT:
      how = "a run writes into one folder";
      break;
    default:
      break;
  }
  return concat({"--", option.long_name, " is given twice: ", how});
}

// The format words, as the help lists them.
std::string format_words() {
  std::string words;
  for (const FormatEntry& f : output_formats()) {
    words += concat({words.empty() ? "" : ", ", f.word});
  }
  return words;
}

const OptionDef* find_option(std::string_view arg, std::string_view& value, bool& has_value) {
  has_value = false;
  if (arg.size() == 2 && arg[0] == '-' && arg[1] != '-') {
    for (const OptionDef& o : kOptions) {
      if (o.short_name == arg[1]) return &o;
    }
    return nullptr;
  }
  if (arg.substr(0, 2) != "--") return nullptr;
  std::string_view name = arg.substr(2);
  if (const std::size_t eq = name.find('='); eq != std::string_view::npos) {
    value = name.substr(eq + 1);
    has_value = true;
    name = name.substr(0, eq);
  }
  for (const OptionDef& o : kOptions) {
    if (o.long_name == name) return &o;
  }
  return nullptr;
}

ParsedCommandLine option_error(std::string text) {
  ParsedCommandLine parsed;
  parsed.command = Command::OPTION_ERROR;
  parsed.error = std::move(text);
  return parsed;
}

}  // namespace

ParsedCommandLine parse_command_line(int argc, const char* const* argv) {
  ParsedCommandLine parsed;
  std::vector<std::string_view> positional;
  std::vector<OptionId> valued;  // the options of one value given so far
  ZonedEnds zoned;
  bool options_seen = false;
  bool options_ended = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (options_ended || arg.size() < 2 || arg[0] != '-') {
      positional.push_back(arg);
      continue;
    }
    options_seen = true;
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    std::string_view value;
    bool has_value = false;
    const OptionDef* option = find_option(arg, value, has_value);
    if (option == nullptr) return option_error(concat({"unknown option ", quoted(arg)}));
    const std::string name = std::string("--").append(option->long_name);
    if (option->value_name.empty() && has_value) {
      return option_error(concat({"option ", quoted(name), " takes no value"}));
    }
    if (!option->value_name.empty() && !has_value) {
      if (i + 1 >= argc) return option_error(concat({"option ", quoted(name), " needs a value"}));
      value = argv[++i];
    }
    if (!option->value_name.empty()) {
      if (std::find(valued.begin(), valued.end(), option->id) != valued.end()) {
        return option_error(given_twice(*option));
      }
      valued.push_back(option->id);
    }
    std::string error;
    if (!apply_option(option->id, value, parsed, zoned, error)) return option_error(error);
    if (parsed.command != Command::CONVERT) return parsed;
  }
  if (std::string error;
      !place_zoned(zoned.from, zoned.from_text, parsed.options.selection.window.from,
                   parsed.options, error) ||
      !place_zoned(zoned.to, zoned.to_text, parsed.options.selection.window.to, parsed.options,
                   error)) {
    return option_error(error);
  }
  if (positional.size() < 2) {
    if (!options_seen) {
      parsed.command = Command::CLASSIC_USAGE;
      return parsed;
    }
    if (positional.empty()) return option_error("missing FORMAT and LOGFILE");
    return option_error("missing LOGFILE");
  }
  if (std::count(positional.begin() + 1, positional.end(), STANDARD_INPUT) > 1) {
    return option_error("standard input (-) can be read only once");
  }
  // An unknown word is reported after the options are checked, as if it were the first format.
  const FormatEntry* format = find_format(positional[0]);
  parsed.command = format != nullptr ? Command::CONVERT : Command::UNKNOWN_FORMAT;
  if (format != nullptr) parsed.options.format = format;
  if (format == nullptr && options_seen) {
    // With options, the message names every format, and the order when it is the other way.
    parsed.error = concat({"unknown format ", quoted(positional[0]), " (", format_words(), ")"});
    for (std::size_t i = 1; i < positional.size(); ++i) {
      if (const FormatEntry* other = find_format(positional[i]); other != nullptr) {
        parsed.error =
            concat({"unknown format ", quoted(positional[0]), ": the format comes before the log (",
                    other->word, " ", positional[0], ")"});
        break;
      }
    }
  }
  parsed.options.log_paths.assign(positional.begin() + 1, positional.end());
  parsed.options.classic = !options_seen && positional.size() == 2;
  if (std::string error; !check_combination(parsed.options, error)) return option_error(error);
  return parsed;
}

// Where the help's descriptions of formats and options start, after the names.
constexpr std::string_view kHelpIndent = "                      ";

std::string help_text() {
  std::string text =
      "Usage: KorvexLogDump [OPTION]... FORMAT LOGFILE...\n"
      "Turns the data log of a flight-instrument display into a table, one row per logged\n"
      "record, oldest first.\n"
      "\n"
      "FORMAT (any case):\n";
  std::string words;
  for (const FormatEntry& f : output_formats()) {
    words += concat({words.empty() ? "" : ", ", f.word});
    if (f.help.empty()) continue;
    words.resize(std::max<std::size_t>(words.size() + 1, 22), ' ');
    std::string_view help = f.help;
    for (std::string_view indent = words; !help.empty(); indent = kHelpIndent) {
      const std::size_t end = std::min(help.find('\n'), help.size());
      text += concat({"  ", indent, help.substr(0, end), "\n"});
      help.remove_prefix(std::min(end + 1, help.size()));
    }
    words.clear();
  }
  text +=
      "LOGFILE is the instrument's log file; - reads standard input, which is copied first when\n"
      "it is a pipe, as is a LOGFILE that is a pipe or FIFO (<(zcat log.rec.gz)). Several\n"
      "LOGFILEs, such as downloads of one instrument made on different days, are read as one\n"
      "log: their records oldest first, each record that more than one of them holds once;\n"
      "logs of two instruments over the same hours are refused. A LOGFILE may be a logbook\n"
      "of sqlite, read as the downloads it was made of (with the profile of its latest\n"
      "import unless --profile is given).\n"
      "\n"
      "Options:\n";
  for (const OptionDef& o : kOptions) {
    std::string names(4, ' ');
    if (o.short_name != 0) names = {'-', o.short_name, ',', ' '};
    names.append("--").append(o.long_name);
    if (!o.value_name.empty()) names.append(" ").append(o.value_name);
    names.resize(std::max<std::size_t>(names.size() + 1, 22), ' ');
    text.append("  ").append(names).append(o.help).append("\n");
  }
  text +=
      "  --                    end of the options\n"
      "\n"
      "A flight is a power-on session of the instrument, ground runs included: a record more\n"
      "than the gap after the one before, or earlier than it, starts a new flight. Flights\n"
      "are numbered 1, 2, ... in the order the table prints them.\n"
      "TIME, on the instrument's clock, is one of\n"
      "  2026-06-14                a whole day\n"
      "  2026-06-14 15:00          a whole minute (also 2026-06-14T15:00)\n"
      "  2026-06-14 15:00:16       a second (also 2026-06-14T15:00:16)\n"
      "  06/14/2026 15:00[:16]     as the classic table prints it\n"
      "  834764416                 the clock's seconds\n"
      "or, with --utc-offset, in UTC or a zone: 2026-06-14T13:00Z, 2026-06-14T15:00+02:00.\n"
      "Column names are those of the csv header (telm1_RPM, gps_hdg), classic\n"
      "labels (RPM: both engine monitors' RPM), blocks (base, telm1, telm2, attitude, gps),\n"
      "the profile's labels, and egt1, cht1, egt2, cht2 for an engine's cylinders; in any\n"
      "case (rpm), as ranges (tc1-tc6, telm1_tc7-telm1_tc12) or patterns (telm1_tc*, *oil*).\n"
      "With --flights, --columns picks the flights table's columns (max_alt,*fuel*).\n"
      "The aircraft profile, a TOML file (--profile-template shows one), gives the units,\n"
      "cylinders, limits, running RPM and airborne speed of the aircraft; without --profile\n"
      "the tool reads $XDG_CONFIG_HOME/korvexlogdump/profile.toml (or\n"
      "~/.config/korvexlogdump/profile.toml) when it exists.\n"
      "\n"
      "The table goes to standard output, or with -o to FILE: written under no name in FILE's\n"
      "folder and named only when complete, so that a failed run leaves nothing. --split\n"
      "names a flight's file by its start (2026-06-14_121323.csv; a flight without a date\n"
      "flight-NNN_SECONDS.csv) and holds it as flight 1, so that the folder can keep the\n"
      "flights of every download: a file that is there with the same content is left, one\n"
      "that differs is kept and reported (--force replaces it). Progress, warnings, errors\n"
      "and a summary go to standard error.\n"
      "\n"
      "Exit status:\n"
      "  0  the table was written\n"
      "  1  the command line is wrong, or names a flight or a column the log does not have,\n"
      "     or the FILE of -o exists (without --force), or the FILE of sqlite is no logbook,\n"
      "     or the profile cannot be read or is wrong, or the logs are two instruments'\n"
      "     or the profile and a logbook name two aircraft\n"
      "  2  the log file cannot be opened (or standard input cannot be copied)\n"
      "  3  the file holds no valid record (or is a SQLite database but no logbook)\n"
      "  4  a seek in the log file failed (it is a device that cannot seek)\n"
      "  5  the format word is unknown\n"
      "  6  closing the log file failed\n"
      "  7  reading the log failed, or the log changed while it was being read\n"
      "  8  writing the table failed (the files of --split finished before are kept)\n"
      "\n"
      "Examples:\n"
      "  KorvexLogDump csv Korvex.rec > flights.csv\n"
      "  KorvexLogDump --flights space Korvex.rec\n"
      "  KorvexLogDump --flight 2 --utc-offset -05:00 gpx Korvex.rec > flight2.gpx\n"
      "  KorvexLogDump --flight last --columns alt,RPM,telm1 csv Korvex.rec > last.csv\n"
      "  KorvexLogDump --from '2026-06-14 13:00' --to 2026-06-14 --split flights csv Korvex.rec\n"
      "  KorvexLogDump --split flights csv new-download.rec\n"
      "  KorvexLogDump -o history.csv csv May.rec June.rec\n"
      "  KorvexLogDump -o logbook.db sqlite new-download.rec\n"
      "  KorvexLogDump -o history.html html logbook.db\n"
      "  KorvexLogDump --profile Korvex.profile.toml html Korvex.rec > report.html\n"
      "  KorvexLogDump --describe space Korvex.rec\n"
      "  KorvexLogDump -q tab - < Korvex.rec | head -n 3\n";
  return text;
}

}  // namespace korvex
