// The columns an output shows: every column of the blocks the log's section set holds, or the
// ones a user chose by name, in the order given (Time always comes first and is no member).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fields/blocks.h"

namespace korvex {

struct ColumnSet {
  ColumnSet() = default;
  // Every column of the blocks of `sections`.
  explicit ColumnSet(SectionFlags shown) : sections(shown) {}

  SectionFlags sections = 0;
  bool all = true;                // every column of the shown blocks, in table order
  std::vector<ColumnRef> chosen;  // when not all
  bool phase = false;             // the phase of each record, after the flight (csv and tsv)

  // The number of columns shown.
  std::size_t count() const {
    if (!all) return chosen.size();
    std::size_t n = 0;
    for_each_column(sections, [&n](int, const Field&) { ++n; });
    return n;
  }

  // Calls fn(column) for every column shown, in order.
  template <typename Fn>
  void for_each(Fn&& fn) const {
    if (!all) {
      for (const ColumnRef& c : chosen) fn(c);
      return;
    }
    for_each_column(sections, [&](int block, const Field& f) { fn(ColumnRef{block, &f}); });
  }
};

// The block names, by block.
inline constexpr std::string_view BLOCK_NAMES[BLOCK_COUNT] = {"base", "telm1", "telm2", "attitude",
                                                              "gps"};

// A column's name, unique among all columns: its label with each '-' made '_', after the
// block's prefix, unless the table gives it a name of its own (telm1_RPM, att_hdg).
std::string column_name(int block, const Field& f);

// The column whose name (as above) is `name`, in any block; nothing when none is.
std::optional<ColumnRef> find_column(std::string_view name);

// The columns named in `list` (comma-separated): column names (telm1_RPM, gps_hdg), classic
// labels (RPM: every column with that label) and block names. A column named more than once
// (again, or through its label or its block) is shown once, at its first place. False, with `error`
// listing the names this log has, for a name it does not have.
bool choose_columns(std::string_view list, SectionFlags sections, ColumnSet& columns,
                    std::string& error);

}  // namespace korvex
