#include "output/cells/cells.h"

#include "fields/field.h"

#include <bit>
#include <charconv>

namespace korvex {

namespace {

// Room for the widest coordinate: a sign, 39 integer digits, the point and five decimals.
constexpr std::size_t kCoordinateText = 48;

static_assert(COORDINATE_DECIMALS == 5, "scaled_coordinate scales by 10^5");

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
  return cell::emit(d, mode, width, text.size(), [&](char* at) KORVEX_LAMBDA_INLINE {
    std::memcpy(at, text.data(), text.size());
  });
}

// The exact binary value rounded half to even, as printf does.
char* coordinate_cell(char* d, float magnitude, bool negative, DelimiterMode mode, int width) {
  std::uint64_t scaled = 0;
  if (scaled_coordinate(magnitude, scaled)) {
    const std::size_t n = cell::scaled_length(scaled, COORDINATE_DECIMALS, negative);
    return cell::emit(d, mode, width, n, [&](char* at) KORVEX_LAMBDA_INLINE {
      cell::scaled_before(at + n, scaled, COORDINATE_DECIMALS, negative);
    });
  }
  const double value = negative ? -static_cast<double>(magnitude) : static_cast<double>(magnitude);
  char text[kCoordinateText];
  const char* end = std::to_chars(text, text + kCoordinateText, value, std::chars_format::fixed,
                                  COORDINATE_DECIMALS)
                        .ptr;
  return put_cell(d, mode, width, std::string_view(text, static_cast<std::size_t>(end - text)));
}

}  // namespace korvex
