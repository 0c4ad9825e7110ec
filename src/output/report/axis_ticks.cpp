#include "output/report/axis_ticks.h"

#include <cmath>
#include <cstdio>

#include "record/timestamp.h"

namespace korvex {

namespace {

// 1, 2 or 5 times a power of ten, the first at or above `rough`.
double round_step(double rough) {
  const double magnitude = std::pow(10.0, std::floor(std::log10(rough)));
  for (const double m : {1.0, 2.0, 5.0}) {
    if (m * magnitude >= rough * (1 - 1e-9)) return m * magnitude;
  }
  return 10 * magnitude;
}

}  // namespace

Ticks value_ticks(double min, double max, int count) {
  if (!(max > min)) {  // one value, or none: an axis around it
    const double half = std::fabs(min) > 0 ? std::fabs(min) * 0.1 : 1;
    min -= half;
    max += half;
  }
  Ticks t;
  t.step = round_step((max - min) / std::max(1, count - 1));
  t.low = std::floor(min / t.step) * t.step;
  t.high = std::ceil(max / t.step) * t.step;
  const auto steps = static_cast<int>(std::lround((t.high - t.low) / t.step));
  for (int i = 0; i <= steps; ++i) t.values.push_back(t.low + i * t.step);
  return t;
}

std::string tick_label(double value, double step) {
  const int decimals = step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
  if (std::fabs(value) < step * 1e-6) value = 0;  // no "-0"
  char text[48];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

TimeTicks time_ticks(std::uint32_t start, std::uint32_t end, bool dated, int count,
                     std::int32_t shift) {
  TimeTicks t;
  const double span = end > start ? end - start : 1;
  if (!dated) {
    const double step = round_step(span / 60 / std::max(1, count - 1));  // minutes
    for (double m = 0; m * 60 <= span + 1e-9; m += step) {
      t.times.push_back(start + static_cast<std::uint32_t>(std::lround(m * 60)));
      t.labels.push_back(tick_label(m, step));
    }
    return t;
  }
  constexpr std::uint32_t kClockSteps[] = {60,   120,  300,   600,   900,   1800,
                                           3600, 7200, 10800, 21600, 43200, 86400};
  std::uint32_t step = kClockSteps[std::size(kClockSteps) - 1];
  for (const std::uint32_t s : kClockSteps) {
    if (span / s <= count) {
      step = s;
      break;
    }
  }
  // In 64 bits: a flight near the end of the clock must not wrap round to its start. Round
  // times of the shown clock, `shift` behind the timestamps.
  const std::int64_t first = std::int64_t{start} - shift;
  const std::int64_t last = std::int64_t{end} - shift;
  const std::int64_t s = step;
  for (std::int64_t at = first >= 0 ? (first + s - 1) / s * s : first / s * s; at <= last;
       at += s) {
    const CivilTime c = civil_time(at);
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u", c.hour % 24, c.minute % 60);
    t.times.push_back(static_cast<std::uint32_t>(at + shift));
    t.labels.push_back(text);
  }
  return t;
}

}  // namespace korvex
