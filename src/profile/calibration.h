// A column's calibration: how a logged value becomes a value in the unit the profile gives it.
// Either a straight line (value = logged × scale + offset) or a table of [logged, value] pairs,
// read piecewise linearly between its pairs and as its end value beyond them (a fuel sender's
// counts to gallons).
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

namespace korvex {

struct Calibration {
  double scale = 1;
  double offset = 0;
  std::vector<std::pair<double, double>> table;  // by logged value, strictly increasing

  // Anything but logged = value.
  bool given() const { return !table.empty() || scale != 1 || offset != 0; }

  double apply(double logged) const {
    if (table.empty()) return logged * scale + offset;
    if (!(logged > table.front().first)) return logged != logged ? logged : table.front().second;
    if (logged >= table.back().first) return table.back().second;
    std::size_t hi = 1;
    while (table[hi].first < logged) ++hi;
    const auto& [x0, y0] = table[hi - 1];
    const auto& [x1, y1] = table[hi];
    return y0 + (y1 - y0) * (logged - x0) / (x1 - x0);
  }

  // The decimals a calibrated value is shown with, for a column logged with `logged` decimals:
  // those the line adds (a scale of 0.1 one, of 0.25 two), or those of the table's values (at
  // least one); at most four.
  int decimals(int logged) const;
};

}  // namespace korvex
