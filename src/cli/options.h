// The command line: KorvexLogDump [OPTION]... FORMAT LOGFILE, parsed into one options value.
// Options may stand before or after the format word; "--" ends them. Two arguments and no
// option is the classic command line, with its classic usage text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "selection/selection.h"

namespace korvex {

enum class Format { TAB, COMMA, SPACE, CSV, TSV, GPX, KML, HTML };

// The format words, matched without regard to case, and the extension of the files that
// --split writes in each format.
struct FormatWord {
  std::string_view word;
  Format format;
  std::string_view extension;
};
// clang-format off
inline constexpr FormatWord FORMAT_WORDS[] = {
    {"tab", Format::TAB, "tsv"},
    {"comma", Format::COMMA, "csv"},
    {"space", Format::SPACE, "txt"},
    {"csv", Format::CSV, "csv"},
    {"tsv", Format::TSV, "tsv"},
    {"gpx", Format::GPX, "gpx"},
    {"kml", Format::KML, "kml"},
    {"html", Format::HTML, "html"},
};
// clang-format on

// The format's word and extension.
const FormatWord& format_word(Format format);

// GPS tracks rather than tables.
constexpr bool is_track(Format format) {
  return format == Format::GPX || format == Format::KML;
}

// The LOGFILE that stands for standard input.
inline constexpr std::string_view STANDARD_INPUT = "-";

struct Options {
  Format format = Format::TAB;
  std::string log_path;
  bool quiet = false;          // no progress texts and no dots
  bool flights_table = false;  // --flights: a row per flight
  Selection selection;         // --flight, --from, --to, --gap
  bool columns_given = false;  // --columns LIST, checked against the log's sections
  std::string columns;
  std::string split_dir;        // --split DIR; empty: standard output
  std::int32_t utc_offset = 0;  // --utc-offset: seconds the instrument's clock runs ahead of UTC
};

enum class Command {
  CONVERT,         // options hold what to do
  HELP,            // the help text, status 0
  VERSION,         // the version, status 0
  CLASSIC_USAGE,   // the classic usage text, status 1
  UNKNOWN_FORMAT,  // the classic message for an unknown format word, status 5
  OPTION_ERROR,    // `error` says what is wrong, status 1
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
