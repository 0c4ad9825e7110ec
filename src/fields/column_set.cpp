#include "fields/column_set.h"

#include <array>

#include "fields/name_match.h"
#include "io/concat.h"

namespace korvex {

namespace {

// The blocks of this log.
std::string names_of_log(SectionFlags sections) {
  std::string text = "this log has the blocks";
  for (int block = BASE_BLOCK; block < BLOCK_COUNT; ++block) {
    if (shows_block(sections, block)) (text += " ") += BLOCK_NAMES[block];
  }
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
  // The columns of the log, and of every block, each with its names: name, label, block.
  std::vector<ColumnRef> shown, every;
  std::vector<ColumnNames> shown_names, every_names;
  for (int block = BASE_BLOCK; block < BLOCK_COUNT; ++block) {
    for (const Field& f : block_fields[block]) {
      ColumnNames names = {column_name(block, f), std::string(f.label),
                           std::string(BLOCK_NAMES[block])};
      if (shows_block(sections, block)) {
        shown.push_back({block, &f});
        shown_names.push_back(names);
      }
      every.push_back({block, &f});
      every_names.push_back(std::move(names));
    }
  }
  const NameChoice choice = choose_names(list, shown_names, "Time");
  if (choice.match == NameMatch::CHOSEN) {
    for (const std::size_t i : choice.chosen) columns.chosen.push_back(shown[i]);
    return true;
  }
  error = choice.error;
  if (choice.match == NameMatch::UNKNOWN) {
    // A column of a block this log lacks, or no column at all.
    const NameChoice anywhere = choose_names(choice.word, every_names);
    if (anywhere.match == NameMatch::CHOSEN) {
      error = concat({"the log has no section that holds ", quoted(choice.word), "; ",
                      names_of_log(sections)});
    } else if (!choice.suggested) {
      error += "; --describe lists the log's columns";
    }
  }
  return false;
}

}  // namespace korvex
