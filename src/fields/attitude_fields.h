// The attitude section (id 3): bank, pitch, slip, heading, yaw, G and the turn timer.
#pragma once

#include "fields/field.h"

namespace korvex {

// clang-format off
inline constexpr Field ATTITUDE_FIELDS[] = {
    {"bank", 5, 0, Storage::S16},
    {"ptch", 5, 2, Storage::S16},
    {"slip", 5, 4, Storage::S16},
    {.label = "hdg", .width = 4, .offset = 6, .storage = Storage::S16, .analysis_name = "att_hdg"},
    {"yaw", 5, 8, Storage::U16},
    {"G", 4, 10, Storage::S8, 1},
    {"turn", 7, 11, Storage::MIN_SEC},  // its cell has one fixed form; the width is the label's
};
// clang-format on

}  // namespace korvex
