// The cell printers of the table. Every cell is its text followed by the mode's separator, the
// last cell of a line too. In DELIM_SPACE mode the text is right-aligned in the column's width
// (a minimum: nothing is cut) and there is no separator; the other modes apply no width.
//
// A field printer takes the record cursor and a presence flag: when present it reads its value at
// the cursor and moves the cursor past it; when absent it prints 0 in its own format and reads
// nothing.
#pragma once

#include <cstdint>
#include <string_view>

#include "io/out_buffer.h"

namespace korvex {

enum DelimiterMode : int { DELIM_TAB = 0, DELIM_COMMA = 1, DELIM_SPACE = 2 };

inline constexpr std::string_view delimiter_text[] = {"\t", ",", ""};

using Cursor = const std::uint8_t*;

// One cell of the given text by the cell rule.
void put_cell(OutBuffer& out, DelimiterMode mode, int width, std::string_view text);

void print_label(OutBuffer& out, std::string_view text, DelimiterMode mode, int width);

void print_s8(OutBuffer& out, Cursor& p, DelimiterMode mode, int width, bool present);
void print_s8_tenths(OutBuffer& out, Cursor& p, DelimiterMode mode, int width, bool present);
void print_u8(OutBuffer& out, Cursor& p, DelimiterMode mode, int width, bool present);
void print_u8_tenths(OutBuffer& out, Cursor& p, DelimiterMode mode, int width, bool present);
void print_s16(OutBuffer& out, Cursor& p, DelimiterMode mode, int width, bool present);
void print_u16(OutBuffer& out, Cursor& p, DelimiterMode mode, int width, bool present);
void print_s16_tenths(OutBuffer& out, Cursor& p, DelimiterMode mode, int width, bool present);
void print_u16_tenths(OutBuffer& out, Cursor& p, DelimiterMode mode, int width, bool present);
void print_u16_hundredths(OutBuffer& out, Cursor& p, DelimiterMode mode, int width, bool present);
void print_s32(OutBuffer& out, Cursor& p, DelimiterMode mode, int width, bool present);
// Unsigned 8-bit seconds, then signed 16-bit minutes, shown as " %3d:%02u" in every mode.
void print_min_sec(OutBuffer& out, Cursor& p, DelimiterMode mode, bool present);
// A packed single-precision value with five decimals; a present value is negated when negate.
void print_coordinate(OutBuffer& out, Cursor& p, DelimiterMode mode, int width, bool present,
                      bool negate);

// The magnitude of the single-precision number whose little-endian image starts at p (the sign
// bit is ignored); moves p past the four bytes.
float decode_packed_float(Cursor& p);

// Integer cells that are not read from the cursor.
void print_unsigned(OutBuffer& out, std::uint64_t value, DelimiterMode mode, int width);
void print_signed(OutBuffer& out, std::int64_t value, DelimiterMode mode, int width);

}  // namespace korvex
