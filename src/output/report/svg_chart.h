// The charts of the report, as inline SVG: lines against time with labelled axes (a right axis
// for a second scale), round ticks, a legend naming each line by its column and a <title>; and
// the plan view of a GPS track, longitude scaled by the cosine of the mean latitude so that the
// shape is true, with its start and end marked.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "output/cells/time_cell.h"
#include "output/report/series.h"

namespace korvex {

struct ChartLine {
  std::string name;
  int axis = 0;  // 0: the left axis, 1: the right one (its lines below those of the left)
  const Series* series = nullptr;
  std::string unit;                            // of its values, for the axis title
  std::optional<double> min_limit, max_limit;  // drawn dashed across the plot
};

// A stretch of time shaded on a chart: a finding's.
struct TimeStretch {
  std::uint32_t first, last;
};

// A stretch of consecutive records of one phase (its number in the order of PHASE_NAMES).
struct PhaseStretch {
  std::uint32_t first, last;
  std::uint8_t phase;
};

// What a chart shows along its time axis beside the lines: the findings' stretches, shaded; the
// phases, a band of colour at the foot of the plot (each stretch titled with its phase); the
// cruise segments, shaded lightly and marked above the band.
struct TimeMarks {
  std::vector<TimeStretch> findings;
  const std::vector<PhaseStretch>* phases = nullptr;
  const std::vector<TimeStretch>* cruise = nullptr;
};

// The colour of each phase in the band, in the order of PHASE_NAMES.
inline constexpr const char* PHASE_COLOURS[] = {"#b7bfc8", "#8d6e63", "#ff9800", "#e53935",
                                                "#43a047", "#1e88e5", "#8e24aa", "#fdd835"};

// Values an axis shows at least, beside those of its lines: for charts that share one scale.
struct ValueRange {
  double low, high;
};

struct TimeAxis {
  std::uint32_t start;
  std::uint32_t end;
  bool dated;          // HH:MM on the clock, else minutes from the start
  TimeZone zone = {};  // the clock of HH:MM
};

// Appends the chart to `out`; lines without values are left out of it. The left axis covers
// `left_range` too, when given; `marks` go along the time axis.
void write_line_chart(std::string& out, const std::string& id, const std::string& title,
                      const std::vector<ChartLine>& lines, const TimeAxis& axis,
                      const std::optional<ValueRange>& left_range = std::nullopt,
                      const TimeMarks& marks = {});

void write_track_chart(std::string& out, const std::string& id, const std::string& title,
                       const TrackLine& track);

// The chart area of a line chart, in SVG units, for tests.
inline constexpr int CHART_WIDTH = 760;
inline constexpr int CHART_HEIGHT = 250;

}  // namespace korvex
