#include "aggregation/figures/flight_figures.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace korvex {

namespace {

constexpr double kSecondsPerHour = 3600;

}  // namespace

void FlightTotals::add(const FlightSummary& flight) {
  ++flights;
  if (flight.partial_start || flight.partial_end) partial.push_back(flight.flight);
  const auto sum = [&](std::optional<double>& total, FigureId id) {
    if (const std::optional<double>& v = flight.figures[id]) total = total.value_or(0) + *v;
  };
  for (FigureId id = 0; id < FIGURE_COUNT; ++id) {
    const FigureTraits& f = FIGURES[id];
    switch (f.kind) {
      case FigureKind::ENGINE_TIME:
        sum(engine_time[f.engine()], id);
        break;
      case FigureKind::AIR_TIME:
        sum(air_time, id);
        break;
      case FigureKind::LANDINGS:
        sum(landings, id);
        break;
      case FigureKind::FUEL:
        fuel_figure[f.engine()] = id;
        sum(fuel_used[f.engine()], id);
        break;
      default:
        break;
    }
  }
}

FlightFigures::FlightFigures(const std::vector<FigureId>& figures, const Profile& profile,
                             ColumnValues& values)
    : values_(values),
      cruise_(figures, values, FLIGHT_CRUISE_SAMPLE),
      airborne_min_(profile.airborne.min) {
  for (const FigureId id : figures) {
    const FigureTraits& f = FIGURES[id];
    switch (f.kind) {
      case FigureKind::ENGINE_TIME: {
        Engine& e = engines_[f.engine()];
        e.time = id;
        e.rpm = values.add(f.column);
        break;
      }
      case FigureKind::AIR_TIME:
        air_time_ = id;
        break;
      case FigureKind::LANDINGS:
        landings_ = id;
        break;
      case FigureKind::MAX:
      case FigureKind::MIN:
        if (f.kind == FigureKind::MAX && !f.while_running) {
          maxima_.push_back({values.add(f.column), id});
        } else {
          others_.push_back({values.add(f.column), id, f.while_running ? f.engine() : -1,
                             f.kind == FigureKind::MAX});
        }
        break;
      case FigureKind::FIRST:
      case FigureKind::LAST:
        ends_.push_back({values.add(f.column), id, f.kind == FigureKind::LAST});
        break;
      case FigureKind::FUEL:
        fuel_.push_back({values.add(f.column), id});
        break;
      case FigureKind::DISTANCE:
        distance_ = id;
        break;
      case FigureKind::PHASE_TIME:
        phase_time_[static_cast<std::size_t>(f.phase)] = id;
        break;
      case FigureKind::CRUISE:
      case FigureKind::CRUISE_SPREAD:
        break;  // cruise_
    }
  }
  // The hottest CHT of an engine's named cylinders, from their maxima.
  for (int n = 0; n < ENGINE_COUNT; ++n) {
    const int block = SECTION_ID_TELM1 + n;
    if (!engines_[n].time) continue;
    for (const int tc : profile.engine(block)->cht) {
      engines_[n].cht.push_back(values.add(thermocouple_column(block, tc)));
    }
  }
}

void FlightFigures::start() {
  for (Engine& e : engines_) {
    e.known = false;
    e.running_seconds = 0;
    e.max_egt_spread.reset();
  }
  airborne_known_ = false;
  air_seconds_ = 0;
  index_ = 0;
  stretch_ = false;
  landings_count_ = 0;
  for (Extremum& e : others_) e.has = false;
  for (End& e : ends_) e.has = false;
  for (Fuel& fuel : fuel_) fuel = Fuel{fuel.flow, fuel.figure};
  last_fix_.reset();
  distance_nm_ = 0;
  std::fill(std::begin(phase_seconds_), std::end(phase_seconds_), 0);
  phased_ = false;
  cruise_.clear();
}

void FlightFigures::close_stretch() {
  if (stretch_ && stretch_last_ - stretch_first_ + 1 >= MIN_FLIGHT_RECORDS) ++landings_count_;
  stretch_ = false;
}

