#include "fields/gps_fix.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace korvex {

double distance_nm(const GpsFix& a, const GpsFix& b) {
  constexpr double kEarthRadiusNm = 3440.065;  // the mean radius, 6371.0088 km
  constexpr double kRadians = std::numbers::pi / 180;
  const double dlat = (b.lat - a.lat) * kRadians;
  const double dlon = (b.lon - a.lon) * kRadians;
  const double h = std::sin(dlat / 2) * std::sin(dlat / 2) +
                   std::cos(a.lat * kRadians) * std::cos(b.lat * kRadians) * std::sin(dlon / 2) *
                       std::sin(dlon / 2);
  return 2 * kEarthRadiusNm * std::asin(std::min(1.0, std::sqrt(h)));
}

}  // namespace korvex
