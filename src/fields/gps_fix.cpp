#include "fields/gps_fix.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace korvex {

std::optional<GpsFix> gps_fix(const Record& rec, FixKind* kind) {
  const std::optional<double> lat =
      read_value(rec, {SECTION_ID_GPS, known_field(SECTION_ID_GPS, "lat")});
  const std::optional<double> lon =
      read_value(rec, {SECTION_ID_GPS, known_field(SECTION_ID_GPS, "long")});
  // Zero as shown, with five decimals.
  constexpr double kZero = 0.000005;
  FixKind found = FixKind::FIX;
  if (!lat || !lon || (std::fabs(*lat) < kZero && std::fabs(*lon) < kZero)) {
    found = FixKind::NONE;
  } else if (!(std::fabs(*lat) <= 90) || !(std::fabs(*lon) <= 180)) {
    found = FixKind::OUT_OF_RANGE;
  }
  if (kind != nullptr) *kind = found;
  if (found != FixKind::FIX) return std::nullopt;
  return GpsFix{*lat, *lon};
}

double distance_nm(const GpsFix& a, const GpsFix& b) {
  constexpr double kEarthRadiusNm = 3440.065;  // the mean radius, 6371.0088 km
  constexpr double kRadians = std::numbers::pi / 180;
  const double dlat = (b.lat - a.lat) * kRadians;
  const double dlon = (b.lon - a.lon) * kRadians;
  const double half_dlat = std::sin(dlat / 2);
  const double half_dlon = std::sin(dlon / 2);
  const double h = half_dlat * half_dlat +
                   std::cos(a.lat * kRadians) * std::cos(b.lat * kRadians) * half_dlon * half_dlon;
  return 2 * kEarthRadiusNm * std::asin(std::min(1.0, std::sqrt(h)));
}

}  // namespace korvex
