// The "Time" cell of a row. Layouts 0 and 1 show the raw timestamp; layouts 2 and 3 show the
// calendar date and time that lie `timestamp` seconds after 2000-01-01 00:00:00 as
// "MM/DD/YYYY HH:MM:SS" in double quotes, with no time zone and no daylight-saving rule.
#pragma once

#include <cstdint>

#include "output/table/cells.h"
#include "record/layouts.h"

namespace korvex {

// Remembers the date text of the last day formatted, so that consecutive rows of one day cost no
// calendar arithmetic.
struct TimeCellCache {
  std::int64_t day = -1;
  char date[11] = {};  // "MM/DD/YYYY"
};

// Writes the cell at d and returns its end.
char* print_time_cell(char* d, DelimiterMode mode, std::uint32_t timestamp, RecordLayout revision,
                      TimeCellCache& cache);

}  // namespace korvex
