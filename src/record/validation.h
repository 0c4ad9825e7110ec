// Record validation: whether a packet body is a record of one of the four layouts.
#pragma once

#include <cstdint>

#include "record/record.h"

namespace korvex {

// Checks one packet body against the layouts 0 to 3 in order; true and `rec` filled when one
// matches (its payload then points into `body`).
bool validate_record(const std::uint8_t* body, std::uint32_t size, Record& rec);

}  // namespace korvex
