// The GPS section (id 4): latitude, longitude (shown west-negative: the stored sign is ignored
// and the value negated), heading, ground speed, GPS altitude and, from layout 1 on, status,
// satellites and horizontal and vertical accuracy.
#pragma once

#include "fields/field.h"

namespace korvex {

// clang-format off
inline constexpr Field GPS_FIELDS[] = {
    {"lat", 10, 0, Storage::COORDINATE, COORDINATE_DECIMALS},
    {"long", 11, 4, Storage::COORDINATE, COORDINATE_DECIMALS, 0, true},
    {.label = "hdg", .width = 4, .offset = 8, .storage = Storage::S32, .analysis_name = "gps_hdg"},
    {"gs", 4, 12, Storage::S32},
    {"g-alt", 6, 16, Storage::S32},
    {"status", 7, 20, Storage::S8, 0, 1},
    {"sats", 5, 21, Storage::S8, 0, 1},
    {"hac", 5, 22, Storage::S8, 0, 1},
    {"vac", 5, 23, Storage::S8, 0, 1},
};
// clang-format on

}  // namespace korvex
