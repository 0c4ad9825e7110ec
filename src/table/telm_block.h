// The engine-monitor block: 33 columns for one engine-monitor section (id 1 or 2). Its body is
// 63 bytes long in layouts 2 and 3 (the long form) and 56 bytes in layouts 0 and 1 (the short
// form, which has no rch1, rch2, rot and rop and ends with a spare byte).
#pragma once

#include "io/out_buffer.h"
#include "record/record_stream.h"
#include "table/columns.h"

namespace korvex {

inline constexpr int TELM_COLUMNS = 33;

void print_telm_header(OutBuffer& out, DelimiterMode mode);

// Writes the 33 cells at d and returns their end. p stands on the section's id byte when
// present; afterwards just behind the section.
char* print_telm_block(char* d, DelimiterMode mode, Cursor& p, bool present, RecordLayout revision);

}  // namespace korvex
