// A value as a table shows it to some decimals: the number its text reads (std::to_chars, which
// rounds a tie to even), so that a figure kept as a number equals the one written as text.
#pragma once

#include <charconv>

namespace korvex {

inline double shown_value(double v, int decimals) {
  char text[64];
  const auto written =
      std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, decimals);
  double back = v;
  std::from_chars(text, written.ptr, back);
  return back;
}

}  // namespace korvex
