#include "aggregation/flight_figures.h"

#include <string>

namespace korvex {

namespace {

constexpr int kTemperatures = 12;
constexpr double kSecondsPerHour = 3600;

Figure extremum(FigureKind kind, int block, std::string_view label) {
  return {kind, {block, find_field(block, label)}};
}

}  // namespace

std::vector<Figure> flight_figures(SectionFlags sections) {
  using enum FigureKind;
  std::vector<Figure> figures = {extremum(MAX, BASE_BLOCK, "alt"),
                                 extremum(MAX, BASE_BLOCK, "ASI")};
  for (const int id : {SECTION_ID_TELM1, SECTION_ID_TELM2}) {
    if ((sections & section_flag(id)) == 0) continue;
    for (const char* label : {"RPM", "MAP", "o-t"}) figures.push_back(extremum(MAX, id, label));
    figures.push_back(extremum(MIN, id, "oil-p"));
    for (int k = 1; k <= kTemperatures; ++k) {
      figures.push_back(extremum(MAX, id, "tc" + std::to_string(k)));
    }
    figures.push_back({FUEL, {id, find_field(id, "flow")}});
  }
  if ((sections & SECTION_GPS) != 0) {
    figures.push_back({DISTANCE, {}});
    figures.push_back(extremum(MAX, SECTION_ID_GPS, "gs"));
  }
  return figures;
}

FlightFigures::FlightFigures(SectionFlags sections) : figures_(flight_figures(sections)) {
  for (std::size_t i = 0; i < figures_.size(); ++i) {
    const Figure& f = figures_[i];
    switch (f.kind) {
      case FigureKind::MAX:
      case FigureKind::MIN:
        extrema_.push_back({f.column, value_decoder(f.column), f.kind == FigureKind::MAX, i});
        break;
      case FigureKind::FUEL:
        fuel_.push_back({f.column, value_decoder(f.column), i});
        break;
      case FigureKind::DISTANCE:
        distance_ = i;
        break;
    }
  }
  values_.values.resize(figures_.size());
}

void FlightFigures::start(const FlightFacts& facts) {
  values_.flight = facts.number;
  values_.first_time = values_.last_time = facts.first_time;
  values_.first_layout = values_.last_layout = facts.first_layout;
  values_.records = 0;
  for (Extremum& e : extrema_) e.has = false;
  for (Fuel& fuel : fuel_) fuel = Fuel{fuel.flow, fuel.decode, fuel.figure};
  last_fix_.reset();
  distance_nm_ = 0;
}

void FlightFigures::add(const RecordEvent& event) {
  const std::uint32_t time = event.rec.timestamp;
  values_.last_time = time;
  values_.last_layout = event.rec.revision;
  ++values_.records;
  const RecordView& view = event.view();
  for (Extremum& e : extrema_) {
    const std::uint8_t* at = field_bytes(view, e.column);
    if (at == nullptr) continue;
    const double v = e.decode(at);
    if (!e.has || (e.is_max ? v > e.value : v < e.value)) e.value = v;
    e.has = true;
  }
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
  for (const Extremum& e : extrema_) {
    values_.values[e.figure].reset();
    if (e.has) values_.values[e.figure] = e.value;
  }
  for (const Fuel& fuel : fuel_) {
    values_.values[fuel.figure].reset();
    if (fuel.has_flow) values_.values[fuel.figure] = fuel.flow_seconds / kSecondsPerHour;
  }
  if (distance_) {
    values_.values[*distance_].reset();
    if (last_fix_) values_.values[*distance_] = distance_nm_;
  }
  return values_;
}

}  // namespace korvex
