// The one way to read a value: what a column of a record holds, driven by the field tables.
// Where the column's bytes stand (its block, the form of an engine monitor's section, the first
// layout that has it) is decided by field_bytes() alone, how they are stored and scaled by
// load_integer() and decode_packed_float(); read_value() puts them together. The table's cell
// writers are generated from the same tables and read through the same two functions.
#pragma once

#include <cstdint>
#include <optional>

#include "fields/blocks.h"
#include "io/little_endian.h"
#include "record/record.h"

namespace korvex {

// Where the bytes of field `f` stand in a block that the record has, whose bytes start at
// `block` and whose form `long_form` tells; nullptr when the record's layout lacks the field.
[[gnu::always_inline]] constexpr const std::uint8_t* field_bytes_in_block(const Field& f,
                                                                          const std::uint8_t* block,
                                                                          bool long_form,
                                                                          RecordLayout revision) {
  if (f.first_layout != 0 && revision < f.first_layout) return nullptr;
  return block + f.offset_in(long_form);
}

// As field_bytes_in_block, for a block the record may lack (`block` nullptr).
constexpr const std::uint8_t* field_bytes(const Field& f, const std::uint8_t* block, bool long_form,
                                          RecordLayout revision) {
  return block == nullptr ? nullptr : field_bytes_in_block(f, block, long_form, revision);
}

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

// The value shown for field `f` whose bytes start at `at`: the stored integer with its decimals
// applied, or a coordinate's magnitude, negated where the table says so.
double field_value(const Field& f, const std::uint8_t* at);

// Where the bytes of block `block` (BASE_BLOCK, or a section id) stand in the record: the
// payload, or the section's body; nullptr when the record lacks the section.
inline const std::uint8_t* block_bytes(const Record& rec, int block) {
  return block == BASE_BLOCK ? rec.payload : rec.section(block);
}

// Whether block `block` of the record has the form its table describes (an engine monitor's
// short form holds some columns elsewhere).
inline bool block_long_form(const Record& rec, int block) {
  return block == BASE_BLOCK || long_form(block, rec.revision);
}

// Where column `c`'s bytes stand in the record, or nullptr when it lacks the value.
inline const std::uint8_t* field_bytes(const Record& rec, ColumnRef c) {
  return field_bytes(*c.field, block_bytes(rec, c.block), block_long_form(rec, c.block),
                     rec.revision);
}

// A column's value in a record; nothing when the record lacks it.
inline std::optional<double> read_value(const Record& rec, ColumnRef c) {
  const std::uint8_t* at = field_bytes(rec, c);
  if (at == nullptr) return std::nullopt;
  return field_value(*c.field, at);
}

}  // namespace korvex
