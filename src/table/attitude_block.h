// The attitude block: bank, pitch, slip, heading, yaw, G and the turn timer (section id 3).
#pragma once

#include "io/out_buffer.h"
#include "table/columns.h"

namespace korvex {

inline constexpr int ATTITUDE_COLUMNS = 7;

void print_attitude_header(OutBuffer& out, DelimiterMode mode);

// p stands on the section's id byte when present; afterwards just behind the section.
void print_attitude_block(OutBuffer& out, DelimiterMode mode, Cursor& p, bool present);

}  // namespace korvex
