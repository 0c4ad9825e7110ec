// The figures of one flight, made from its selected records as they come, as numbers: first
// and last time, records, maxima and minima of columns, fuel used per engine monitor and the
// distance flown. Outputs format them.
//
// Which figures a log has depends on its sections: max alt and ASI; for each engine monitor max
// RPM, MAP, o-t, min oil-p, max tc1..tc12 and the fuel used; with GPS the distance and max gs.
// Fuel used is the flow integrated over time, by trapezoids between records that carry it, in
// the flow's own unit × hours; the distance is the great-circle distance between consecutive
// GPS fixes, in nautical miles.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "fields/blocks.h"
#include "selection/flight_events.h"

namespace korvex {

enum class FigureKind { MAX, MIN, FUEL, DISTANCE };

struct Figure {
  FigureKind kind;
  ColumnRef column;  // MAX, MIN: the column; FUEL: the engine monitor's flow; DISTANCE: none
};

// The figures of a log of these sections, in the order the flights table shows them.
std::vector<Figure> flight_figures(SectionFlags sections);

// A flight's figures at one moment.
struct FlightValues {
  std::int64_t flight = 0;
  std::uint32_t first_time = 0;
  std::uint32_t last_time = 0;
  RecordLayout first_layout = 0;
  RecordLayout last_layout = 0;
  std::int64_t records = 0;
  // One per figure; nothing for a figure over records that all lack its column.
  std::vector<std::optional<double>> values;

  std::uint32_t seconds() const { return last_time - first_time; }
};

class FlightFigures {
 public:
  explicit FlightFigures(SectionFlags sections);

  const std::vector<Figure>& figures() const { return figures_; }
  // Starts the figures of a new flight.
  void start(const FlightFacts& facts);
  void add(const RecordEvent& event);
  // The figures of the flight so far.
  const FlightValues& values() const;

 private:
  std::vector<Figure> figures_;
  // The maxima and minima, most of the figures, kept apart for a tight loop per record.
  struct Extremum {
    ColumnRef column;
    ValueDecoder decode;
    bool is_max;
    std::size_t figure;
    bool has = false;
    double value = 0;
  };
  std::vector<Extremum> extrema_;
  struct Fuel {
    ColumnRef flow;
    ValueDecoder decode;
    std::size_t figure;
    bool has_flow = false;  // the flow and time of the last record that had one
    double last_flow = 0;
    std::uint32_t last_time = 0;
    double flow_seconds = 0;
  };
  std::vector<Fuel> fuel_;
  std::optional<std::size_t> distance_;  // its figure
  std::optional<GpsFix> last_fix_;
  double distance_nm_ = 0;
  mutable FlightValues values_;
};

}  // namespace korvex
