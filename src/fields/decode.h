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
  constexpr double kScale[] = {1, 10, 100};
  return static_cast<double>(stored) / kScale[f.decimals];
}

// Where the bytes of block `block` (BASE_BLOCK, or a section id) stand in the record: the
// payload, or the section body; nullptr when the record lacks the section.
inline const std::uint8_t* block_bytes(const Record& rec, int block) {
  return block == BASE_BLOCK ? rec.payload : rec.section(block);
}

// A column's value in a record; nothing when the record lacks its block, or its layout the
// column.
std::optional<double> record_value(const Record& rec, int block, const Field& f);

// The blocks of one record, found once for the many values read from it.
struct RecordView {
  explicit RecordView(const Record& rec) : revision(rec.revision) {
    for (int block = BASE_BLOCK; block < BLOCK_COUNT; ++block) {
      bytes[block] = block_bytes(rec, block);
      full[block] = block == BASE_BLOCK || long_form(block, rec.revision);
    }
  }
  // As record_value.
  std::optional<double> value(int block, const Field& f) const {
    const std::uint8_t* b = bytes[block];
    if (b == nullptr || revision < f.first_layout) return std::nullopt;
    return field_value(f, b + f.offset_in(full[block]));
  }

  const std::uint8_t* bytes[BLOCK_COUNT];
  bool full[BLOCK_COUNT];
  RecordLayout revision;
};

// A column read from many records: the field's offsets, and a loader made for its storage and
// scale, so that reading it costs no dispatch on the table's facts.
struct ColumnReader {
  int block = BASE_BLOCK;
  std::uint8_t offset = 0;
  std::uint8_t short_offset = 0;  // in an engine monitor's short form
  std::uint8_t first_layout = 0;
  double (*load)(const std::uint8_t* at) = nullptr;

  // As record_value.
  std::optional<double> operator()(const RecordView& rec) const {
    const std::uint8_t* bytes = rec.bytes[block];
    if (bytes == nullptr || rec.revision < first_layout) return std::nullopt;
    return load(bytes + (rec.full[block] ? offset : short_offset));
  }
};

// The reader of field `f` of block `block` (a field of that block's table).
ColumnReader column_reader(int block, const Field& f);

}  // namespace korvex
