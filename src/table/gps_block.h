// The GPS block: latitude, longitude, heading, ground speed, GPS altitude and, from layout 1 on,
// status, satellites, horizontal and vertical accuracy (section id 4).
#pragma once

#include "io/out_buffer.h"
#include "record/record_stream.h"
#include "table/columns.h"

namespace korvex {

inline constexpr int GPS_COLUMNS = 9;

void print_gps_header(OutBuffer& out, DelimiterMode mode);

// Writes the 9 cells at d and returns their end. p stands on the section's id byte when
// present; afterwards just behind the section.
char* print_gps_block(char* d, DelimiterMode mode, Cursor& p, bool present, RecordLayout revision);

}  // namespace korvex
