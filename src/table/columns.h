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

// Cells are written straight into the output buffer: a row reserves room for its widest form
// (ROW_ROOM) and every printer writes its cell at `d` and returns the end of what it wrote.
inline constexpr std::size_t CELL_ROOM =
    80;  // padding room (32) + the widest text (47) + separator
inline constexpr std::size_t ROW_ROOM = 8192;

// One cell of the given text by the cell rule (labels and the Time cell).
char* put_cell(char* d, DelimiterMode mode, int width, std::string_view text);

inline void print_label(OutBuffer& out, std::string_view text, DelimiterMode mode, int width) {
  char* const start = out.reserve(CELL_ROOM + text.size());
  out.commit(static_cast<std::size_t>(put_cell(start, mode, width, text) - start));
}

// The magnitude of the single-precision number whose little-endian image starts at p (the sign
// bit is ignored); moves p past the four bytes.
float decode_packed_float(Cursor& p);

// A packed single-precision value with five decimals; a present value is negated when negate.
char* print_coordinate(char* d, Cursor& p, DelimiterMode mode, int width, bool present,
                       bool negate);

namespace cell {

inline constexpr std::size_t kPadRoom = 32;  // more than any column width
inline constexpr char kSpaces[kPadRoom + 1] = "                                ";
inline constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

inline unsigned digit_count(std::uint64_t v) {
  if (v < 10) return 1;
  if (v < 100) return 2;
  if (v < 1000) return 3;
  if (v < 10000) return 4;
  if (v < 100000) return 5;
  unsigned n = 6;
  for (v /= 1000000; v != 0; v /= 10) ++n;
  return n;
}

// Writes the decimal digits of v so that they end just before `end`.
inline void digits_before(char* end, std::uint64_t v) {
  while (v >= 100) {
    const std::uint64_t pair = v % 100;
    v /= 100;
    end -= 2;
    std::memcpy(end, kDigitPairs + 2 * pair, 2);
  }
  if (v >= 10) {
    std::memcpy(end - 2, kDigitPairs + 2 * v, 2);
  } else {
    end[-1] = static_cast<char>('0' + v);
  }
}

// Writes a cell of n text characters made by fill(at): padding, text, separator.
template <typename Fill>
inline char* emit(char* d, DelimiterMode mode, int width, std::size_t n, Fill&& fill) {
  if (mode == DELIM_SPACE && static_cast<std::size_t>(width) > n) {
    std::memcpy(d, kSpaces, kPadRoom);
    d += static_cast<std::size_t>(width) - n;
  }
  fill(d);
  d += n;
  if (mode != DELIM_SPACE) *d++ = mode == DELIM_TAB ? '\t' : ',';
  return d;
}

inline char* unsigned_cell(char* d, std::uint64_t v, DelimiterMode mode, int width) {
  const unsigned n = digit_count(v);
  return emit(d, mode, width, n, [&](char* at) { digits_before(at + n, v); });
}

inline char* signed_cell(char* d, std::int64_t v, DelimiterMode mode, int width) {
  const bool negative = v < 0;
  const std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
  const unsigned n = digit_count(magnitude) + (negative ? 1 : 0);
  return emit(d, mode, width, n, [&](char* at) {
    *at = '-';
    digits_before(at + n, magnitude);
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
  if (negative) end[-1 - static_cast<int>(digit_count(magnitude))] = '-';
}

inline char* scaled_cell(char* d, std::int64_t v, unsigned decimals, DelimiterMode mode,
                         int width) {
  const bool negative = v < 0;
  const std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
  const std::size_t n = scaled_length(magnitude, decimals, negative);
  return emit(d, mode, width, n,
              [&](char* at) { scaled_before(at + n, magnitude, decimals, negative); });
}

inline std::uint8_t take_u8(Cursor& p) {
  return *p++;
}
inline std::uint16_t take_u16(Cursor& p) {
  const std::uint16_t v = le_u16(p);
  p += 2;
  return v;
}

}  // namespace cell

// An integer cell that is not read from the cursor.
inline char* print_unsigned(char* d, std::uint64_t value, DelimiterMode mode, int width) {
  return cell::unsigned_cell(d, value, mode, width);
}

inline char* print_s8(char* d, Cursor& p, DelimiterMode mode, int width, bool present) {
  return cell::signed_cell(d, present ? static_cast<std::int8_t>(cell::take_u8(p)) : 0, mode,
                           width);
}
inline char* print_s8_tenths(char* d, Cursor& p, DelimiterMode mode, int width, bool present) {
  return cell::scaled_cell(d, present ? static_cast<std::int8_t>(cell::take_u8(p)) : 0, 1, mode,
                           width);
}
inline char* print_u8(char* d, Cursor& p, DelimiterMode mode, int width, bool present) {
  return cell::unsigned_cell(d, present ? cell::take_u8(p) : 0U, mode, width);
}
inline char* print_u8_tenths(char* d, Cursor& p, DelimiterMode mode, int width, bool present) {
  return cell::scaled_cell(d, present ? cell::take_u8(p) : 0, 1, mode, width);
}
inline char* print_s16(char* d, Cursor& p, DelimiterMode mode, int width, bool present) {
  return cell::signed_cell(d, present ? static_cast<std::int16_t>(cell::take_u16(p)) : 0, mode,
                           width);
}
inline char* print_u16(char* d, Cursor& p, DelimiterMode mode, int width, bool present) {
  return cell::unsigned_cell(d, present ? cell::take_u16(p) : 0U, mode, width);
}
inline char* print_s16_tenths(char* d, Cursor& p, DelimiterMode mode, int width, bool present) {
  return cell::scaled_cell(d, present ? static_cast<std::int16_t>(cell::take_u16(p)) : 0, 1, mode,
                           width);
}
inline char* print_u16_tenths(char* d, Cursor& p, DelimiterMode mode, int width, bool present) {
  return cell::scaled_cell(d, present ? cell::take_u16(p) : 0, 1, mode, width);
}
inline char* print_u16_hundredths(char* d, Cursor& p, DelimiterMode mode, int width, bool present) {
  return cell::scaled_cell(d, present ? cell::take_u16(p) : 0, 2, mode, width);
}
inline char* print_s32(char* d, Cursor& p, DelimiterMode mode, int width, bool present) {
  std::int32_t value = 0;
  if (present) {
    value = le_s32(p);
    p += 4;
  }
  return cell::signed_cell(d, value, mode, width);
}

// Unsigned 8-bit seconds, then signed 16-bit minutes, shown as " %3d:%02u" in every mode.
inline char* print_min_sec(char* d, Cursor& p, DelimiterMode mode, bool present) {
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
  return cell::emit(d, mode, 0, n, [&](char* at) {
    std::memcpy(at, cell::kSpaces, 4);
    char* minutes_end = at + 1 + minute_field;
    cell::digits_before(minutes_end, magnitude);
    if (negative) minutes_end[-static_cast<int>(minute_chars)] = '-';
    *minutes_end = ':';
    at[n - 2] = '0';  // a one-digit seconds value gets its leading zero
    cell::digits_before(at + n, seconds);
  });
}

}  // namespace korvex
