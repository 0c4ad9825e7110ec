#include "fields/value.h"

#include <bit>
#include <cmath>

namespace korvex {

float decode_packed_float(const std::uint8_t* at) {
  // For every exponent from 1 to 254 the value is the single-precision number of these bits
  // without the sign; 0 and 255 follow the formula below (no zero or subnormal, infinity).
  const std::uint32_t bits = le_u32(at) & 0x7FFFFFFFU;
  if (const std::uint32_t e = bits >> 23; e != 0 && e != 255) return std::bit_cast<float>(bits);
  const std::uint8_t b0 = at[0], b1 = at[1], b2 = at[2], b3 = at[3];
  const std::uint32_t mantissa = b0 + 256U * b1 + 65536U * (b2 % 128U);
  const int exponent = static_cast<int>(2U * (b3 % 128U) + b2 / 128U);
  // 1 + m * 2^-23 is exact in single precision; the power of two is exact in double precision.
  const float significand = 1.0f + static_cast<float>(mantissa) * 0x1p-23f;
  return static_cast<float>(static_cast<double>(significand) * std::ldexp(1.0, exponent - 127));
}

double field_value(const Field& f, const std::uint8_t* at) {
  std::int64_t stored = 0;
  switch (f.storage) {
    case Storage::COORDINATE: {
      const double magnitude = decode_packed_float(at);
      return f.negated ? -magnitude : magnitude;
    }
    case Storage::U8:
      stored = load_integer<Storage::U8>(at);
      break;
    case Storage::S8:
      stored = load_integer<Storage::S8>(at);
      break;
    case Storage::U16:
      stored = load_integer<Storage::U16>(at);
      break;
    case Storage::S16:
      stored = load_integer<Storage::S16>(at);
      break;
    case Storage::S32:
      stored = load_integer<Storage::S32>(at);
      break;
    case Storage::ROTOR:
      stored = load_integer<Storage::ROTOR>(at);
      break;
    case Storage::MIN_SEC:
      stored = load_integer<Storage::MIN_SEC>(at);
      break;
  }
  constexpr double kScale[] = {1, 10, 100};
  return static_cast<double>(stored) / kScale[f.decimals];
}

}  // namespace korvex
