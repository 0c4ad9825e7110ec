// The one way to read a value: what a column of a record holds, driven by the field tables.
// Where the column's bytes stand (its block, the form of an engine monitor's section, the first
// layout that has it) is decided by field_bytes() alone, how they are stored and scaled by
// load_integer() and decode_packed_float(); read_value() puts them together. The table's cell
// writers are generated from the same tables and read through the same two functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>

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
inline double field_value(const Field& f, const std::uint8_t* at) {
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
  return static_cast<double>(stored) / DECIMAL_SCALE[f.decimals];
}

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

// field_value made for one column of the tables, with its storage and scale as constants: for
// code that reads the same column from many records.
using ValueDecoder = double (*)(const std::uint8_t* at);
ValueDecoder value_decoder(ColumnRef c);

// The blocks of one record found once, for code that reads many of its values.
struct RecordView {
  RecordView() {}  // NOLINT: find() sets every member
  explicit RecordView(const Record& rec) { find(rec); }

  void find(const Record& rec) {
    revision = rec.revision;
    for (int block = BASE_BLOCK; block < BLOCK_COUNT; ++block) {
      bytes[block] = block_bytes(rec, block);
      long_form[block] = block_long_form(rec, block);
    }
  }

  // Unset until find(): a view is often made and never used.
  const std::uint8_t* bytes[BLOCK_COUNT];
  bool long_form[BLOCK_COUNT];
  RecordLayout revision;
};

// Where column `c`'s bytes stand in the record the view shows, or nullptr.
inline const std::uint8_t* field_bytes(const RecordView& rec, ColumnRef c) {
  return field_bytes(*c.field, rec.bytes[c.block], rec.long_form[c.block], rec.revision);
}

// As read_value of the record the view shows.
inline std::optional<double> read_value(const RecordView& rec, ColumnRef c) {
  const std::uint8_t* at = field_bytes(rec, c);
  if (at == nullptr) return std::nullopt;
  return field_value(*c.field, at);
}

// As read_value, with the column's decoder.
inline std::optional<double> read_value(const RecordView& rec, ColumnRef c, ValueDecoder decode) {
  const std::uint8_t* at = field_bytes(rec, c);
  if (at == nullptr) return std::nullopt;
  return decode(at);
}

}  // namespace korvex
