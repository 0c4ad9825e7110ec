#include "cli/options.h"

#include <algorithm>
#include <vector>

namespace korvex {

namespace {

struct OptionSpec {
  char short_name;  // 0 when the option has only its long name
  std::string_view long_name;
  std::string_view value_name;  // empty when the option takes no value
  std::string_view help;
};

constexpr OptionSpec kOptions[] = {
    {'q', "quiet", "", "no progress texts and no dots; warnings, errors and the summary stay"},
    {'h', "help", "", "show this help and exit"},
    {'V', "version", "", "show the version and exit"},
};

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

const OptionSpec* find_option(std::string_view arg, std::string_view& value, bool& has_value) {
  has_value = false;
  if (arg.size() == 2 && arg[0] == '-' && arg[1] != '-') {
    for (const OptionSpec& o : kOptions) {
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
  for (const OptionSpec& o : kOptions) {
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
    const OptionSpec* option = find_option(arg, value, has_value);
    if (option == nullptr) return option_error("unknown option '" + std::string(arg) + "'");
    const std::string name = std::string("--").append(option->long_name);
    if (option->value_name.empty() && has_value) {
      return option_error("option '" + name + "' takes no value");
    }
    if (!option->value_name.empty() && !has_value) {
      if (i + 1 >= argc) return option_error("option '" + name + "' needs a value");
      value = argv[++i];
    }
    if (option->long_name == "help") {
      parsed.command = Command::HELP;
      return parsed;
    }
    if (option->long_name == "version") {
      parsed.command = Command::VERSION;
      return parsed;
    }
    if (option->long_name == "quiet") parsed.options.quiet = true;
  }
  if (positional.size() != 2) {
    if (!options_seen) {
      parsed.command = Command::CLASSIC_USAGE;
      return parsed;
    }
    if (positional.empty()) return option_error("missing FORMAT and LOGFILE");
    if (positional.size() == 1) return option_error("missing LOGFILE");
    return option_error("unexpected argument '" + std::string(positional[2]) + "'");
  }
  parsed.command = Command::UNKNOWN_FORMAT;
  for (const FormatWord& f : FORMAT_WORDS) {
    if (equal_ignoring_case(positional[0], f.word)) {
      parsed.options.format = f.format;
      parsed.command = Command::CONVERT;
    }
  }
  parsed.options.log_path = positional[1];
  return parsed;
}

std::string help_text() {
  std::string text =
      "Usage: KorvexLogDump [OPTION]... FORMAT LOGFILE\n"
      "Turns the data log of a flight-instrument display into a table, one row per logged\n"
      "record, oldest first.\n"
      "\n"
      "FORMAT (any case):\n"
      "  tab, comma, space  the classic table: every cell followed by a tab or a comma, or\n"
      "                     fixed-width columns; Time as \"MM/DD/YYYY HH:MM:SS\"\n"
      "  csv, tsv           a table for analysis programs: unique column names, no separator\n"
      "                     after the last cell, Time as YYYY-MM-DDTHH:MM:SS, and an empty\n"
      "                     cell for a value the record does not carry\n"
      "LOGFILE is the instrument's log file; - reads standard input.\n"
      "\n"
      "Options:\n";
  for (const OptionSpec& o : kOptions) {
    std::string names(4, ' ');
    if (o.short_name != 0) names = {'-', o.short_name, ',', ' '};
    names.append("--").append(o.long_name);
    if (!o.value_name.empty()) names.append(" ").append(o.value_name);
    names.resize(std::max<std::size_t>(names.size() + 1, 19), ' ');
    text.append("  ").append(names).append(o.help).append("\n");
  }
  text +=
      "  --                 end of the options\n"
      "\n"
      "The table goes to standard output; progress, warnings, errors and a summary go to\n"
      "standard error.\n"
      "\n"
      "Exit status:\n"
      "  0  the table was written\n"
      "  1  the command line is wrong\n"
      "  2  the log file cannot be opened (or standard input cannot be copied)\n"
      "  3  the file holds no valid record\n"
      "  4  a seek in the log file failed (it is a pipe or a device)\n"
      "  5  the format word is unknown\n"
      "  6  closing the log file failed\n"
      "  7  reading the log failed, or the log changed while it was being read\n"
      "  8  writing the table failed\n"
      "\n"
      "Examples:\n"
      "  KorvexLogDump csv Korvex.rec > flight.csv\n"
      "  KorvexLogDump -q tab - < Korvex.rec | head -n 3\n";
  return text;
}

}  // namespace korvex
