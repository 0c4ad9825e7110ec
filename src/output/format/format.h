// What a format is to a run: the word that names it, the files --split writes, what it needs
// from a run beyond the records, which options it refuses and why, the factory of its output
// and the notes it leaves at the end. Each format's folder under output/ makes its output from
// an OutputSetup; the table of formats (output/registry.h) is the cli's alone.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "fields/column_set.h"
#include "io/messages.h"
#include "io/out_buffer.h"
#include "io/system_calls.h"
#include "output/cells/cells.h"
#include "output/cells/time_cell.h"
#include "output/format/log_output.h"
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
  // It writes the FILE of -o itself (a database), which it needs: no stream is made for it.
  WRITES_OUTPUT_FILE = 1U << 3,
  // The FILE of -o, when it is there, is a logbook that the run adds to: its records are read
  // first, as a log given before the others.
  ADDS_TO_OUTPUT_FILE = 1U << 4,
  // The size and SHA-256 of each log file read (worked out beside the run).
  NEEDS_LOG_DIGESTS = 1U << 5,
  // The phase of each record (held back until known): its figures and charts show phases.
  NEEDS_PHASES = 1U << 6,
  // It has a phase column, which --columns may choose (csv and tsv).
  TAKES_PHASE_COLUMN = 1U << 7,
};

// The options a format may refuse, in the order they are checked.
enum class Refused : std::uint8_t {
  COLUMNS,     // --columns
  FLIGHTS,     // --flights
  FINDINGS,    // --findings
  SPLIT,       // --split
  SELECTION,   // --flight, --from, --to
  UTC_OFFSET,  // --utc-offset
  DESCRIBE,    // --describe
  CALIBRATED,  // --calibrated
  CRUISE,      // --cruise
  TRENDS,      // --trends
};
inline constexpr std::size_t REFUSED_KINDS = 10;

// A refusal: the option, and why the format refuses it (after "does not go with FORMAT, ").
struct Refusal {
  Refused option;
  std::string_view why;
};

// What a factory gets to make an output.
struct OutputSetup {
  OutBuffer& out;
  const FormatEntry& format;
  const ColumnSet& columns;
  bool flights_table;         // --flights
  bool findings;              // --findings
  bool cruise;                // --cruise
  TimeZone zone;              // the clock of the dated times shown
  std::string_view log_name;  // for a heading
  const Profile& profile;
  std::string_view output_path;     // the FILE of -o, for an output that writes it itself
  bool replace = false;             // --force: it may replace an existing FILE
  Logbook* history = nullptr;       // the logbook the run adds to (its records read first)
  SystemCalls* calls = nullptr;     // the seam through which files are written
  std::string_view flight_columns;  // --columns with --flights: the list, checked
  bool calibrated = false;          // --calibrated: records show calibrated values
  std::uint32_t gap = 0;            // the gap that cuts flights
  // Adding to `history`: its flights from this clock on are cut anew (the records before it
  // are not read, their flights, findings and cruise kept); 0 with `recut` false: all of them.
  bool recut = false;
  std::uint32_t recut_from = 0;
  bool trends = false;  // --trends
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
  // What the help says of it, its lines apart; empty: it shares the next entry's words.
  std::string_view help;
  // Why it needs the FILE of -o (after "needs -o FILE: "); empty: it does not.
  std::string_view output_file;
  std::span<const Refusal> refuses;
  std::unique_ptr<LogOutput> (*make)(const OutputSetup& setup);
  void (*notes)(const RunTotals& totals, Messages& messages);  // or nullptr
  // What the closing summary counts of what it wrote: its rows, in words for one and for many
  // ("record", "records"); empty: the classic "Read N packets" summary.
  std::string_view row_word;
  std::string_view rows_word;

  // Why it refuses the option, or empty when it takes it.
  std::string_view refusal(Refused option) const {
    for (const Refusal& r : refuses) {
      if (r.option == option) return r.why;
    }
    return {};
  }
};

}  // namespace korvex
