#include "fields/column_set.h"

#include <array>

#include "io/concat.h"

namespace korvex {

namespace {

// The names a user may give for this log: blocks, then columns.
std::string names_of_log(SectionFlags sections) {
  std::string text = "this log has the blocks";
  for (int block = BASE_BLOCK; block < BLOCK_COUNT; ++block) {
    if (shows_block(sections, block)) (text += " ") += BLOCK_NAMES[block];
  }
  text += " and the columns";
  for_each_column(sections,
                  [&](int block, const Field& f) { (text += " ") += column_name(block, f); });
  return text;
}

}  // namespace

std::string column_name(int block, const Field& f) {
  if (!f.analysis_name.empty()) return std::string(f.analysis_name);
  std::string name = std::string(block_name_prefix[block]) + std::string(f.label);
  for (char& c : name) c = c == '-' ? '_' : c;
  return name;
}

std::optional<ColumnRef> find_column(std::string_view name) {
  for (int block = BASE_BLOCK; block < BLOCK_COUNT; ++block) {
    for (const Field& f : block_fields[block]) {
      if (column_name(block, f) == name) return ColumnRef{block, &f};
    }
  }
  return std::nullopt;
}

bool choose_columns(std::string_view list, SectionFlags sections, ColumnSet& columns,
                    std::string& error) {
  columns = ColumnSet(sections);
  columns.all = false;
  // A column named again (by its name, its label or its block) keeps its first place.
  std::array<std::array<bool, MAX_BLOCK_FIELDS>, BLOCK_COUNT> taken{};
  while (true) {
    const std::size_t comma = list.find(',');
    const std::string_view name = list.substr(0, comma);
    bool matched = false;          // the name is a column of this log's blocks
    bool named_elsewhere = false;  // the name exists, in a section this log lacks
    for (int block = BASE_BLOCK; block < BLOCK_COUNT; ++block) {
      const bool shown = shows_block(sections, block);
      for (const Field& f : block_fields[block]) {
        if (name != BLOCK_NAMES[block] && name != f.label && name != column_name(block, f))
          continue;
        matched = matched || shown;
        if (shown) {
          bool& once = taken[static_cast<std::size_t>(block)][field_index(block, f)];
          if (!once) columns.chosen.push_back({block, &f});
          once = true;
        } else {
          named_elsewhere = true;
        }
      }
    }
    if (!matched && name != "Time") {
      error = concat({named_elsewhere ? "the log has no section that holds " : "unknown column ",
                      quoted(name), "; ", names_of_log(sections)});
      return false;
    }
    if (comma == std::string_view::npos) return true;
    list.remove_prefix(comma + 1);
  }
}

}  // namespace korvex
