// The cells of one block of a row, generated from the block's field table: every column's
// offset, storage, decimals and width are constants of the table, so a block is written as
// straight-line code without a lookup per cell.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <utility>

#include "fields/decode.h"
#include "output/table/cells.h"

namespace korvex {

namespace cell {

constexpr bool is_signed(Storage s) {
  return s == Storage::S8 || s == Storage::S16 || s == Storage::S32;
}

// The cell of column I of the table: its value read at `block` when kPresent (and the record's
// layout has it), else 0 in the column's own format.
template <const auto& kFields, std::size_t I, bool kPresent>
inline char* field_cell(char* d, const std::uint8_t* block, bool long_form, RecordLayout revision,
                        DelimiterMode mode) {
  constexpr Field f = kFields[I];
  const std::uint8_t* at = nullptr;
  if constexpr (kPresent) {
    if (f.first_layout == 0 || revision >= f.first_layout) {
      if constexpr (f.short_offset == SAME_OFFSET) {
        at = block + f.offset;
      } else {
        at = block + (long_form ? f.offset : f.short_offset);
      }
    }
  }
  if constexpr (f.storage == Storage::COORDINATE) {
    const float magnitude = at != nullptr ? decode_packed_float(at) : 0.0f;
    return coordinate_cell(d, magnitude, f.negated && at != nullptr, mode, f.width);
  } else if constexpr (f.storage == Storage::MIN_SEC) {
    return at != nullptr ? min_sec_cell(d, le_s16(at + 1), at[0], mode)
                         : min_sec_cell(d, 0, 0, mode);
  } else {
    const std::int64_t v = at != nullptr ? load_integer<f.storage>(at) : 0;
    if constexpr (f.decimals > 0) {
      return scaled_cell(d, v, f.decimals, mode, f.width);
    } else if constexpr (is_signed(f.storage)) {
      return signed_cell(d, v, mode, f.width);
    } else {
      return unsigned_cell(d, static_cast<std::uint64_t>(v), mode, f.width);
    }
  }
}

template <const auto& kFields, bool kPresent, std::size_t... I>
inline char* field_cells(char* d, const std::uint8_t* block, bool long_form, RecordLayout revision,
                         DelimiterMode mode, std::index_sequence<I...>) {
  ((d = field_cell<kFields, I, kPresent>(d, block, long_form, revision, mode)), ...);
  return d;
}

}  // namespace cell

// The cells of a block whose bytes start at `block`; nullptr: the record lacks the block, and
// every cell shows 0. `long_form` tells where an engine monitor's columns stand.
template <const auto& kFields>
inline char* block_cells(char* d, const std::uint8_t* block, bool long_form, RecordLayout revision,
                         DelimiterMode mode) {
  constexpr auto kColumns = std::make_index_sequence<std::size(kFields)>{};
  if (block == nullptr) {
    return cell::field_cells<kFields, false>(d, block, long_form, revision, mode, kColumns);
  }
  return cell::field_cells<kFields, true>(d, block, long_form, revision, mode, kColumns);
}

}  // namespace korvex
