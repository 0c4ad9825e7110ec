// An engine-monitor section (ids 1 and 2): 33 columns. Its body is 63 bytes long in layouts 2
// and 3 (the long form) and 56 bytes in layouts 0 and 1 (the short form, which lacks rch1, rch2,
// rot and rop, holds ref and fail further forward and ends with a byte that no column shows).
#pragma once

#include "fields/field.h"

namespace korvex {

// clang-format off
inline constexpr Field TELM_FIELDS[] = {
    {"RPM", 5, 0, Storage::U16},
    {"rfl1", 5, 2, Storage::U16},
    {"rfl2", 5, 4, Storage::U16},
    {"ch1", 4, 6, Storage::U16},
    {"ch2", 4, 8, Storage::U16},
    {"flow", 5, 10, Storage::U16, 2},
    {"MAP", 5, 12, Storage::U16},
    {"fl1", 4, 14, Storage::U16},
    {"fl2", 4, 16, Storage::U16},
    {"flc", 6, 18, Storage::U16, 1},
    {"o-t", 4, 20, Storage::U16},
    {"oil-p", 6, 22, Storage::U16, 1},
    {"carb", 5, 24, Storage::S16},
    {"f-p", 5, 26, Storage::U8, 1},
    {"h2o", 4, 27, Storage::U8},
    {"tc1", 5, 28, Storage::U16},
    {"tc2", 5, 30, Storage::U16},
    {"tc3", 5, 32, Storage::U16},
    {"tc4", 5, 34, Storage::U16},
    {"tc5", 5, 36, Storage::U16},
    {"tc6", 5, 38, Storage::U16},
    {"tc7", 5, 40, Storage::U16},
    {"tc8", 5, 42, Storage::U16},
    {"tc9", 5, 44, Storage::U16},
    {"tc10", 5, 46, Storage::U16},
    {"tc11", 5, 48, Storage::U16},
    {"tc12", 5, 50, Storage::U16},
    {"rch1", 6, 52, Storage::U16, 0, 2},
    {"rch2", 6, 54, Storage::U16, 0, 2},
    {"rot", 6, 56, Storage::U16, 0, 2},
    {"rop", 6, 58, Storage::U16, 0, 2},
    {.label = "ref", .width = 6, .offset = 60, .storage = Storage::U16, .short_offset = 52},
    {.label = "fail", .width = 5, .offset = 62, .storage = Storage::U8, .short_offset = 54},
};
// clang-format on

}  // namespace korvex
