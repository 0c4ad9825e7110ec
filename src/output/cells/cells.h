// The cells of the tables. Every cell is its text followed by the mode's separator. In
// DELIM_SPACE mode the text is right-aligned in the column's width (a minimum: nothing is cut)
// and there is no separator; the other modes apply no width.
//
// Cells are written straight into the output buffer: a row reserves room for its widest form
// (row_room: CELL_ROOM for each of its cells) and every cell is written at `d`, returning the end
// of what it wrote. The writers
// are inline, so a row of a hundred cells is written without a call per cell.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#include "io/out_buffer.h"

// The cell writers are inlined into the block writers, whatever the compiler's inlining budget.
#define KORVEX_CELL_INLINE [[gnu::always_inline]] inline
#define KORVEX_LAMBDA_INLINE __attribute__((always_inline))

namespace korvex {

enum DelimiterMode : int { DELIM_TAB = 0, DELIM_COMMA = 1, DELIM_SPACE = 2 };

// The most a cell writes: padding room (32) + the widest text (47) + separator.
inline constexpr std::size_t CELL_ROOM = 80;

// The room a row of `cells` cells takes at most, line end included.
constexpr std::size_t row_room(std::size_t cells) {
  return cells * CELL_ROOM + 1;
}

// One cell of the given text (labels and the Time cell).
char* put_cell(char* d, DelimiterMode mode, int width, std::string_view text);

inline void print_label(OutBuffer& out, std::string_view text, DelimiterMode mode, int width) {
  char* const start = out.reserve(CELL_ROOM + text.size());
  out.commit(static_cast<std::size_t>(put_cell(start, mode, width, text) - start));
}

// A coordinate's magnitude with its five decimals, negative when `negative`: exactly what printf
// ("%.5f") shows for the single-precision value widened to double.
char* coordinate_cell(char* d, float magnitude, bool negative, DelimiterMode mode, int width);

namespace cell {

inline constexpr std::size_t kPadRoom = 32;  // more than any column width
inline constexpr char kSpaces[kPadRoom + 1] = "                                ";
inline constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

KORVEX_CELL_INLINE unsigned digit_count(std::uint64_t v) {
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
KORVEX_CELL_INLINE void digits_before(char* end, std::uint64_t v) {
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
KORVEX_CELL_INLINE char* emit(char* d, DelimiterMode mode, int width, std::size_t n, Fill&& fill) {
  if (mode == DELIM_SPACE && static_cast<std::size_t>(width) > n) {
    std::memcpy(d, kSpaces, kPadRoom);
    d += static_cast<std::size_t>(width) - n;
  }
  fill(d);
  d += n;
  if (mode != DELIM_SPACE) *d++ = mode == DELIM_TAB ? '\t' : ',';
  return d;
}

KORVEX_CELL_INLINE char* unsigned_cell(char* d, std::uint64_t v, DelimiterMode mode, int width) {
  const unsigned n = digit_count(v);
  return emit(d, mode, width, n, [&](char* at) KORVEX_LAMBDA_INLINE { digits_before(at + n, v); });
}

KORVEX_CELL_INLINE char* signed_cell(char* d, std::int64_t v, DelimiterMode mode, int width) {
  const bool negative = v < 0;
  const std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
  const unsigned n = digit_count(magnitude) + (negative ? 1 : 0);
  return emit(d, mode, width, n, [&](char* at) KORVEX_LAMBDA_INLINE {
    *at = '-';
    digits_before(at + n, magnitude);
  });
}

// The magnitude's digits with the decimal point set `decimals` places from the right, a leading
// 0 where needed and a minus sign when negative: exactly what printf shows for the stored
// integer divided by 10 or 100.
KORVEX_CELL_INLINE std::size_t scaled_length(std::uint64_t magnitude, unsigned decimals,
                                             bool negative) {
  const unsigned digits = digit_count(magnitude);
  return (negative ? 1 : 0) + 1 + (digits > decimals ? digits : decimals + 1);
}

KORVEX_CELL_INLINE void scaled_before(char* end, std::uint64_t magnitude, unsigned decimals,
                                      bool negative) {
  for (unsigned i = 0; i < decimals; ++i) {
    *--end = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  }
  *--end = '.';
  digits_before(end, magnitude);
  if (negative) end[-1 - static_cast<int>(digit_count(magnitude))] = '-';
}

KORVEX_CELL_INLINE char* scaled_cell(char* d, std::int64_t v, unsigned decimals, DelimiterMode mode,
                                     int width) {
  const bool negative = v < 0;
  const std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
  const std::size_t n = scaled_length(magnitude, decimals, negative);
  return emit(d, mode, width, n, [&](char* at) KORVEX_LAMBDA_INLINE {
    scaled_before(at + n, magnitude, decimals, negative);
  });
}

// An empty cell: the separator alone.
KORVEX_CELL_INLINE char* empty_cell(char* d, DelimiterMode mode) {
  *d++ = mode == DELIM_TAB ? '\t' : ',';
  return d;
}

// Minutes and seconds as " %3d:%02u" in every mode (no width applies).
KORVEX_CELL_INLINE char* min_sec_cell(char* d, int minutes, unsigned seconds, DelimiterMode mode) {
  const bool negative = minutes < 0;
  const auto magnitude = static_cast<unsigned>(negative ? -minutes : minutes);
  const unsigned minute_chars = digit_count(magnitude) + (negative ? 1 : 0);
  const unsigned lead = 1;
  const unsigned minute_field = minute_chars < 3 ? 3 : minute_chars;
  const unsigned second_digits = seconds < 10 ? 2 : digit_count(seconds);
  const std::size_t n = lead + minute_field + 1 + second_digits;
  return emit(d, mode, 0, n, [&](char* at) KORVEX_LAMBDA_INLINE {
    std::memcpy(at, kSpaces, 4);
    char* minutes_end = at + lead + minute_field;
    digits_before(minutes_end, magnitude);
    if (negative) minutes_end[-static_cast<int>(minute_chars)] = '-';
    *minutes_end = ':';
    at[n - 2] = '0';  // a one-digit seconds value gets its leading zero
    digits_before(at + n, seconds);
  });
}

}  // namespace cell

}  // namespace korvex
