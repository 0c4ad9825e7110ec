#include "fields/decode.h"

#include <array>
#include <bit>
#include <cmath>
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

std::optional<double> record_value(const Record& rec, int block, const Field& f) {
  const std::uint8_t* bytes = block_bytes(rec, block);
  if (bytes == nullptr || rec.revision < f.first_layout) return std::nullopt;
  const bool full = block == BASE_BLOCK || long_form(block, rec.revision);
  return field_value(f, bytes + f.offset_in(full));
}

namespace {

template <const auto& kFields, std::size_t I>
double load_field(const std::uint8_t* at) {
  constexpr Field f = kFields[I];
  if constexpr (f.storage == Storage::COORDINATE) {
    const double magnitude = decode_packed_float(at);
    return f.negated ? -magnitude : magnitude;
  } else {
    constexpr double kScale = f.decimals == 0 ? 1 : f.decimals == 1 ? 10 : 100;
    return static_cast<double>(load_integer<f.storage>(at)) / kScale;
  }
}

template <const auto& kFields, std::size_t... I>
constexpr std::array<double (*)(const std::uint8_t*), sizeof...(I)> loaders_of(
    std::index_sequence<I...>) {
  return {&load_field<kFields, I>...};
}

template <const auto& kFields>
constexpr auto kLoaders = loaders_of<kFields>(std::make_index_sequence<std::size(kFields)>{});

}  // namespace

ColumnReader column_reader(int block, const Field& f) {
  const auto index = static_cast<std::size_t>(&f - block_fields[block].data());
  ColumnReader r;
  r.block = block;
  r.offset = f.offset;
  r.short_offset = f.short_offset == SAME_OFFSET ? f.offset : f.short_offset;
  r.first_layout = f.first_layout;
  switch (block) {
    case BASE_BLOCK:
      r.load = kLoaders<BASE_FIELDS>[index];
      break;
    case SECTION_ID_ATTITUDE:
      r.load = kLoaders<ATTITUDE_FIELDS>[index];
      break;
    case SECTION_ID_GPS:
      r.load = kLoaders<GPS_FIELDS>[index];
      break;
    default:
      r.load = kLoaders<TELM_FIELDS>[index];
      break;
  }
  return r;
}

}  // namespace korvex
