// The "Time" cell of a row. Layouts 0 and 1 show the raw timestamp; layouts 2 and 3 show the
// calendar date and time that lie `timestamp` seconds after 2000-01-01 00:00:00 on the
// instrument's clock, with no time zone and no daylight-saving rule: in the classic table as
// "MM/DD/YYYY HH:MM:SS" in double quotes, in the analysis table as YYYY-MM-DDTHH:MM:SS.
#pragma once

#include <cstdint>
#include <string>

#include "output/cells/cells.h"
#include "record/layouts.h"

namespace korvex {

// Remembers the date of the last day formatted, so that consecutive rows of one day cost no
// calendar arithmetic.
struct TimeCellCache {
  std::int64_t day = -1;
  char year[4] = {};
  char month[2] = {};
  char mday[2] = {};
};

// Write the cell at d and return its end.
char* print_time_cell(char* d, DelimiterMode mode, std::uint32_t timestamp, RecordLayout revision,
                      TimeCellCache& cache);
char* print_iso_time_cell(char* d, DelimiterMode mode, std::uint32_t timestamp,
                          RecordLayout revision, TimeCellCache& cache);

// How a time is written: as the classic table's cell (in double quotes when dated), the same
// without the quotes, as the analysis table's (ISO 8601), or as ISO 8601 with a blank between
// date and time (2026-06-14 12:13:23), for reading. A raw count is the number in every form.
enum class TimeForm { CLASSIC, PLAIN, ISO, READABLE };

// The text of a Time cell alone.
std::string time_text(std::uint32_t timestamp, RecordLayout revision, TimeForm form);

}  // namespace korvex
