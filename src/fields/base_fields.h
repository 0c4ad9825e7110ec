// The base payload: 24 bytes of flight data at the start of every record's payload. The Time
// column, made from the record's timestamp, comes before them in the table.
#pragma once

#include "fields/field.h"

namespace korvex {

inline constexpr std::string_view TIME_LABEL = "Time";
inline constexpr int TIME_WIDTH = 21;

// clang-format off
inline constexpr Field BASE_FIELDS[] = {
    {"alt", 7, 0, Storage::S32},
    {"baro", 5, 4, Storage::S16},
    {"ASI", 4, 6, Storage::S16},
    {"TAS", 4, 8, Storage::S16},
    {"VSI", 5, 10, Storage::S16},
    {"g-s", 5, 12, Storage::S16, 1},
    {"rotor", 6, 14, Storage::ROTOR},
    {"m-v", 5, 16, Storage::U8, 1},
    {"b-v", 5, 17, Storage::U8, 1},
    {"amps", 6, 18, Storage::S16, 1},
    {"AOA", 6, 20, Storage::S16},
    {"OAT", 4, 22, Storage::S16},
};
// clang-format on

}  // namespace korvex
