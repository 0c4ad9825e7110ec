// The command line: KorvexLogDump [OPTION]... FORMAT LOGFILE..., parsed into one options value.
// Options may stand before or after the format word; "--" ends them. Two arguments and no
// option is the classic command line, with its classic usage text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "output/registry.h"
#include "selection/record_filter.h"

namespace korvex {

// The LOGFILE that stands for standard input.
inline constexpr std::string_view STANDARD_INPUT = "-";
// The FILE of -o that stands for standard output.
inline constexpr std::string_view STANDARD_OUTPUT = "-";

struct Options {
  const FormatEntry* format = &output_formats().front();
  std::vector<std::string> log_paths;  // one or more; "-" at most once
  bool classic = false;                // FORMAT LOGFILE and no option: the classic messages
  bool merge_instruments = false;      // --merge-instruments: logs of two instruments read as one
  bool quiet = false;                  // no progress texts and no dots
  bool flights_table = false;          // --flights: a row per flight
  Selection selection;                 // --flight, --from, --to, --gap
  bool columns_given = false;          // --columns LIST, checked against the log's sections
  std::string columns;
  std::string split_dir;        // --split DIR; empty: standard output
  std::string output_path;      // -o FILE; empty: standard output
  bool force = false;           // -f: replace the file of -o, and files of --split that differ
  std::int32_t utc_offset = 0;  // --utc-offset: seconds the instrument's clock runs ahead of UTC
  bool utc_offset_given = false;
  bool describe = false;     // --describe: the columns instead of the records
  bool findings = false;     // --findings: the findings instead of the records
  bool cruise = false;       // --cruise: the cruise segments instead of the records
  bool trends = false;       // --trends: a row per flight with its cruise figures and baselines
  bool calibrated = false;   // --calibrated: csv and tsv show calibrated values
  std::string profile_path;  // --profile FILE
  bool no_profile = false;   // --no-profile
  Profile profile;           // the aircraft profile read, or every default
};

enum class Command {
  CONVERT,           // options hold what to do
  HELP,              // the help text, status 0
  VERSION,           // the version, status 0
  PROFILE_TEMPLATE,  // the profile template, status 0
  CLASSIC_USAGE,     // the classic usage text, status 1
  UNKNOWN_FORMAT,    // an unknown format word, status 5: the classic message, or with options
                     // `error` names the formats
  OPTION_ERROR,      // `error` says what is wrong, status 1
};

struct ParsedCommandLine {
  Command command = Command::CONVERT;
  Options options;
  std::string error;
};

ParsedCommandLine parse_command_line(int argc, const char* const* argv);

// The help text, for standard output.
std::string help_text();

}  // namespace korvex
