// The attitude block: bank, pitch, slip, heading, yaw, G and the turn timer (section id 3).
#pragma once

#include "io/out_buffer.h"
#include "table/columns.h"

namespace korvex {

inline constexpr int ATTITUDE_COLUMNS = 7;

void print_attitude_header(OutBuffer& out, DelimiterMode mode);

// Writes the 7 cells at d and returns their end. p stands on the section's id byte when present;
// afterwards just behind the section.
char* print_attitude_block(char* d, DelimiterMode mode, Cursor& p, bool present);

}  // namespace korvex
