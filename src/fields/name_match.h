// Names as people type them, for --columns: the words of a comma-separated list matched against
// a table's columns, each of which may go by several names (its name, its classic label, its
// block). A word matches
//   1. the columns of a name equal to it;
//   2. else, without regard to case, the columns of the one name equal to it so (two names that
//      differ only in case make the word ambiguous);
//   3. else, as a shell pattern with * and ? (telm1_tc*, *oil*), every column one of whose names
//      it matches, without regard to case;
//   4. else, as a range STEMn-STEMm of numbered names (tc1-tc6, telm1_tc7-telm1_tc12), the
//      columns of STEMn to STEMm, each matched as in 1 and 2.
// The columns a word matches come in table order; a column already chosen keeps its first place.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace korvex {

// The names of one column.
using ColumnNames = std::vector<std::string>;

enum class NameMatch {
  CHOSEN,     // every word matched; `chosen` holds the columns' indices
  UNKNOWN,    // `word` matched nothing (`error` says so and suggests names)
  AMBIGUOUS,  // `word` matched names that differ only in case (`error` names them)
};

struct NameChoice {
  NameMatch match = NameMatch::CHOSEN;
  std::vector<std::size_t> chosen;  // indices into the columns, in the order chosen
  std::string word;                 // the word that failed
  std::string error;
  bool suggested = false;  // UNKNOWN: the error suggests the closest names
};

// Matches every word of `list` against `columns` (in table order). `ignored`: a word that
// matches nothing and is no error (such as Time, which is always shown).
NameChoice choose_names(std::string_view list, const std::vector<ColumnNames>& columns,
                        std::string_view ignored = {});

// Up to three names of `columns` closest to `word` (by edit distance, without regard to case),
// close enough to be a likely typing slip, or holding the word; empty when none is.
std::vector<std::string> closest_names(std::string_view word,
                                       const std::vector<ColumnNames>& columns);

// Whether `text` matches the shell pattern `pattern` (* any run, ? any one character),
// without regard to case.
bool matches_pattern(std::string_view pattern, std::string_view text);

}  // namespace korvex
