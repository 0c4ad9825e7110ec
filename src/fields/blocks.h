// The blocks of a record, in the order every output shows them: the base payload, then one block
// per optional section (the two engine monitors share one table).
#pragma once

#include <array>
#include <span>

#include "fields/attitude_fields.h"
#include "fields/base_fields.h"
#include "fields/gps_fields.h"
#include "fields/telm_fields.h"
#include "record/layouts.h"

namespace korvex {

// Block numbers: 0 is the base payload, 1 to 4 the optional sections by their ids.
inline constexpr int BASE_BLOCK = 0;
inline constexpr int BLOCK_COUNT = SECTION_ID_COUNT;

// Calls fn.template operator()<kFields>() with the field table of block `block`, as a constant:
// for code generated per table. The one place that says which table a block has.
template <typename Fn>
constexpr decltype(auto) with_block_table(int block, Fn&& fn) {
  switch (block) {
    case BASE_BLOCK:
      return fn.template operator()<BASE_FIELDS>();
    case SECTION_ID_ATTITUDE:
      return fn.template operator()<ATTITUDE_FIELDS>();
    case SECTION_ID_GPS:
      return fn.template operator()<GPS_FIELDS>();
    default:  // both engine monitors
      return fn.template operator()<TELM_FIELDS>();
  }
}

constexpr std::span<const Field> table_of_block(int block) {
  return with_block_table(
      block, []<const auto & kFields>() { return std::span<const Field>(kFields); });
}

// The field table of each block.
inline constexpr std::span<const Field> block_fields[BLOCK_COUNT] = {
    table_of_block(0), table_of_block(1), table_of_block(2), table_of_block(3), table_of_block(4)};
static_assert(BLOCK_COUNT == 5, "a table for each block");

// A column: a field of a block's table.
struct ColumnRef {
  int block = BASE_BLOCK;
  const Field* field = nullptr;
  bool operator==(const ColumnRef&) const = default;
};

// The most columns a block has.
inline constexpr std::size_t MAX_BLOCK_FIELDS = [] {
  std::size_t most = 0;
  for (const auto& fields : block_fields) most = fields.size() > most ? fields.size() : most;
  return most;
}();

// Where column `f` stands in its block's table.
constexpr std::size_t field_index(int block, const Field& f) {
  return static_cast<std::size_t>(&f - block_fields[block].data());
}

// What the analysis tables put before each column name of a block, so that the two engine
// monitors' columns are told apart.
inline constexpr std::string_view block_name_prefix[BLOCK_COUNT] = {"", "telm1_", "telm2_", "", ""};

// Whether the log's section set shows block `block` (the base payload always).
constexpr bool shows_block(SectionFlags sections, int block) {
  return block == BASE_BLOCK || (sections & section_flag(block)) != 0;
}

// The column of block `block` with this label (the first, when the label repeats), or nullptr.
constexpr const Field* find_field(int block, std::string_view label) {
  for (const Field& f : block_fields[block]) {
    if (f.label == label) return &f;
  }
  return nullptr;
}

// The column of block `block` with this label, found when the code is compiled: a label that
// no column has does not compile. For the columns the code names (RPM, tc1, ...).
consteval const Field* known_field(int block, std::string_view label) {
  const Field* f = find_field(block, label);
  if (f == nullptr) throw "no column of the block has this label";
  return f;
}

// Calls fn(block, field) for every column of the blocks that the section set shows, in the
// order of the tables' rows.
template <typename Fn>
void for_each_column(SectionFlags sections, Fn&& fn) {
  for (int block = BASE_BLOCK; block < BLOCK_COUNT; ++block) {
    if (!shows_block(sections, block)) continue;
    for (const Field& f : block_fields[block]) fn(block, f);
  }
}

// Whether a section of this layout has its longest body, the form that holds every column. An
// engine monitor's short form holds some columns elsewhere (Field::short_offset).
inline constexpr auto LONG_FORM = [] {
  std::array<std::array<bool, SECTION_ID_COUNT>, RECORD_LAYOUT_COUNT> table{};
  for (int id = 0; id < SECTION_ID_COUNT; ++id) {
    std::uint8_t longest = 0;
    for (const auto& lengths : layout_section_length) {
      longest = lengths[id] > longest ? lengths[id] : longest;
    }
    for (RecordLayout r = 0; r < RECORD_LAYOUT_COUNT; ++r) {
      table[static_cast<std::size_t>(r)][static_cast<std::size_t>(id)] =
          layout_section_length[r][id] == longest;
    }
  }
  return table;
}();

constexpr bool long_form(int section_id, RecordLayout revision) {
  return LONG_FORM[static_cast<std::size_t>(revision)][static_cast<std::size_t>(section_id)];
}

// The tables agree with the layouts: in every layout that has a column, its value lies within
// the block (and a block's columns are all there in its long form).
constexpr bool block_fits_layouts(int block) {
  for (RecordLayout r = 0; r < RECORD_LAYOUT_COUNT; ++r) {
    const int length = block == BASE_BLOCK ? BASE_PAYLOAD_LEN : layout_section_length[r][block];
    const bool full = block == BASE_BLOCK || long_form(block, r);
    for (const Field& f : block_fields[block]) {
      const bool present = r >= f.first_layout;
      if (full && !present) return false;
      if (present && f.offset_in(full) + storage_size(f.storage) > length) return false;
    }
  }
  return true;
}
static_assert(block_fits_layouts(BASE_BLOCK) && block_fits_layouts(SECTION_ID_TELM1) &&
              block_fits_layouts(SECTION_ID_TELM2) && block_fits_layouts(SECTION_ID_ATTITUDE) &&
              block_fits_layouts(SECTION_ID_GPS));

}  // namespace korvex