void FlightFigures::add(const RecordFacts& facts) {
  const ColumnValues& values = facts.values;
  for (int n = 0; n < ENGINE_COUNT; ++n) {
    Engine& e = engines_[n];
    if (!e.time) continue;
    e.known = e.known || !std::isnan(values[e.rpm]);
    if (!facts.running[n]) continue;
    ++e.running_seconds;
    if (const double spread = facts.egt_spread[n]; !std::isnan(spread)) {
      if (!e.max_egt_spread || spread > *e.max_egt_spread) e.max_egt_spread = spread;
    }
  }
  for (Extremum& e : others_) {
    if (e.running_engine >= 0 && !facts.running[e.running_engine]) continue;
    const double v = values[e.value];
    if (std::isnan(v)) continue;
    if (!e.has || (e.is_max ? v > e.extreme : v < e.extreme)) e.extreme = v;
    e.has = true;
  }
  for (End& e : ends_) {
    const double v = values[e.value];
    if (std::isnan(v) || (e.has && !e.last)) continue;
    e.v = v;
    e.has = true;
  }
  if (air_time_) {
    const double v = facts.airborne;
    airborne_known_ = airborne_known_ || !std::isnan(v);
    if (v >= airborne_min_) {  // false for NaN
      ++air_seconds_;
      if (stretch_ && index_ - stretch_last_ - 1 < MERGE_GAP) {
        stretch_last_ = index_;
      } else {
        close_stretch();
        stretch_ = true;
        stretch_first_ = stretch_last_ = index_;
      }
    }
  }
  ++index_;
  if (facts.event.phased) {
    phased_ = true;
    ++phase_seconds_[static_cast<std::size_t>(facts.event.phase)];
    if (facts.event.phase == Phase::CRUISE) cruise_.add(facts);
  }
  const std::uint32_t time = facts.time();
  for (Fuel& fuel : fuel_) {
    const double flow = values[fuel.flow];
    if (std::isnan(flow)) continue;
    if (fuel.has_flow) fuel.flow_seconds += (fuel.last_flow + flow) / 2 * (time - fuel.last_time);
    fuel.has_flow = true;
    fuel.last_flow = flow;
    fuel.last_time = time;
  }
  if (distance_) {
    if (const std::optional<GpsFix>& fix = facts.event.fix()) {
      if (last_fix_) distance_nm_ += distance_nm(*last_fix_, *fix);
      last_fix_ = fix;
    }
  }
}

void FlightFigures::fill(FlightSummary& s) const {
  auto set = [&](std::optional<FigureId> figure, bool known, double value) {
    if (!figure) return;
    s.figures[*figure].reset();
    if (known) s.figures[*figure] = value;
  };
  for (int n = 0; n < ENGINE_COUNT; ++n) {
    const Engine& e = engines_[n];
    set(e.time, e.known, static_cast<double>(e.running_seconds));
    CylinderValues& c = s.cylinders[n];
    c = CylinderValues{};
    c.max_egt_spread = e.max_egt_spread;
    for (std::size_t k = 0; k < e.cht.size(); ++k) {
      const std::optional<double> cht = values_.highest(e.cht[k]);
      if (cht && (!c.hottest_cht || *cht > *c.hottest_cht)) {
        c.hottest_cht = cht;
        c.hottest_cylinder = static_cast<int>(k) + 1;
      }
    }
  }
  set(air_time_, airborne_known_, static_cast<double>(air_seconds_));
  const bool landed = stretch_ && stretch_last_ - stretch_first_ + 1 >= MIN_FLIGHT_RECORDS;
  set(landings_, airborne_known_, static_cast<double>(landings_count_ + (landed ? 1 : 0)));
  for (const Maximum& m : maxima_) {
    const std::optional<double> v = values_.highest(m.value);
    set(m.figure, v.has_value(), v.value_or(0));
  }
  for (const Extremum& e : others_) set(e.figure, e.has, e.extreme);
  for (const End& e : ends_) set(e.figure, e.has, e.v);
  for (const Fuel& fuel : fuel_) {
    set(fuel.figure, fuel.has_flow, fuel.flow_seconds / kSecondsPerHour);
  }
  set(distance_, last_fix_.has_value(), distance_nm_);
  for (std::size_t p = 0; p < PHASE_COUNT; ++p) {
    set(phase_time_[p], phased_, static_cast<double>(phase_seconds_[p]));
  }
  cruise_.fill(s.figures);
}

}  // namespace korvex
