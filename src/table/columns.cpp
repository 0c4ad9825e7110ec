#include "table/columns.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "io/little_endian.h"

namespace korvex {

namespace {

// Room for any cell text these printers make (a coordinate of up to 39 integer digits included).
constexpr std::size_t kCellText = 64;

// Room for any 64-bit integer in decimal, sign included.
constexpr std::size_t kIntegerText = 24;

std::size_t format_unsigned(char* text, std::uint64_t value) {
  return static_cast<std::size_t>(std::to_chars(text, text + kIntegerText, value).ptr - text);
}

std::size_t format_signed(char* text, std::int64_t value) {
  return static_cast<std::size_t>(std::to_chars(text, text + kIntegerText, value).ptr - text);
}

// The stored integer divided by 10^decimals with exactly that many decimals: its own digits with
// the decimal point set, a leading 0 where needed and a minus sign when negative.
std::size_t format_scaled(char* text, std::int64_t value, int decimals) {
  char digits[kIntegerText];
  const std::uint64_t magnitude =
      value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  std::size_t n = format_unsigned(digits, magnitude);
  const auto places = static_cast<std::size_t>(decimals);
  char* out = text;
  if (value < 0) *out++ = '-';
  if (n <= places) {
    *out++ = '0';
    *out++ = '.';
    for (std::size_t i = n; i < places; ++i) *out++ = '0';
    std::memcpy(out, digits, n);
    out += n;
  } else {
    std::memcpy(out, digits, n - places);
    out += n - places;
    *out++ = '.';
    std::memcpy(out, digits + n - places, places);
    out += places;
  }
  return static_cast<std::size_t>(out - text);
}

void signed_cell(OutBuffer& out, std::int64_t value, DelimiterMode mode, int width) {
  char text[kCellText];
  put_cell(out, mode, width, std::string_view(text, format_signed(text, value)));
}

void scaled_cell(OutBuffer& out, std::int64_t value, int decimals, DelimiterMode mode, int width) {
  char text[kCellText];
  put_cell(out, mode, width, std::string_view(text, format_scaled(text, value, decimals)));
}

std::uint8_t take_u8(Cursor& p) {
  return *p++;
}
std::uint16_t take_u16(Cursor& p) {
  const std::uint16_t v = le_u16(p);
  p += 2;
  return v;
}

}  // namespace

void put_cell(OutBuffer& out, DelimiterMode mode, int width, std::string_view text) {
  std::size_t pad = 0;
  if (mode == DELIM_SPACE && static_cast<std::size_t>(width) > text.size()) {
    pad = static_cast<std::size_t>(width) - text.size();
  }
  char* d = out.reserve(pad + text.size() + 1);
  std::memset(d, ' ', pad);
  std::memcpy(d + pad, text.data(), text.size());
  std::size_t n = pad + text.size();
  if (mode != DELIM_SPACE) d[n++] = mode == DELIM_TAB ? '\t' : ',';
  out.commit(n);
}

void print_label(OutBuffer& out, std::string_view text, DelimiterMode mode, int width) {
  put_cell(out, mode, width, text);
}

void print_unsigned(OutBuffer& out, std::uint64_t value, DelimiterMode mode, int width) {
  char text[kCellText];
  put_cell(out, mode, width, std::string_view(text, format_unsigned(text, value)));
}

void print_signed(OutBuffer& out, std::int64_t value, DelimiterMode mode, int width) {
  signed_cell(out, value, mode, width);
}

void print_s8(OutBuffer& out, Cursor& p, DelimiterMode mode, int width, bool present) {
  signed_cell(out, present ? static_cast<std::int8_t>(take_u8(p)) : 0, mode, width);
}

void print_s8_tenths(OutBuffer& out, Cursor& p, DelimiterMode mode, int width, bool present) {
  scaled_cell(out, present ? static_cast<std::int8_t>(take_u8(p)) : 0, 1, mode, width);
}

void print_u8(OutBuffer& out, Cursor& p, DelimiterMode mode, int width, bool present) {
  print_unsigned(out, present ? take_u8(p) : 0U, mode, width);
}

void print_u8_tenths(OutBuffer& out, Cursor& p, DelimiterMode mode, int width, bool present) {
  scaled_cell(out, present ? take_u8(p) : 0, 1, mode, width);
}

void print_s16(OutBuffer& out, Cursor& p, DelimiterMode mode, int width, bool present) {
  signed_cell(out, present ? static_cast<std::int16_t>(take_u16(p)) : 0, mode, width);
}

void print_u16(OutBuffer& out, Cursor& p, DelimiterMode mode, int width, bool present) {
  print_unsigned(out, present ? take_u16(p) : 0U, mode, width);
}

void print_s16_tenths(OutBuffer& out, Cursor& p, DelimiterMode mode, int width, bool present) {
  scaled_cell(out, present ? static_cast<std::int16_t>(take_u16(p)) : 0, 1, mode, width);
}

void print_u16_tenths(OutBuffer& out, Cursor& p, DelimiterMode mode, int width, bool present) {
  scaled_cell(out, present ? take_u16(p) : 0, 1, mode, width);
}

void print_u16_hundredths(OutBuffer& out, Cursor& p, DelimiterMode mode, int width, bool present) {
  scaled_cell(out, present ? take_u16(p) : 0, 2, mode, width);
}

void print_s32(OutBuffer& out, Cursor& p, DelimiterMode mode, int width, bool present) {
  std::int32_t value = 0;
  if (present) {
    value = le_s32(p);
    p += 4;
  }
  signed_cell(out, value, mode, width);
}

void print_min_sec(OutBuffer& out, Cursor& p, DelimiterMode mode, bool present) {
  unsigned seconds = 0;
  int minutes = 0;
  if (present) {
    seconds = take_u8(p);
    minutes = static_cast<std::int16_t>(take_u16(p));
  }
  char text[kCellText];
  char minute_digits[kIntegerText];
  const std::size_t m = format_signed(minute_digits, minutes);
  char* d = text;
  *d++ = ' ';
  for (std::size_t i = m; i < 3; ++i) *d++ = ' ';
  std::memcpy(d, minute_digits, m);
  d += m;
  *d++ = ':';
  if (seconds < 10) *d++ = '0';
  d += format_unsigned(d, seconds);
  put_cell(out, mode, 0, std::string_view(text, static_cast<std::size_t>(d - text)));
}

float decode_packed_float(Cursor& p) {
  const std::uint8_t b0 = p[0], b1 = p[1], b2 = p[2], b3 = p[3];
  p += 4;
  const std::uint32_t mantissa = b0 + 256U * b1 + 65536U * (b2 % 128U);
  const int exponent = static_cast<int>(2U * (b3 % 128U) + b2 / 128U);
  // 1 + m * 2^-23 is exact in single precision; the power of two is exact in double precision.
  const float significand = 1.0f + static_cast<float>(mantissa) * 0x1p-23f;
  return static_cast<float>(static_cast<double>(significand) * std::ldexp(1.0, exponent - 127));
}

void print_coordinate(OutBuffer& out, Cursor& p, DelimiterMode mode, int width, bool present,
                      bool negate) {
  double value = 0.0;
  if (present) {
    value = static_cast<double>(decode_packed_float(p)) * (negate ? -1.0 : 1.0);
  }
  char text[kCellText];
  const auto end = std::to_chars(text, text + kCellText, value, std::chars_format::fixed, 5).ptr;
  put_cell(out, mode, width, std::string_view(text, static_cast<std::size_t>(end - text)));
}

}  // namespace korvex
