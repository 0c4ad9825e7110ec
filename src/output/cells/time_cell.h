// The "Time" cell of a row. Layouts 0 and 1 show the raw timestamp; layouts 2 and 3 show the
// calendar date and time that lie `timestamp` seconds after 2000-01-01 00:00:00 on the
// instrument's clock, with no time zone and no daylight-saving rule: in the classic table as
// "MM/DD/YYYY HH:MM:SS" in double quotes, in the analysis table as YYYY-MM-DDTHH:MM:SS.
#pragma once

#include <cstdint>
#include <string>

#include "output/cells/cells.h"
#include "record/layouts.h"
#include "record/timestamp.h"

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

// Which clock dated times are shown on: the instrument's, or with --utc-offset UTC, the
// instrument's time less the offset (in ISO 8601 with a Z, in the report with " UTC", in the
// classic forms as they are). Raw counts are never moved.
struct TimeZone {
  bool utc = false;
  std::int32_t offset = 0;  // seconds the instrument's clock runs ahead of UTC

  // The timestamp to show for a record's.
  std::uint32_t shown(std::uint32_t timestamp, RecordLayout revision) const {
    if (!utc || revision < FIRST_DATED_LAYOUT) return timestamp;
    const std::int64_t t = std::int64_t{timestamp} - offset;
    return static_cast<std::uint32_t>(t < 0 ? 0 : t > UINT32_MAX ? UINT32_MAX : t);
  }
};

// The text of a Time cell alone, on the clock `zone` gives.
std::string time_text(std::uint32_t timestamp, RecordLayout revision, TimeForm form,
                      const TimeZone& zone = {});

// Puts a Z at the end of the ISO cell (unpadded, with its separator) that ends at `end`: a time
// in UTC. Returns the cell's new end.
char* mark_utc(char* end);

}  // namespace korvex
