// The cells of a line of csv (RFC 4180): separated by commas, a cell in double quotes may hold
// commas, and a doubled quote inside one stands for a quote.
#pragma once

#include <string>
#include <vector>

namespace korvex::test {

inline std::vector<std::string> csv_cells(const std::string& line) {
  std::vector<std::string> cells(1);
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
      cells.back() += '"';
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      cells.emplace_back();
    } else {
      cells.back() += c;
    }
  }
  return cells;
}

}  // namespace korvex::test
