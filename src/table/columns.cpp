#include "table/columns.h"

#include <bit>
#include <charconv>
#include <cmath>

namespace korvex {

namespace {

// Room for the widest coordinate: a sign, 39 integer digits, the point and five decimals.
constexpr std::size_t kCoordinateText = 48;

// The value with five decimals, as printf("%.5f") shows the single-precision magnitude widened
// to double (negated when negative): the exact binary value rounded half to even. Exact integer
// arithmetic for every magnitude below 2^40; std::to_chars (also exact) above it.
std::size_t format_coordinate(char* text, float magnitude, bool negative) {
  const std::uint32_t bits = std::bit_cast<std::uint32_t>(magnitude);
  const std::uint32_t exponent = bits >> 23;
  const std::uint64_t mantissa = exponent == 0 ? (bits & 0x7FFFFF) : (bits & 0x7FFFFF) | 0x800000;
  const int shift = exponent == 0 ? -149 : static_cast<int>(exponent) - 150;  // value = m * 2^shift
  if (exponent == 0xFF || shift > 16) {
    const double value =
        negative ? -static_cast<double>(magnitude) : static_cast<double>(magnitude);
    return static_cast<std::size_t>(
        std::to_chars(text, text + kCoordinateText, value, std::chars_format::fixed, 5).ptr - text);
  }
  std::uint64_t scaled = 0;  // the value times 10^5, rounded half to even
  if (shift >= 0) {
    scaled = (mantissa << shift) * 100000;
  } else if (const int k = -shift; k <= 41) {
    const std::uint64_t x = mantissa * 100000;
    scaled = x >> k;
    const std::uint64_t rest = x & ((std::uint64_t{1} << k) - 1);
    const std::uint64_t half = std::uint64_t{1} << (k - 1);
    if (rest > half || (rest == half && (scaled & 1) != 0)) ++scaled;
  }
  const std::size_t n = cell::scaled_length(scaled, 5, negative);
  cell::scaled_before(text + n, scaled, 5, negative);
  return n;
}

}  // namespace

char* put_cell(char* d, DelimiterMode mode, int width, std::string_view text) {
  return cell::emit(d, mode, width, text.size(),
                    [&](char* at) { std::memcpy(at, text.data(), text.size()); });
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

char* print_coordinate(char* d, Cursor& p, DelimiterMode mode, int width, bool present,
                       bool negate) {
  char text[kCoordinateText];
  const std::size_t n = present ? format_coordinate(text, decode_packed_float(p), negate)
                                : format_coordinate(text, 0.0f, false);
  return put_cell(d, mode, width, std::string_view(text, n));
}

}  // namespace korvex
