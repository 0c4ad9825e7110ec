#include "aggregation/flight_figures.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

namespace korvex {

namespace {

constexpr double kSecondsPerHour = 3600;
// The value of a column that the record at hand lacks.
constexpr double kAbsent = std::numeric_limits<double>::quiet_NaN();

Figure extremum(FigureKind kind, int block, std::string_view label) {
  return {kind, {block, find_field(block, label)}};
}

int engine_of(int block) {
  return block - SECTION_ID_TELM1;
}

}  // namespace

std::vector<Figure> flight_figures(SectionFlags sections, const Profile& profile) {
  using enum FigureKind;
  std::vector<Figure> figures;
  for (const int id : {SECTION_ID_TELM1, SECTION_ID_TELM2}) {
    if ((sections & section_flag(id)) != 0) figures.push_back(extremum(ENGINE_TIME, id, "RPM"));
  }
  if (shows_block(sections, profile.airborne.column.block)) {
    figures.push_back({AIR_TIME, profile.airborne.column});
    figures.push_back({LANDINGS, profile.airborne.column});
  }
  figures.push_back(extremum(MAX, BASE_BLOCK, "alt"));
  figures.push_back(extremum(MAX, BASE_BLOCK, "ASI"));
  for (const int id : {SECTION_ID_TELM1, SECTION_ID_TELM2}) {
    if ((sections & section_flag(id)) == 0) continue;
    for (const char* label : {"RPM", "MAP", "o-t"}) figures.push_back(extremum(MAX, id, label));
    Figure oil = extremum(MIN, id, "oil-p");
    oil.while_running = true;
    figures.push_back(oil);
    for (int k = 1; k <= THERMOCOUPLES; ++k) {
      figures.push_back({MAX, thermocouple_column(id, k)});
    }
    figures.push_back({FUEL, {id, find_field(id, "flow")}});
  }
  if ((sections & SECTION_GPS) != 0) {
    figures.push_back({DISTANCE, {}});
    figures.push_back(extremum(MAX, SECTION_ID_GPS, "gs"));
  }
  return figures;
}

FlightFigures::FlightFigures(SectionFlags sections, const Profile& profile)
    : figures_(flight_figures(sections, profile)), airborne_(profile.airborne) {
  airborne_decode_ = value_decoder(airborne_.column);
  for (const int id : {SECTION_ID_TELM1, SECTION_ID_TELM2}) {
    if ((sections & section_flag(id)) == 0) continue;
    Engine& e = engines_[engine_of(id)];
    const EngineSetup& setup = *profile.engine(id);
    e.present = true;
    e.running_rpm = setup.running_rpm;
  }
  for (std::size_t i = 0; i < figures_.size(); ++i) {
    const Figure& f = figures_[i];
    switch (f.kind) {
      case FigureKind::ENGINE_TIME:
        engines_[engine_of(f.column.block)].figure = i;
        break;
      case FigureKind::AIR_TIME:
        air_time_ = i;
        break;
      case FigureKind::LANDINGS:
        landings_ = i;
        break;
      case FigureKind::MAX:
      case FigureKind::MIN: {
        const Extremum e{f.column, value_decoder(f.column), f.kind == FigureKind::MAX,
                         f.while_running ? engine_of(f.column.block) : -1, i};
        // The maxima over every record, most of the figures, apart for a tight loop.
        (f.kind == FigureKind::MAX && !f.while_running ? maxima_ : others_).push_back(e);
      } break;
      case FigureKind::FUEL:
        fuel_.push_back({f.column, value_decoder(f.column), i});
        break;
      case FigureKind::DISTANCE:
        distance_ = i;
        break;
    }
  }
  // The engines' RPM, the cylinders' EGTs and CHTs and (mostly) the airborne column are read
  // for their maxima over every record already: whether an engine runs, its EGT spread, its
  // hottest CHT and whether the aircraft flies come from those.
  auto maximum_of = [&](ColumnRef column) -> std::optional<std::size_t> {
    const auto it = std::find_if(maxima_.begin(), maxima_.end(),
                                 [&](const Extremum& e) { return e.is_max && e.column == column; });
    if (it == maxima_.end()) return std::nullopt;
    return static_cast<std::size_t>(it - maxima_.begin());
  };
  for (const int id : {SECTION_ID_TELM1, SECTION_ID_TELM2}) {
    Engine& e = engines_[engine_of(id)];
    if (!e.present) continue;
    const EngineSetup& setup = *profile.engine(id);
    e.rpm = *maximum_of({id, find_field(id, "RPM")});
    for (const int tc : setup.egt) e.egt.push_back(*maximum_of(thermocouple_column(id, tc)));
    for (const int tc : setup.cht) e.cht.push_back(*maximum_of(thermocouple_column(id, tc)));
  }
  airborne_max_ = maximum_of(airborne_.column);
  values_.values.resize(figures_.size());
}

void FlightFigures::start(const FlightFacts& facts) {
  values_.flight = facts.number;
  values_.first_time = values_.last_time = facts.first_time;
  values_.first_layout = values_.last_layout = facts.first_layout;
  values_.records = 0;
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
  for (Extremum& e : maxima_) {
    e.has = false;
    e.value = -std::numeric_limits<double>::infinity();
  }
  for (Extremum& e : others_) e.has = false;
  for (Fuel& fuel : fuel_) fuel = Fuel{fuel.flow, fuel.decode, fuel.figure};
  last_fix_.reset();
  distance_nm_ = 0;
}

void FlightFigures::close_stretch() {
  if (stretch_ && stretch_last_ - stretch_first_ + 1 >= MIN_FLIGHT_RECORDS) ++landings_count_;
  stretch_ = false;
}

void FlightFigures::add(const RecordEvent& event) {
  const std::uint32_t time = event.rec.timestamp;
  values_.last_time = time;
  values_.last_layout = event.rec.revision;
  ++values_.records;
  const RecordView& view = event.view();
  for (Extremum& e : maxima_) {
    const std::uint8_t* at = field_bytes(view, e.column);
    if (at == nullptr) {
      e.current = kAbsent;
      continue;
    }
    const double v = e.decode(at);
    e.current = v;
    e.value = std::max(e.value, v);  // no value is NaN
    e.has = true;
  }
  for (Engine& e : engines_) {
    if (!e.present) continue;
    const double rpm = maxima_[e.rpm].current;
    e.known = e.known || !std::isnan(rpm);
    e.running = rpm >= e.running_rpm;  // false for an absent RPM
    if (!e.running) continue;
    ++e.running_seconds;
    // The spread of the EGTs (the block of a running engine is in the record, and with it every
    // thermocouple).
    if (e.egt.empty()) continue;
    double low = maxima_[e.egt.front()].current, high = low;
    for (const std::size_t k : e.egt) {
      low = std::min(low, maxima_[k].current);
      high = std::max(high, maxima_[k].current);
    }
    if (!e.max_egt_spread || high - low > *e.max_egt_spread) e.max_egt_spread = high - low;
  }
  for (Extremum& e : others_) {
    if (!engines_[e.running_engine].running) continue;
    const std::uint8_t* at = field_bytes(view, e.column);
    if (at == nullptr) continue;
    const double v = e.decode(at);
    if (!e.has || (e.is_max ? v > e.value : v < e.value)) e.value = v;
    e.has = true;
  }
  if (air_time_) {
    std::optional<double> v;
    if (airborne_max_) {
      const double column = maxima_[*airborne_max_].current;
      if (!std::isnan(column)) v = column;
    } else {
      v = read_value(view, airborne_.column, airborne_decode_);
    }
    airborne_known_ = airborne_known_ || v.has_value();
    if (v && *v >= airborne_.min) {
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
  for (Fuel& fuel : fuel_) {
    const std::optional<double> flow = read_value(view, fuel.flow, fuel.decode);
    if (!flow) continue;
    if (fuel.has_flow) fuel.flow_seconds += (fuel.last_flow + *flow) / 2 * (time - fuel.last_time);
    fuel.has_flow = true;
    fuel.last_flow = *flow;
    fuel.last_time = time;
  }
  if (distance_) {
    if (const std::optional<GpsFix>& fix = event.fix()) {
      if (last_fix_) distance_nm_ += distance_nm(*last_fix_, *fix);
      last_fix_ = fix;
    }
  }
}

const FlightValues& FlightFigures::values() const {
  auto set = [&](std::optional<std::size_t> figure, bool known, double value) {
    if (!figure) return;
    values_.values[*figure].reset();
    if (known) values_.values[*figure] = value;
  };
  for (const Engine& e : engines_) {
    set(e.figure, e.known, static_cast<double>(e.running_seconds));
  }
  for (int n = 0; n < ENGINE_COUNT; ++n) {
    const Engine& e = engines_[n];
    CylinderValues& c = values_.cylinders[n];
    c = CylinderValues{};
    c.max_egt_spread = e.max_egt_spread;
    for (std::size_t k = 0; k < e.cht.size(); ++k) {
      const Extremum& cht = maxima_[e.cht[k]];
      if (cht.has && (!c.hottest_cht || cht.value > *c.hottest_cht)) {
        c.hottest_cht = cht.value;
        c.hottest_cylinder = static_cast<int>(k) + 1;
      }
    }
  }
  set(air_time_, airborne_known_, static_cast<double>(air_seconds_));
  const bool landed = stretch_ && stretch_last_ - stretch_first_ + 1 >= MIN_FLIGHT_RECORDS;
  set(landings_, airborne_known_, static_cast<double>(landings_count_ + (landed ? 1 : 0)));
  for (const Extremum& e : maxima_) set(e.figure, e.has, e.value);
  for (const Extremum& e : others_) set(e.figure, e.has, e.value);
  for (const Fuel& fuel : fuel_)
    set(fuel.figure, fuel.has_flow, fuel.flow_seconds / kSecondsPerHour);
  set(distance_, last_fix_.has_value(), distance_nm_);
  return values_;
}

}  // namespace korvex
