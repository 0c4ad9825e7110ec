// The cells of one block of a row, generated from the block's field table: every column's
// offset, storage, decimals and width are constants of the table, so a block is written as
// straight-line code without a lookup per cell.
//
// Two styles: the classic table shows a value the record lacks as 0 in the column's format; the
// analysis table (csv, tsv) leaves its cell empty and shows minutes and seconds unpadded.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <utility>

#include "fields/column_set.h"
#include "fields/decode.h"
#include "io/out_buffer.h"
#include "output/cells/cells.h"
#include "output/cells/time_cell.h"

namespace korvex {

enum class CellStyle { CLASSIC, ANALYSIS };

namespace cell {

constexpr bool is_signed(Storage s) {
  return s == Storage::S8 || s == Storage::S16 || s == Storage::S32;
}

// The cell of column I of the table: its value read at `block` when kPresent (and the record's
// layout has it), else 0 in the column's own format or an empty cell.
template <const auto& kFields, std::size_t I, bool kPresent, CellStyle kStyle>
KORVEX_CELL_INLINE char* field_cell(char* d, const std::uint8_t* block, bool long_form,
                                    RecordLayout revision, DelimiterMode mode) {
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
  if constexpr (kStyle == CellStyle::ANALYSIS) {
    if (at == nullptr) return empty_cell(d, mode);
  }
  if constexpr (f.storage == Storage::COORDINATE) {
    const float magnitude = at != nullptr ? decode_packed_float(at) : 0.0f;
    return coordinate_cell(d, magnitude, f.negated && at != nullptr, mode, f.width);
  } else if constexpr (f.storage == Storage::MIN_SEC) {
    constexpr bool kPadded = kStyle == CellStyle::CLASSIC;
    return at != nullptr ? min_sec_cell(d, le_s16(at + 1), at[0], mode, kPadded)
                         : min_sec_cell(d, 0, 0, mode, kPadded);
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

template <const auto& kFields, bool kPresent, CellStyle kStyle, std::size_t... I>
KORVEX_CELL_INLINE char* field_cells(char* d, const std::uint8_t* block, bool long_form,
                                     RecordLayout revision, DelimiterMode mode,
                                     std::index_sequence<I...>) {
  ((d = field_cell<kFields, I, kPresent, kStyle>(d, block, long_form, revision, mode)), ...);
  return d;
}

}  // namespace cell

// The cells of a block whose bytes start at `block`; nullptr: the record lacks the block, and
// every cell shows 0 (or is empty). `long_form` tells where an engine monitor's columns stand.
// One function per block, so that both engine monitors share one.
template <const auto& kFields, CellStyle kStyle = CellStyle::CLASSIC>
[[gnu::noinline]] char* block_cells(char* d, const std::uint8_t* block, bool long_form,
                                    RecordLayout revision, DelimiterMode mode) {
  constexpr auto kColumns = std::make_index_sequence<std::size(kFields)>{};
  if (block == nullptr) {
    return cell::field_cells<kFields, false, kStyle>(d, block, long_form, revision, mode, kColumns);
  }
  return cell::field_cells<kFields, true, kStyle>(d, block, long_form, revision, mode, kColumns);
}

// The cells of every block of a record that the log's section set holds, in the order of the
// header: the base payload, then the sections by id.
template <CellStyle kStyle>
inline char* record_cells(char* d, const Record& rec, SectionFlags sections, DelimiterMode mode) {
  const RecordLayout r = rec.revision;
  d = block_cells<BASE_FIELDS, kStyle>(d, rec.payload, true, r, mode);
  for (const int id : {SECTION_ID_TELM1, SECTION_ID_TELM2}) {
    if ((sections & section_flag(id)) != 0) {
      d = block_cells<TELM_FIELDS, kStyle>(d, rec.section(id), long_form(id, r), r, mode);
    }
  }
  if ((sections & SECTION_ATTITUDE) != 0) {
    d = block_cells<ATTITUDE_FIELDS, kStyle>(d, rec.section(SECTION_ID_ATTITUDE), true, r, mode);
  }
  if ((sections & SECTION_GPS) != 0) {
    d = block_cells<GPS_FIELDS, kStyle>(d, rec.section(SECTION_ID_GPS), true, r, mode);
  }
  return d;
}

// The cell of one column of a record, for rows of chosen columns.
using CellWriter = char* (*)(char* d, const std::uint8_t* block, bool long_form,
                             RecordLayout revision, DelimiterMode mode);

namespace cell {

template <const auto& kFields, std::size_t I, CellStyle kStyle>
char* single_cell(char* d, const std::uint8_t* block, bool long_form, RecordLayout revision,
                  DelimiterMode mode) {
  return block != nullptr
             ? field_cell<kFields, I, true, kStyle>(d, block, long_form, revision, mode)
             : field_cell<kFields, I, false, kStyle>(d, block, long_form, revision, mode);
}

template <const auto& kFields, CellStyle kStyle, std::size_t... I>
constexpr std::array<CellWriter, sizeof...(I)> cell_writers(std::index_sequence<I...>) {
  return {&single_cell<kFields, I, kStyle>...};
}

template <const auto& kFields, CellStyle kStyle>
inline constexpr auto kCellWriters =
    cell_writers<kFields, kStyle>(std::make_index_sequence<std::size(kFields)>{});

}  // namespace cell

template <CellStyle kStyle>
inline char* column_cell(char* d, const Record& rec, ColumnRef column, DelimiterMode mode) {
  const auto index = static_cast<std::size_t>(column.field - block_fields[column.block].data());
  CellWriter write = nullptr;
  switch (column.block) {
    case BASE_BLOCK:
      write = cell::kCellWriters<BASE_FIELDS, kStyle>[index];
      break;
    case SECTION_ID_ATTITUDE:
      write = cell::kCellWriters<ATTITUDE_FIELDS, kStyle>[index];
      break;
    case SECTION_ID_GPS:
      write = cell::kCellWriters<GPS_FIELDS, kStyle>[index];
      break;
    default:
      write = cell::kCellWriters<TELM_FIELDS, kStyle>[index];
      break;
  }
  return write(d, block_bytes(rec, column.block), long_form(column.block, rec.revision),
               rec.revision, mode);
}

// One row: the Time cell (and, in the analysis table, the flight), the cells of the columns,
// and the line end, which the classic table puts after the last cell's separator and the
// analysis table in its place. `room`: the row_room of these cells.
template <CellStyle kStyle>
inline void record_row(OutBuffer& out, DelimiterMode mode, const Record& rec, std::int64_t flight,
                       const ColumnSet& columns, std::size_t room, TimeCellCache& cache) {
  char* const start = out.reserve(room);
  char* d;
  if constexpr (kStyle == CellStyle::CLASSIC) {
    d = print_time_cell(start, mode, rec.timestamp, rec.revision, cache);
  } else {
    d = print_iso_time_cell(start, mode, rec.timestamp, rec.revision, cache);
    d = cell::unsigned_cell(d, static_cast<std::uint64_t>(flight), mode, 0);
  }
  if (columns.all) {
    d = record_cells<kStyle>(d, rec, columns.sections, mode);
  } else {
    for (const ColumnRef& c : columns.chosen) d = column_cell<kStyle>(d, rec, c, mode);
  }
  if constexpr (kStyle == CellStyle::CLASSIC) {
    *d++ = '\n';
  } else {
    d[-1] = '\n';
  }
  out.commit(static_cast<std::size_t>(d - start));
}

}  // namespace korvex
