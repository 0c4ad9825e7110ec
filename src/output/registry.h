// The formats of the tool, one entry each: the word that names it, the extension of the files
// --split writes, what it needs from a run, which options it refuses, the factory of its
// output and the notes it leaves on standard error at the end. A new format is a folder under
// output/ and an entry here (and its help, man page, completion and README).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "fields/column_set.h"
#include "io/messages.h"
#include "io/out_buffer.h"
#include "output/cells/cells.h"
#include "output/log_output.h"
#include "profile/profile.h"

namespace korvex {

struct FormatEntry;
class Logbook;

// What an output needs from a run, beside the records.
enum OutputNeeds : unsigned {
  // The facts of every flight (its last time, its fixes) before its first record: a flight
  // scan before the output's pass.
  NEEDS_FLIGHT_SCAN = 1U << 0,
  // How long the selected records span, from a flight scan when a time window is given.
  NEEDS_SPAN_OF_WINDOW = 1U << 1,
  // A flight without a GPS fix has nothing to write: --split writes no file for it.
  NEEDS_A_FIX = 1U << 2,
  // It writes the FILE of -o itself, a database: -o is needed, and no stream is made for it.
  NEEDS_DATABASE = 1U << 3,
};

// What a factory gets to make an output.
struct OutputSetup {
  OutBuffer& out;
  const FormatEntry& format;
  const ColumnSet& columns;
  bool flights_table;         // --flights
  bool findings;              // --findings
  std::int32_t utc_offset;    // seconds the instrument's clock runs ahead of UTC
  bool utc;                   // --utc-offset given: dated times in UTC
  std::string_view log_name;  // for a heading
  std::uint64_t seconds;      // about how long the records to come span
  const Profile& profile;
  std::string_view output_path;     // the FILE of -o, for an output that writes it itself
  bool replace = false;             // --force: it may replace an existing FILE
  const Logbook* history = nullptr;  // the logbook the run adds to (its records read first)
  SystemCalls* calls = nullptr;      // the seam through which files are written
  std::string_view flight_columns;  // --columns with --flights: the list, checked
};

// What a run did, for the notes at its end.
struct RunTotals {
  std::int64_t rows = 0;
  std::int64_t flights = 0;                 // with selected records
  std::int64_t positions_out_of_range = 0;  // GPS positions of the selected records
  FindingCount findings;                    // found by the output
  bool split = false;                       // one file per flight
};

struct FormatEntry {
  std::string_view word;       // matched without regard to case
  std::string_view extension;  // of the files --split writes
  DelimiterMode delimiter;     // of a table
  unsigned needs;              // OutputNeeds
  // Why --columns, --flights or --findings does not go with the format; empty: it does.
  std::string_view refuses_columns;
  std::string_view refuses_flights;
  std::string_view refuses_findings;
  std::unique_ptr<LogOutput> (*make)(const OutputSetup& setup);
  void (*notes)(const RunTotals& totals, Messages& messages);  // or nullptr
};

// Every format, in the order the help lists them.
std::span<const FormatEntry> output_formats();
// The format named `word` (in any case), or nullptr.
const FormatEntry* find_format(std::string_view word);

}  // namespace korvex
