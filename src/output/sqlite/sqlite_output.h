// The sqlite format: a SQLite database of the records, typed, for queries. A table `records`:
// time (ISO 8601 on the instrument's clock, NULL for raw-clock records), clock (the raw
// timestamp), layout, flight, then a column per csv name, INTEGER or REAL, NULL where the record
// lacks the value, and record_key (a 64-bit hash of the layout and the payload) with
// UNIQUE(clock, record_key); indexes on clock and flight. A table `columns` describes each
// column of `records` (as --describe does: name, block, classic_label, type, unit, label). The
// database is written under a hidden name in its folder and named when complete.
#pragma once

#include <memory>

#include "output/log_output.h"
#include "output/registry.h"

namespace korvex {

std::unique_ptr<LogOutput> make_sqlite(const OutputSetup& setup);

// The schema version written to PRAGMA user_version.
inline constexpr int LOGBOOK_VERSION = 1;

}  // namespace korvex
