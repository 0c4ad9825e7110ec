#include "table/columns.h"

#include <bit>
#include <charconv>
#include <cmath>

namespace korvex {

namespace {

// Room for the widest coordinate: a sign, 39 integer digits, the point and five decimals.
constexpr std::size_t kCoordinateText = 48;

// A coordinate's magnitude times 10^5, rounded half to even, for every magnitude below 2^40
// (exact integer arithmetic on the single-precision value); false for larger ones and infinity.
bool scaled_coordinate(float magnitude, std::uint64_t& scaled) {
  const std::uint32_t bits = std::bit_cast<std::uint32_t>(magnitude);
  const std::uint32_t exponent = bits >> 23;
  const std::uint64_t mantissa = exponent == 0 ? (bits & 0x7FFFFF) : (bits & 0x7FFFFF) | 0x800000;
  const int shift = exponent == 0 ? -149 : static_cast<int>(exponent) - 150;  // value = m * 2^shift
  if (exponent == 0xFF || shift > 16) return false;
  scaled = 0;
  if (shift >= 0) {
    scaled = (mantissa << shift) * 100000;
  } else if (const int k = -shift; k <= 41) {
    const std::uint64_t x = mantissa * 100000;
    scaled = x >> k;
    const std::uint64_t rest = x & ((std::uint64_t{1} << k) - 1);
    const std::uint64_t half = std::uint64_t{1} << (k - 1);
    if (rest > half || (rest == half && (scaled & 1) != 0)) ++scaled;
  }
  return true;
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

// The value with five decimals, as printf("%.5f") shows the single-precision magnitude widened
// to double (negated when negate): the exact binary value rounded half to even.
char* print_coordinate(char* d, Cursor& p, DelimiterMode mode, int width, bool present,
                       bool negate) {
  const float magnitude = present ? decode_packed_float(p) : 0.0f;
  const bool negative = present && negate;
  std::uint64_t scaled = 0;
  if (scaled_coordinate(magnitude, scaled)) {
    const std::size_t n = cell::scaled_length(scaled, 5, negative);
    return cell::emit(d, mode, width, n,
                      [&](char* at) { cell::scaled_before(at + n, scaled, 5, negative); });
  }
  const double value = negative ? -static_cast<double>(magnitude) : static_cast<double>(magnitude);
  char text[kCoordinateText];
  const char* end =
      std::to_chars(text, text + kCoordinateText, value, std::chars_format::fixed, 5).ptr;
  return put_cell(d, mode, width, std::string_view(text, static_cast<std::size_t>(end - text)));
}

}  // namespace korvex
