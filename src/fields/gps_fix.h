// A GPS fix: a record whose GPS block is present and whose latitude and longitude are not both
// zero (a receiver without a fix writes zeros), with the coordinates as the table shows them. A
// position beyond ±90° of latitude or ±180° of longitude (or no number at all) is no place on
// the earth: it is no fix either, and is told apart so that it can be reported.
#pragma once

#include <optional>

#include "fields/value.h"

namespace korvex {

struct GpsFix {
  double lat;  // as shown: the stored magnitude
  double lon;  // as shown: west-negative
};

enum class FixKind { NONE, OUT_OF_RANGE, FIX };

// The record's fix; `kind` says why there is none.
std::optional<GpsFix> gps_fix(const Record& rec, FixKind* kind = nullptr);

// The great-circle distance between two fixes, in nautical miles.
double distance_nm(const GpsFix& a, const GpsFix& b);

}  // namespace korvex
