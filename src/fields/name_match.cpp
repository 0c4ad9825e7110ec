#include "fields/name_match.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "io/ascii.h"
#include "io/concat.h"

namespace korvex {

namespace {

constexpr std::size_t kLongestName = 40;  // longer than any column's name

constexpr char lower(char c) {
  return ascii_lower(c);
}

bool contains_ignoring_case(std::string_view text, std::string_view part) {
  if (part.size() < 2) return false;
  return std::search(text.begin(), text.end(), part.begin(), part.end(),
                     [](char x, char y) { return lower(x) == lower(y); }) != text.end();
}

// The edit distance of two words, without regard to case.
std::size_t distance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min(
          {row[j] + 1, row[j - 1] + 1, diagonal + (lower(a[i - 1]) == lower(b[j - 1]) ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// The columns named `word` exactly, or else without regard to case; AMBIGUOUS when the latter
// finds names that differ only in case.
NameMatch by_name(std::string_view word, const std::vector<ColumnNames>& columns,
                  std::vector<std::size_t>& found, std::string& error) {
  const std::size_t before = found.size();
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (std::find(columns[i].begin(), columns[i].end(), word) != columns[i].end()) {
      found.push_back(i);
    }
  }
  if (found.size() > before) return NameMatch::CHOSEN;
  std::vector<std::string> spellings;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    for (const std::string& name : columns[i]) {
      if (!equal_ignoring_case(name, word)) continue;
      if (std::find(spellings.begin(), spellings.end(), name) == spellings.end()) {
        spellings.push_back(name);
      }
      if (found.size() == before || found.back() != i) found.push_back(i);
    }
  }
  if (spellings.size() > 1) {
    error = concat({"the column ", quoted(word), " is ambiguous: ", spellings[0]});
    for (std::size_t k = 1; k < spellings.size(); ++k) {
      error += concat({k + 1 == spellings.size() ? " or " : ", ", spellings[k]});
    }
    found.resize(before);
    return NameMatch::AMBIGUOUS;
  }
  return found.size() == before ? NameMatch::UNKNOWN : NameMatch::CHOSEN;
}

// STEMn-STEMm: the stem, n and m; false when the word is no such range.
bool split_range(std::string_view word, std::string_view& stem, unsigned& first, unsigned& last) {
  const std::size_t dash = word.find('-');
  if (dash == std::string_view::npos || word.find('-', dash + 1) != std::string_view::npos) {
    return false;
  }
  const auto numbered = [](std::string_view part, std::string_view& stem_of, unsigned& n) {
    std::size_t digits = part.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(part[digits - 1])) != 0) {
      --digits;
    }
    if (digits == part.size() || digits == 0 || part.size() - digits > 4) return false;
    stem_of = part.substr(0, digits);
    std::from_chars(part.data() + digits, part.data() + part.size(), n);
    return true;
  };
  std::string_view second;
  return numbered(word.substr(0, dash), stem, first) &&
         numbered(word.substr(dash + 1), second, last) && equal_ignoring_case(stem, second) &&
         first <= last;
}

}  // namespace

bool matches_pattern(std::string_view pattern, std::string_view text) {
  // Iterative matching with one point to return to after a *.
  std::size_t p = 0, t = 0, star = std::string_view::npos, from = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      from = t;
    } else if (p < pattern.size() && (pattern[p] == '?' || lower(pattern[p]) == lower(text[t]))) {
      ++p;
      ++t;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      t = ++from;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::vector<std::string> closest_names(std::string_view word,
                                       const std::vector<ColumnNames>& columns) {
  const std::size_t most = std::max<std::size_t>(2, word.size() / 3);
  if (word.size() > kLongestName) return {};  // no name is that long
  std::vector<std::pair<std::size_t, std::string>> near;
  for (const ColumnNames& names : columns) {
    for (const std::string& name : names) {
      // A slip of a letter or two, or the word within a longer name (alt in max_alt).
      const bool within = contains_ignoring_case(name, word);
      const std::size_t apart =
          name.size() > word.size() ? name.size() - word.size() : word.size() - name.size();
      if (!within && apart > most) continue;  // too far apart for a slip, at a glance
      const std::size_t d = distance(word, name);
      if (d > most && !within) continue;
      if (std::none_of(near.begin(), near.end(), [&](const auto& n) { return n.second == name; })) {
        near.emplace_back(d, name);
      }
    }
  }
  std::stable_sort(near.begin(), near.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> names;
  for (std::size_t i = 0; i < near.size() && i < 3; ++i) names.push_back(near[i].second);
  return names;
}

NameChoice choose_names(std::string_view list, const std::vector<ColumnNames>& columns,
                        std::string_view ignored) {
  NameChoice choice;
  std::vector<bool> taken(columns.size(), false);
  for (std::size_t at = 0; at <= list.size();) {
    const std::size_t comma = std::min(list.find(',', at), list.size());
    const std::string_view word = list.substr(at, comma - at);
    at = comma + 1;
    std::vector<std::size_t> found;
    NameMatch match = by_name(word, columns, found, choice.error);
    std::string_view stem;
    unsigned first = 0, last = 0;
    if (match == NameMatch::UNKNOWN && word.find_first_of("*?") != std::string_view::npos) {
      for (std::size_t i = 0; i < columns.size(); ++i) {
        if (std::any_of(columns[i].begin(), columns[i].end(),
                        [&](const std::string& name) { return matches_pattern(word, name); })) {
          found.push_back(i);
        }
      }
      if (!found.empty()) match = NameMatch::CHOSEN;
    } else if (match == NameMatch::UNKNOWN && split_range(word, stem, first, last)) {
      match = NameMatch::CHOSEN;
      for (unsigned n = first; n <= last && match == NameMatch::CHOSEN; ++n) {
        const std::string member = concat({stem, std::to_string(n)});
        match = by_name(member, columns, found, choice.error);
        if (match == NameMatch::UNKNOWN) {
          choice.error = concat(
              {"the range ", quoted(word), " names ", quoted(member), ", which is no column"});
        }
      }
      if (match != NameMatch::CHOSEN) {
        choice.match = match;
        choice.word = word;
        return choice;
      }
    }
    if (match == NameMatch::UNKNOWN && word == ignored && !ignored.empty()) continue;
    if (match != NameMatch::CHOSEN) {
      choice.match = match;
      choice.word = word;
      if (match == NameMatch::UNKNOWN) {
        choice.error = concat({"unknown column ", quoted(word)});
        const std::vector<std::string> near = closest_names(word, columns);
        for (std::size_t k = 0; k < near.size(); ++k) {
          choice.error += concat({k == 0                 ? "; did you mean "
                                  : k + 1 == near.size() ? " or "
                                                         : ", ",
                                  near[k]});
        }
        if (!near.empty()) choice.error += "?";
        choice.suggested = !near.empty();
      }
      return choice;
    }
    std::sort(found.begin(), found.end());
    for (const std::size_t i : found) {
      if (taken[i]) continue;
      taken[i] = true;
      choice.chosen.push_back(i);
    }
  }
  return choice;
}

}  // namespace korvex
