// Decoded values: what a column of a record holds, as a number, for code that does not print
// text. The table's printers read the same bytes through the same loaders.
#pragma once

#include <cstdint>
#include <optional>

#include "fields/blocks.h"
#include "io/little_endian.h"
#include "record/record.h"

namespace korvex {

// The stored integer of a field at `at`: the rotor without its top bit, minutes and seconds as
// seconds (minutes × 60 + seconds). Not for coordinates.
template <Storage S>
inline std::int64_t load_integer(const std::uint8_t* at) {
  if constexpr (S == Storage::U8) return at[0];
  if constexpr (S == Storage::S8) return static_cast<std::int8_t>(at[0]);
  if constexpr (S == Storage::U16) return le_u16(at);
  if constexpr (S == Storage::S16) return le_s16(at);
  if constexpr (S == Storage::S32) return le_s32(at);
  if constexpr (S == Storage::ROTOR) return le_u16(at) & 0x7fff;
  if constexpr (S == Storage::MIN_SEC) return std::int64_t{le_s16(at + 1)} * 60 + at[0];
  static_assert(S != Storage::COORDINATE, "a coordinate is no integer");
  return 0;
}

// The magnitude of the single-precision number whose little-endian image starts at `at`: the
// sign bit is ignored, and the exponent 0 gives no zero or subnormal (and 255 gives infinity).
float decode_packed_float(const std::uint8_t* at);

// The value shown for a field at `at`: the stored integer with its decimals applied, or a
// coordinate's magnitude, negated where the table says so.
double field_value(const Field& f, const std::uint8_t* at);

// Where the bytes of block `block` (BASE_BLOCK, or a section id) stand in the record: the
// payload, or the section body; nullptr when the record lacks the section.
inline const std::uint8_t* block_bytes(const Record& rec, int block) {
  return block == BASE_BLOCK ? rec.payload : rec.section(block);
}

// A column's value in a record; nothing when the record lacks its block, or its layout the
// column.
std::optional<double> record_value(const Record& rec, int block, const Field& f);

}  // namespace korvex
