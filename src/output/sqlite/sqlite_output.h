// The sqlite format: a logbook, a SQLite database of the records, typed, for queries, that
// every later run adds to.
// - `records`: time (ISO 8601 on the instrument's clock, NULL for raw-clock records), clock (the
//   raw timestamp), layout, flight, then a column per csv name, INTEGER or REAL, NULL where the
//   record lacks the value, and record_key (a 64-bit hash of the layout and the payload) with
//   UNIQUE(clock, record_key); indexes on clock and flight.
// - `packets`: each record as logged, by the rowid of its row in records.
// - `flights`: the flights table's figures per flight, typed; start and end as ISO text and as
//   the raw clock (start_clock, end_clock); durations in seconds.
// - `findings` (with a profile that gives limits): the findings table's rows, typed.
// - `sources`: a row per log file imported: name, size, sha256, imported (UTC), records_read,
//   records_added, first and last time.
// - `columns`: each column of `records` as --describe gives it.
// - `aircraft`: whose logbook it is; `imports`: a row per run, with its profile and gap.
// The records the logbook holds and those of the new logs are read as several logs are (a
// record both hold is taken once), and flights, findings and cruise are made anew from the
// first flight the new records touch (OutputSetup::recut_from), or over the whole history.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "output/flights/flight_columns.h"

#include "output/format/format.h"
#include "output/format/log_output.h"

namespace korvex {

std::unique_ptr<LogOutput> make_sqlite(const OutputSetup& setup);

// The names of the columns of the logbook's table flights for the flights table's `columns`.
std::vector<std::string> logbook_flight_names(const std::vector<FlightColumn>& columns);

}  // namespace korvex
