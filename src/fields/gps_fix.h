// A GPS fix: a record whose GPS block is present and whose latitude and longitude are not both
// zero (a receiver without a fix writes zeros), with the coordinates as the table shows them.
#pragma once

#include <optional>

#include "fields/decode.h"

namespace korvex {

struct GpsFix {
  double lat;  // as shown: the stored magnitude
  double lon;  // as shown: west-negative
};

inline std::optional<GpsFix> gps_fix(const Record& rec) {
  const std::optional<double> lat = record_value(rec, SECTION_ID_GPS, GPS_FIELDS[0]);
  const std::optional<double> lon = record_value(rec, SECTION_ID_GPS, GPS_FIELDS[1]);
  // Zero as shown, with five decimals.
  constexpr double kZero = 0.000005;
  if (!lat || !lon || (*lat<kZero&& * lat> - kZero && *lon<kZero&& * lon> - kZero)) {
    return std::nullopt;
  }
  return GpsFix{*lat, *lon};
}

// The great-circle distance between two fixes, in nautical miles.
double distance_nm(const GpsFix& a, const GpsFix& b);

}  // namespace korvex
