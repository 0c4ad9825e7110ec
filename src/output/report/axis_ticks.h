// The ticks of a chart's axes: a few round values that cover the data. Values use steps of 1, 2
// or 5 times a power of ten; times of day use round clock steps (1, 2, 5, 10, 15, 30 minutes, 1,
// 2, 3, 6, 12 hours) and are labelled HH:MM; raw times are minutes from the start.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvex {

struct Ticks {
  double low;  // the axis runs from low to high, both round
  double high;
  double step;
  std::vector<double> values;  // low, low + step, ... high
};

// Round ticks for data from `min` to `max`, about `count` of them.
Ticks value_ticks(double min, double max, int count = 5);

// The text of a tick value: as few decimals as the step needs.
std::string tick_label(double value, double step);

// Ticks on a time axis from `start` to `end` (timestamps): for a dated flight at round clock
// times, labelled HH:MM, on a clock `shift` seconds behind the timestamps' (UTC for a clock
// that runs that far ahead); for raw times every round number of minutes from the start,
// labelled with that number.
struct TimeTicks {
  std::vector<std::uint32_t> times;
  std::vector<std::string> labels;
};
TimeTicks time_ticks(std::uint32_t start, std::uint32_t end, bool dated, int count = 6,
                     std::int32_t shift = 0);

}  // namespace korvex
