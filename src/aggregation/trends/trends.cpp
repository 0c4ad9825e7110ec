#include "aggregation/trends/trends.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "aggregation/values/shown.h"

namespace korvex {

namespace {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
constexpr int kSearchedFlights = 10;  // times baseline_flights, for a baseline of power

// The cruise figure of a column among the log's, or nothing.
std::optional<FigureId> cruise_figure(const std::vector<FigureId>& figures, ColumnRef column,
                                      FigureKind kind = FigureKind::CRUISE) {
  for (const FigureId id : figures) {
    const FigureTraits& f = FIGURES[id];
    if (f.kind == kind && f.column.block == column.block && f.column.field == column.field) {
      return id;
    }
  }
  return std::nullopt;
}

ColumnRef engine_column(int block, std::string_view label) {
  return {block, find_field(SECTION_ID_TELM1, label)};
}

}  // namespace

std::vector<TrendFigure> trend_figures(const std::vector<FigureId>& figures,
                                       const Profile& profile) {
  std::vector<TrendFigure> out;
  for (int engine = 0; engine < ENGINE_COUNT; ++engine) {
    const int block = SECTION_ID_TELM1 + engine;
    for (const std::string_view label : {"RPM", "MAP", "flow", "o-t", "oil-p"}) {
      if (const auto id = cruise_figure(figures, engine_column(block, label))) {
        const bool by_power = label == "flow" || label == "o-t";
        out.push_back({*id, figure_decimals(*id, profile), false, engine, 0, false, by_power});
        out.back().drift_min = label == "flow"    ? DEFAULT_DRIFT_FLOW
                               : label == "o-t"   ? DEFAULT_DRIFT_OIL_T
                               : label == "oil-p" ? DEFAULT_DRIFT_OIL_P
                                                  : kNone;
      }
    }
    if (const auto id =
            cruise_figure(figures, engine_column(block, "tc1"), FigureKind::CRUISE_SPREAD)) {
      out.push_back({*id, figure_decimals(*id, profile), false, engine, 0, false, false});
    }
    const EngineSetup* setup = profile.engine(block);
    if (setup == nullptr) continue;
    for (const bool deviation : {false, true}) {
      for (const bool egt : {true, false}) {
        const std::vector<int>& tcs = egt ? setup->egt : setup->cht;
        for (std::size_t c = 0; c < tcs.size(); ++c) {
          if (const auto id = cruise_figure(figures, thermocouple_column(block, tcs[c]))) {
            out.push_back({*id, figure_decimals(*id, profile), deviation, engine,
                           static_cast<int>(c) + 1, egt, !deviation});
            if (deviation) out.back().drift_min = egt ? setup->drift_egt_min : setup->drift_cht_min;
          }
        }
      }
    }
  }
  for (const std::string_view label : {"TAS", "m-v"}) {
    if (const auto id = cruise_figure(figures, {BASE_BLOCK, find_field(BASE_BLOCK, label)})) {
      out.push_back({*id, figure_decimals(*id, profile), false, -1, 0, false, label == "TAS"});
      if (label == "m-v") out.back().drift_min = DEFAULT_DRIFT_VOLTS;
    }
  }
  // A column's own least drift, of any figure but a deviation.
  for (TrendFigure& f : out) {
    const ColumnSetup* setup = profile.setup(FIGURES[f.figure].column);
    if (!f.deviation && setup != nullptr && setup->drift_min) f.drift_min = *setup->drift_min;
  }
  return out;
}

double quantile(std::span<const double> sorted, double p) {
  const double at = static_cast<double>(sorted.size() - 1) * p;
  const auto low = static_cast<std::size_t>(std::floor(at));
  const std::size_t high = std::min(low + 1, sorted.size() - 1);
  return sorted[low] + (sorted[high] - sorted[low]) * (at - static_cast<double>(low));
}

TrendAnalysis::TrendAnalysis(std::vector<TrendFigure> figures,
                             const std::vector<FigureId>& log_figures, const TrendSetup& setup)
    : figures_(std::move(figures)), setup_(setup) {
  for (int engine = 0; engine < ENGINE_COUNT; ++engine) {
    const int block = SECTION_ID_TELM1 + engine;
    rpm_[engine] = cruise_figure(log_figures, engine_column(block, "RPM"));
    map_[engine] = cruise_figure(log_figures, engine_column(block, "MAP"));
    engine_time_[engine] =
        cruise_figure(log_figures, engine_column(block, "RPM"), FigureKind::ENGINE_TIME);
    for (const TrendFigure& f : figures_) {
      if (rpm_[engine] == f.figure) rpm_decimals_[engine] = f.decimals;
      if (map_[engine] == f.figure) map_decimals_[engine] = f.decimals;
    }
  }
  past_.resize(static_cast<std::size_t>(setup.baseline_flights) * kSearchedFlights);
  for (Past& p : past_) p.values.resize(figures_.size());
  row_.values.resize(figures_.size());
  row_.baselines.resize(figures_.size());
  streaks_.resize(figures_.size());
  for (std::size_t k = 0; k < figures_.size(); ++k) {
    const TrendFigure& f = figures_[k];
    Finding& d = streaks_[k].finding;
    d.kind = FindingKind::DRIFT;
    d.column = FIGURES[f.figure].column;
    d.engine = f.engine;
    d.deviation = f.deviation;
    d.order = static_cast<int>(k);
    d.values.reserve(static_cast<std::size_t>(setup.drift_flights));
  }
  scratch_.reserve(static_cast<std::size_t>(setup.baseline_flights));
}

bool TrendAnalysis::similar(const Past& past, int engine) const {
  // A difference the band holds, its ends too (20.5 and 19.7 are 0.8 apart, not a bit more).
  const auto within = [](double now, double then, double band) {
    return std::isnan(now) || std::abs(then - now) <= band * (1 + 1e-9);  // false for NaN `then`
  };
  return within(row_rpm_[engine], past.rpm[engine], setup_.power_rpm) &&
         within(row_map_[engine], past.map[engine], setup_.power_map);
}

const TrendRow& TrendAnalysis::add(const FlightSummary& flight,
                                   std::span<const CruiseSegment> segments) {
  for (int engine = 0; engine < ENGINE_COUNT; ++engine) {
    const std::optional<FigureId>& time = engine_time_[engine];
    if (time && flight.figures[*time]) {
      seconds_[engine] += *flight.figures[*time];
      timed_[engine] = true;
    }
    row_.engine_hours[engine] = timed_[engine] ? seconds_[engine] / 3600 : kNone;
  }
  const CruiseSegment* longest = nullptr;
  for (const CruiseSegment& s : segments) {
    if (longest == nullptr || s.seconds() > longest->seconds()) longest = &s;
  }
  row_.cruise = longest != nullptr;
  std::fill(row_.values.begin(), row_.values.end(), kNone);
  std::fill(row_.baselines.begin(), row_.baselines.end(), Baseline{});
  const auto plain = static_cast<std::size_t>(setup_.baseline_flights);
  row_.flights = static_cast<int>(std::min(plain, held_));
  std::fill(std::begin(row_.power_flights), std::end(row_.power_flights), 0);
  row_.drifts.clear();
  if (longest == nullptr) return row_;
  row_.cruise_first = longest->first_time;
  row_.cruise_last = longest->last_time;
  row_.cruise_layout = longest->first_layout;
  const auto value = [&](FigureId id, int decimals) {
    return longest->figures[id] ? shown_value(*longest->figures[id], decimals) : kNone;
  };
  for (int engine = 0; engine < ENGINE_COUNT; ++engine) {
    row_rpm_[engine] = rpm_[engine] ? value(*rpm_[engine], rpm_decimals_[engine]) : kNone;
    row_map_[engine] = map_[engine] ? value(*map_[engine], map_decimals_[engine]) : kNone;
  }
  // The means of each engine's EGTs and CHTs, for the deviations.
  double sum[ENGINE_COUNT][2] = {}, count[ENGINE_COUNT][2] = {};
  for (const TrendFigure& f : figures_) {
    const double v = value(f.figure, f.decimals);
    if (f.cylinder == 0 || f.deviation || std::isnan(v)) continue;
    sum[f.engine][f.egt ? 0 : 1] += v;
    count[f.engine][f.egt ? 0 : 1] += 1;
  }
  for (std::size_t k = 0; k < figures_.size(); ++k) {
    const TrendFigure& f = figures_[k];
    double v = value(f.figure, f.decimals);
    if (f.deviation) v -= sum[f.engine][f.egt ? 0 : 1] / count[f.engine][f.egt ? 0 : 1];
    row_.values[k] = v;
  }
  // The baselines, from the latest earlier flights on.
  for (int engine = 0; engine < ENGINE_COUNT; ++engine) {
    int similar_flights = 0;
    for (std::size_t back = 1; back <= held_ && similar_flights < setup_.baseline_flights; ++back) {
      if (similar(past_[(next_ + past_.size() - back) % past_.size()], engine)) ++similar_flights;
    }
    row_.power_flights[engine] = similar_flights;
  }
  for (std::size_t k = 0; k < figures_.size(); ++k) {
    const TrendFigure& f = figures_[k];
    const int power_engine = f.engine >= 0 ? f.engine : (rpm_[0] || map_[0] ? 0 : 1);
    scratch_.clear();
    for (std::size_t back = 1; back <= held_ && scratch_.size() < plain; ++back) {
      const Past& p = past_[(next_ + past_.size() - back) % past_.size()];
      if (std::isnan(p.values[k]) || (f.by_power && !similar(p, power_engine))) continue;
      scratch_.push_back(p.values[k]);
    }
    if (scratch_.size() < static_cast<std::size_t>(setup_.baseline_min)) continue;
    std::sort(scratch_.begin(), scratch_.end());
    Baseline& b = row_.baselines[k];
    b.median = quantile(scratch_, 0.5);
    b.iqr = quantile(scratch_, 0.75) - quantile(scratch_, 0.25);
    b.flights = static_cast<int>(scratch_.size());
  }
  watch(flight, *longest);
  // This flight, for the rows to come.
  Past& kept = past_[next_];
  std::copy(row_.values.begin(), row_.values.end(), kept.values.begin());
  std::copy(std::begin(row_rpm_), std::end(row_rpm_), std::begin(kept.rpm));
  std::copy(std::begin(row_map_), std::end(row_map_), std::begin(kept.map));
  next_ = (next_ + 1) % past_.size();
  held_ = std::min(held_ + 1, past_.size());
  return row_;
}

void TrendAnalysis::watch(const FlightSummary& flight, const CruiseSegment& segment) {
  for (std::size_t k = 0; k < figures_.size(); ++k) {
    const TrendFigure& f = figures_[k];
    const Baseline& b = row_.baselines[k];
    const double v = row_.values[k];
    // A flight without the figure or a baseline leaves the streak as it stands.
    if (std::isnan(f.drift_min) || std::isnan(v) || b.flights == 0) continue;
    Streak& s = streaks_[k];
    const double away = v - b.median;
    const double bound = std::max(setup_.drift_iqr * b.iqr, f.drift_min);
    const int side = away > 0 ? 1 : -1;
    if (std::abs(away) <= setup_.drift_iqr * b.iqr || std::abs(away) < f.drift_min) {
      s.flights = 0;
      s.found = false;
      continue;
    }
    Finding& d = s.finding;
    if (s.flights == 0 || side != s.side) {
      s.flights = 0;
      s.side = side;
      s.found = false;
      d.flight = flight.flight;
      d.flight_id = flight.flight_id;
      d.first_time = segment.first_time;
      d.last_time = segment.last_time;
      d.first_layout = segment.first_layout;
      d.last_layout = segment.last_layout;
      d.limit = b.median + side * bound;
      d.peak = v;
      d.baseline_median = b.median;
      d.baseline_iqr = b.iqr;
      d.baseline_flights = b.flights;
      d.values.clear();
    }
    ++s.flights;
    if (s.found) continue;
    d.values.push_back(v);
    if (std::abs(v - b.median) > std::abs(d.peak - d.baseline_median)) d.peak = v;
    if (s.flights == setup_.drift_flights) {
      s.found = true;
      row_.drifts.push_back(d);
    }
  }
}

}  // namespace korvex
