// A finding: a stretch of a flight in which a limit of the profile was exceeded, as numbers.
#pragma once

#include <cstdint>
#include <vector>

#include "fields/blocks.h"
#include "record/layouts.h"

namespace korvex {

enum class FindingKind : std::uint8_t {
  ABOVE_MAX,    // a column above its max
  BELOW_MIN,    // a column below its min
  EGT_SPREAD,   // an engine's EGTs further apart than its egt_spread_max
  CHT_COOLING,  // a cylinder's CHT falling faster than its engine's cht_cooling_max a minute
  DRIFT,        // a cruise figure away from its baseline in flights in a row (see trends.h)
};
inline constexpr std::size_t FINDING_KINDS = 5;

struct Finding {
  std::int64_t flight = 0;
  std::uint32_t first_time = 0, last_time = 0;
  RecordLayout first_layout = 0, last_layout = 0;
  FindingKind kind = FindingKind::ABOVE_MAX;
  // The column it concerns, whose chart shows it: its own; for a spread, the engine's first EGT.
  ColumnRef column;
  int engine = -1;  // the engine (0 or 1) of its column, or -1
  double limit = 0;
  double peak = 0;  // the highest value above max, lowest below min, largest spread or drop
  int order = 0;    // of its rule in the profile, for findings that start together
  // Of a drift: its first flight's cruise segment is the finding's time; the figure is its
  // column's, or (deviation) a cylinder's less the mean of its engine's; `limit` is the bound
  // passed, `peak` the value furthest from the median; the baseline at the first flight; the
  // figure in each flight of the row.
  bool deviation = false;
  std::int64_t flight_id = 0;
  double baseline_median = 0, baseline_iqr = 0;
  int baseline_flights = 0;
  std::vector<double> values;

  std::uint32_t seconds() const { return last_time - first_time + 1; }
};

}  // namespace korvex
