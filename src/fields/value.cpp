#include "fields/value.h"

#include <array>
#include <bit>
#include <cmath>
#include <iterator>
#include <utility>

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

namespace {

template <const auto& kFields, std::size_t I>
double decode_field(const std::uint8_t* at) {
  return field_value(kFields[I], at);
}

template <const auto& kFields, std::size_t... I>
constexpr std::array<ValueDecoder, sizeof...(I)> decoders_of(std::index_sequence<I...>) {
  return {&decode_field<kFields, I>...};
}

template <const auto& kFields>
constexpr auto kDecoders = decoders_of<kFields>(std::make_index_sequence<std::size(kFields)>{});

}  // namespace

ValueDecoder value_decoder(ColumnRef c) {
  return with_block_table(
      c.block, [&]<const auto & kFields>() {
        return kDecoders<kFields>[field_index(c.block, *c.field)];
      });
}

}  // namespace korvex
