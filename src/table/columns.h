// The cell printers of the table. Every cell is its text followed by the mode's separator, the
// last cell of a line too. In DELIM_SPACE mode the text is right-aligned in the column's width
// (a minimum: nothing is cut) and there is no separator; the other modes apply no width.
//
// A field printer takes the record cursor and a presence flag: when present it reads its value at
// the cursor and moves the cursor past it; when absent it prints 0 in its own format and reads
// nothing. The printers are inline: a row of a hundred cells is written without a call per cell.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#include "io/little_endian.h"
#include "io/out_buffer.h"

namespace korvex {

enum DelimiterMode : int { DELIM_TAB = 0, DELIM_COMMA = 1, DELIM_SPACE = 2 };

inline constexpr std::string_view delimiter_text[] = {"\t", ",", ""};

using Cursor = const std::uint8_t*;

// One cell of the given text by the cell rule.
void put_cell(OutBuffer& out, DelimiterMode mode, int width, std::string_view text);

inline void print_label(OutBuffer& out, std::string_view text, DelimiterMode mode, int width) {
  put_cell(out, mode, width, text);
}

// The magnitude of the single-precision number whose little-endian image starts at p (the sign
// bit is ignored); moves p past the four bytes.
float decode_packed_float(Cursor& p);

// A packed single-precision value with five decimals; a present value is negated when negate.
void print_coordinate(OutBuffer& out, Cursor& p, DelimiterMode mode, int width, bool present,
                      bool negate);

namespace cell {

// The widest cell text of the integer and scaled printers, and room for padding to any column
// width (at most 21) in front of it.
inline constexpr std::size_t kMaxText = 24;
inline constexpr std::size_t kPadRoom = 32;
inline constexpr std::size_t kReserve = kPadRoom + kMaxText + 1;
inline constexpr char kSpaces[kPadRoom + 1] = "                                ";

inline unsigned digit_count(std::uint64_t v) {
  unsigned n = 1;
  for (; v >= 10000; v /= 10000) n += 4;
  if (v >= 1000) return n + 3;
  if (v >= 100) return n + 2;
  if (v >= 10) return n + 1;
  return n;
}

// Writes the decimal digits of v so that they end just before `end`.
inline void digits_before(char* end, std::uint64_t v) {
  do {
    *--end = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
}

// Writes a cell of n text characters made by fill(at): padding, text, separator.
template <typename Fill>
inline void emit(OutBuffer& out, DelimiterMode mode, int width, std::size_t n, Fill&& fill) {
  char* const start = out.reserve(kReserve);
  char* d = start;
  if (mode == DELIM_SPACE && static_cast<std::size_t>(width) > n) {
    std::memcpy(d, kSpaces, kPadRoom);
    d += static_cast<std::size_t>(width) - n;
  }
  fill(d);
  d += n;
  if (mode != DELIM_SPACE) *d++ = mode == DELIM_TAB ? '\t' : ',';
  out.commit(static_cast<std::size_t>(d - start));
}

inline void unsigned_cell(OutBuffer& out, std::uint64_t v, DelimiterMode mode, int width) {
  const unsigned n = digit_count(v);
  emit(out, mode, width, n, [&](char* d) { digits_before(d + n, v); });
}

inline void signed_cell(OutBuffer& out, std::int64_t v, DelimiterMode mode, int width) {
  const bool negative = v < 0;
  const std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
  const unsigned n = digit_count(magnitude) + (negative ? 1 : 0);
  emit(out, mode, width, n, [&](char* d) {
    *d = '-';
    digits_before(d + n, magnitude);
  });
}

// The magnitude's digits with the decimal point set `decimals` places from the right, a leading
// 0 where needed and a minus sign when negative: exactly what printf shows for the stored
// integer divided by 10 or 100.
inline std::size_t scaled_length(std::uint64_t magnitude, unsigned decimals, bool negative) {
  const unsigned digits = digit_count(magnitude);
  return (negative ? 1 : 0) + 1 + (digits > decimals ? digits : decimals + 1);
}

inline void scaled_before(char* end, std::uint64_t magnitude, unsigned decimals, bool negative) {
  for (unsigned i = 0; i < decimals; ++i) {
    *--end = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  }
  *--end = '.';
  digits_before(end, magnitude);
  if (negative) {
    end -= digit_count(magnitude);
    *--end = '-';
  }
}

inline void scaled_cell(OutBuffer& out, std::int64_t v, unsigned decimals, DelimiterMode mode,
                        int width) {
  const bool negative = v < 0;
  const std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
  const std::size_t n = scaled_length(magnitude, decimals, negative);
  emit(out, mode, width, n, [&](char* d) { scaled_before(d + n, magnitude, decimals, negative); });
}

inline std::uint8_t take_u8(Cursor& p) { return *p++; }
inline std::uint16_t take_u16(Cursor& p) {
  const std::uint16_t v = le_u16(p);
  p += 2;
  return v;
}

}  // namespace cell

// Integer cells that are not read from the cursor.
inline void print_unsigned(OutBuffer& out, std::uint64_t value, DelimiterMode mode, int width) {
  cell::unsigned_cell(out, value, mode, width);
}
inline void print_signed(OutBuffer& out, std::int64_t value, DelimiterMode mode, int width) {
  cell::signed_cell(out, value, mode, width);
}

inline void print_s8(OutBuffer& out, Cursor& p, DelimiterMode mode, int width, bool present) {
  cell::signed_cell(out, present ? static_cast<std::int8_t>(cell::take_u8(p)) : 0, mode, width);
}
inline void print_s8_tenths(OutBuffer& out, Cursor& p, DelimiterMode mode, int width,
                            bool present) {
  cell::scaled_cell(out, present ? static_cast<std::int8_t>(cell::take_u8(p)) : 0, 1, mode,
                    width);
}
inline void print_u8(OutBuffer& out, Cursor& p, DelimiterMode mode, int width, bool present) {
  cell::unsigned_cell(out, present ? cell::take_u8(p) : 0U, mode, width);
}
inline void print_u8_tenths(OutBuffer& out, Cursor& p, DelimiterMode mode, int width,
                            bool present) {
  cell::scaled_cell(out, present ? cell::take_u8(p) : 0, 1, mode, width);
}
inline void print_s16(OutBuffer& out, Cursor& p, DelimiterMode mode, int width, bool present) {
  cell::signed_cell(out, present ? static_cast<std::int16_t>(cell::take_u16(p)) : 0, mode, width);
}
inline void print_u16(OutBuffer& out, Cursor& p, DelimiterMode mode, int width, bool present) {
  cell::unsigned_cell(out, present ? cell::take_u16(p) : 0U, mode, width);
}
inline void print_s16_tenths(OutBuffer& out, Cursor& p, DelimiterMode mode, int width,
                             bool present) {
  cell::scaled_cell(out, present ? static_cast<std::int16_t>(cell::take_u16(p)) : 0, 1, mode,
                    width);
}
inline void print_u16_tenths(OutBuffer& out, Cursor& p, DelimiterMode mode, int width,
                             bool present) {
  cell::scaled_cell(out, present ? cell::take_u16(p) : 0, 1, mode, width);
}
inline void print_u16_hundredths(OutBuffer& out, Cursor& p, DelimiterMode mode, int width,
                                 bool present) {
  cell::scaled_cell(out, present ? cell::take_u16(p) : 0, 2, mode, width);
}
inline void print_s32(OutBuffer& out, Cursor& p, DelimiterMode mode, int width, bool present) {
  std::int32_t value = 0;
  if (present) {
    value = le_s32(p);
    p += 4;
  }
  cell::signed_cell(out, value, mode, width);
}

// Unsigned 8-bit seconds, then signed 16-bit minutes, shown as " %3d:%02u" in every mode.
inline void print_min_sec(OutBuffer& out, Cursor& p, DelimiterMode mode, bool present) {
  unsigned seconds = 0;
  int minutes = 0;
  if (present) {
    seconds = cell::take_u8(p);
    minutes = static_cast<std::int16_t>(cell::take_u16(p));
  }
  const bool negative = minutes < 0;
  const auto magnitude = static_cast<unsigned>(negative ? -minutes : minutes);
  const unsigned minute_chars = cell::digit_count(magnitude) + (negative ? 1 : 0);
  const unsigned minute_field = minute_chars > 3 ? minute_chars : 3;
  const unsigned second_digits = seconds < 10 ? 2 : cell::digit_count(seconds);
  const std::size_t n = 1 + minute_field + 1 + second_digits;
  cell::emit(out, mode, 0, n, [&](char* d) {
    std::memcpy(d, cell::kSpaces, 4);
    char* minutes_end = d + 1 + minute_field;
    cell::digits_before(minutes_end, magnitude);
    if (negative) minutes_end[-static_cast<int>(minute_chars)] = '-';
    *minutes_end = ':';
    d[n - 2] = '0';  // a one-digit seconds value gets its leading zero
    cell::digits_before(d + n, seconds);
  });
}

}  // namespace korvex
