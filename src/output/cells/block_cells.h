// The cells of one block of a row, generated from the block's field table: every column's
// offset, storage, decimals and width are constants of the table, so a block is written as
// straight-line code without a lookup per cell. A cell's bytes are found by field_bytes() and
// read by load_integer() or decode_packed_float(), as every value is (fields/value.h).
//
// Two styles: the classic table shows a value the record lacks as 0 in the column's format; the
// analysis table (csv, tsv) leaves its cell empty and shows minutes and seconds as whole seconds
// (a time of minutes and seconds, "0:39", is read by databases and spreadsheets as 39 minutes).
#pragma once

#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <utility>
#include <vector>

#include "fields/column_set.h"
#include "fields/value.h"
#include "io/out_buffer.h"
#include "output/cells/cells.h"
#include "output/cells/time_cell.h"
#include "profile/profile.h"

namespace korvex {

enum class CellStyle { CLASSIC, ANALYSIS };

namespace cell {

constexpr bool is_signed(Storage s) {
  return s == Storage::S8 || s == Storage::S16 || s == Storage::S32 || s == Storage::MIN_SEC;
}

// The cell of column I of the table: its value read at `block` when kPresent (and the record's
// layout has it), else 0 in the column's own format or an empty cell.
template <const auto& kFields, std::size_t I, bool kPresent, CellStyle kStyle>
KORVEX_CELL_INLINE char* field_cell(char* d, const std::uint8_t* block, bool long_form,
                                    RecordLayout revision, DelimiterMode mode) {
  constexpr Field f = kFields[I];
  const std::uint8_t* at = nullptr;
  if constexpr (kPresent) at = field_bytes_in_block(f, block, long_form, revision);
  if constexpr (kStyle == CellStyle::ANALYSIS) {
    if (at == nullptr) return empty_cell(d, mode);
  }
  if constexpr (f.storage == Storage::COORDINATE) {
    const float magnitude = at != nullptr ? decode_packed_float(at) : 0.0f;
    return coordinate_cell(d, magnitude, f.negated && at != nullptr, mode, f.width);
  } else if constexpr (f.storage == Storage::MIN_SEC && kStyle == CellStyle::CLASSIC) {
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
  for (int block = BASE_BLOCK; block < BLOCK_COUNT; ++block) {
    if (!shows_block(sections, block)) continue;
    d = with_block_table(
        block, [&]<const auto & kFields>() {
          return block_cells<kFields, kStyle>(d, block_bytes(rec, block),
                                              block_long_form(rec, block), rec.revision, mode);
        });
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

namespace cell {

// A calibrated value with its decimals, or an empty cell when the record lacks it.
inline char* calibrated_cell(char* d, const Record& rec, ColumnRef column,
                             const Calibration& calibration, int decimals, DelimiterMode mode) {
  const std::optional<double> logged = read_value(rec, column);
  if (!logged) return empty_cell(d, mode);
  double v = calibration.apply(*logged);
  if (v == 0) v = 0;  // no "-0.0"
  constexpr std::size_t kRoom = 40;
  constexpr double kFixedBelow = 1e15;  // else in the room only with an exponent
  d = std::abs(v) < kFixedBelow
          ? std::to_chars(d, d + kRoom, v, std::chars_format::fixed, decimals).ptr
          : std::to_chars(d, d + kRoom, v, std::chars_format::general, 15).ptr;
  *d++ = mode == DELIM_TAB ? '\t' : ',';
  return d;
}

}  // namespace cell

// The cells of a row: every column of the shown blocks, or the columns chosen, each with its
// writer found once. With a profile to calibrate by, the columns it calibrates show their
// calibrated values (analysis tables only).
template <CellStyle kStyle>
class RowCells {
 public:
  explicit RowCells(const ColumnSet& columns, const Profile* calibrate = nullptr)
      : sections_(columns.sections), all_(columns.all) {
    bool calibrated = false;
    if (calibrate != nullptr) {
      columns.for_each([&](ColumnRef c) { calibrated = calibrated || calibrate->calibration(c); });
    }
    if (all_ && !calibrated) return;
    all_ = false;
    columns.for_each([&](ColumnRef c) {
      const Calibration* cal = calibrate != nullptr ? calibrate->calibration(c) : nullptr;
      chosen_.push_back(
          {with_block_table(
               c.block,
               [&]<const auto & kFields>() {
                 return cell::kCellWriters<kFields, kStyle>[field_index(c.block, *c.field)];
               }),
           c.block, c, cal, cal != nullptr ? calibrate->decimals(c) : 0});
    });
  }

  char* write(char* d, const Record& rec, DelimiterMode mode) const {
    if (all_) return record_cells<kStyle>(d, rec, sections_, mode);
    for (const Chosen& c : chosen_) {
      if (c.calibration != nullptr) {
        d = cell::calibrated_cell(d, rec, c.column, *c.calibration, c.decimals, mode);
        continue;
      }
      d = c.write(d, block_bytes(rec, c.block), block_long_form(rec, c.block), rec.revision, mode);
    }
    return d;
  }

 private:
  struct Chosen {
    CellWriter write;
    int block;
    ColumnRef column;
    const Calibration* calibration;  // nullptr: as logged
    int decimals;
  };
  SectionFlags sections_;
  bool all_;
  std::vector<Chosen> chosen_;
};

}  // namespace korvex
