// Trends: each flight's cruise figures set against its engine's own baseline, a row per flight of
// a history in time order.
//
// A flight's cruise figures are those of its longest cruise segment (the first of the longest),
// as the cruise table shows them (to the figure's decimals): the medians over it of each engine
// monitor's RPM, manifold pressure, fuel flow, oil temperature and pressure, EGT spread, each named
// cylinder's EGT and CHT, and of TAS and the bus volts; and for each cylinder its EGT and CHT less
// the mean of its engine's cylinders' (its deviation). A flight without cruise has none.
//
// The baseline of a figure is the median and the interquartile range (the third quartile less the
// first; quartiles between order statistics by linear interpolation, at (n - 1) p) of its values
// in the latest `baseline_flights` earlier flights with cruise that have it, when there are at
// least `baseline_min` such. A figure that depends on power (an EGT or CHT, the fuel flow, the oil
// temperature, TAS) takes only the earlier flights whose cruise RPM and manifold pressure are
// within the profile's bands of this flight's (of its engine monitor; TAS: of the first), among
// the latest 10 x `baseline_flights` with cruise. Deviations, the spread, oil pressure, RPM,
// manifold pressure and volts take the earlier flights as they come.
//
// Engine hours to date are the engine times of the flight and every flight before it in the run.
#pragma once

#include <cstdint>
#include <iterator>
#include <limits>
#include <optional>
#include <span>
#include <vector>

#include "aggregation/figures/cruise_figures.h"
#include "aggregation/figures/figure_table.h"
#include "aggregation/figures/flight_figures.h"
#include "aggregation/findings/finding.h"
#include "profile/profile.h"

namespace korvex {

struct TrendFigure {
  FigureId figure;         // the cruise figure it is (a column's median over the segment)
  int decimals = 0;        // of the cruise figure as the cruise table shows it
  bool deviation = false;  // a cylinder's value less the mean of its engine's cylinders'
  int engine = -1;         // 0 or 1 for an engine monitor's figure
  int cylinder = 0;        // 1, 2, ... in the profile's order, of an EGT or a CHT
  bool egt = false;        // of a cylinder: its EGT, else its CHT
  bool by_power = false;   // compared only with flights of similar cruise power
  // The least distance from the baseline's median that is drift; NaN: it is not watched.
  double drift_min = std::numeric_limits<double>::quiet_NaN();
};

// The trend figures of a log of these figures: per engine monitor its RPM, MAP, flow, oil
// temperature, oil pressure, EGT spread, then each cylinder's EGT, CHT, EGT deviation and CHT
// deviation; then TAS and the bus volts. Those the log has.
std::vector<TrendFigure> trend_figures(const std::vector<FigureId>& figures,
                                       const Profile& profile);

struct Baseline {
  double median = 0;
  double iqr = 0;
  int flights = 0;  // the values it was made of; 0: no baseline
};

struct TrendRow {
  bool cruise = false;  // the flight had a cruise segment: its figures are those of the longest
  std::uint32_t cruise_first = 0, cruise_last = 0;
  RecordLayout cruise_layout = 0;
  double engine_hours[ENGINE_COUNT] = {};  // to date; NaN for an engine without time
  std::vector<double> values;              // by trend figure; NaN where none
  std::vector<Baseline> baselines;         // by trend figure
  int flights = 0;                         // the earlier flights with cruise looked at
  int power_flights[ENGINE_COUNT] = {};    // of those, within the bands of power
  std::vector<Finding> drifts;  // that this flight completes (of earlier first flights too)
};

class TrendAnalysis {
 public:
  TrendAnalysis(std::vector<TrendFigure> figures, const std::vector<FigureId>& log_figures,
                const TrendSetup& setup);

  const std::vector<TrendFigure>& figures() const { return figures_; }
  // The next flight in time order, with its cruise segments: its row, until the next.
  const TrendRow& add(const FlightSummary& flight, std::span<const CruiseSegment> segments);

 private:
  struct Past {
    std::vector<double> values;
    double rpm[ENGINE_COUNT] = {}, map[ENGINE_COUNT] = {};
  };
  // A past flight's cruise power is within the bands of the row's, for `engine`.
  bool similar(const Past& past, int engine) const;
  // The watch of each figure for drift, after the row's figures and baselines.
  void watch(const FlightSummary& flight, const CruiseSegment& segment);

  // A figure's flights in a row away from their baseline on one side, so far.
  struct Streak {
    int flights = 0;  // 0: none
    int side = 0;     // +1 above the median, -1 below
    bool found = false;
    Finding finding;  // as it will be when found
  };
  std::vector<Streak> streaks_;  // by figure

  std::vector<TrendFigure> figures_;
  TrendSetup setup_;
  std::optional<FigureId> rpm_[ENGINE_COUNT], map_[ENGINE_COUNT], engine_time_[ENGINE_COUNT];
  int rpm_decimals_[ENGINE_COUNT] = {}, map_decimals_[ENGINE_COUNT] = {};
  std::vector<Past> past_;  // a ring of the latest flights with cruise
  std::size_t next_ = 0;    // where the next goes
  std::size_t held_ = 0;
  double seconds_[ENGINE_COUNT] = {};  // engine time so far
  bool timed_[ENGINE_COUNT] = {};
  TrendRow row_;
  double row_rpm_[ENGINE_COUNT] = {}, row_map_[ENGINE_COUNT] = {};  // the row's cruise power
  std::vector<double> scratch_;
};

// The quantile `p` (0 to 1) of values sorted ascending, between order statistics by linear
// interpolation at (n - 1) p.
double quantile(std::span<const double> sorted, double p);

}  // namespace korvex
