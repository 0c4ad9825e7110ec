// The figures of one flight, made from its selected records as they come, as numbers: first
// and last time, records, how long each engine ran, how long the aircraft flew and how often it
// landed, maxima and minima of columns, fuel used per engine monitor and the distance flown, and
// for an engine whose cylinders the profile names its hottest CHT and largest EGT spread.
// Outputs format them.
//
// Which figures a log has depends on its sections: for each engine monitor its engine time;
// air time and landings (when the log has the profile's airborne column); max alt and ASI; for
// each engine monitor max RPM, MAP, o-t, min oil-p (while the engine runs), max tc1..tc12 and
// the fuel used; with GPS the distance and max gs.
//
// An engine runs in a record whose RPM is at least the profile's running RPM; the aircraft is
// airborne in a record whose airborne column is at least its minimum; each such record counts as
// a second. The airborne records form stretches of consecutive records; two stretches with
// fewer than MERGE_GAP records between them are one, from its first record to its last, and a
// stretch of at least MIN_FLIGHT_RECORDS records is a flight that ended in a landing. Fuel used
// is the flow integrated over time, by trapezoids between records that carry it, in the flow's
// own unit × hours; the distance is the great-circle distance between consecutive GPS fixes, in
// nautical miles.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "fields/blocks.h"
#include "profile/profile.h"
#include "selection/flight_events.h"

namespace korvex {

inline constexpr std::int64_t MERGE_GAP = 30;
inline constexpr std::int64_t MIN_FLIGHT_RECORDS = 60;

enum class FigureKind { ENGINE_TIME, AIR_TIME, LANDINGS, MAX, MIN, FUEL, DISTANCE };

struct Figure {
  FigureKind kind;
  // MAX, MIN: the column; ENGINE_TIME: the engine monitor's RPM; AIR_TIME, LANDINGS: the
  // airborne column; FUEL: the engine monitor's flow; DISTANCE: none.
  ColumnRef column;
  bool while_running = false;  // MIN: only over records with its engine running
};

// The figures of a log of these sections, in the order the flights table shows them.
std::vector<Figure> flight_figures(SectionFlags sections, const Profile& profile);

// What an engine's named cylinders did in a flight.
struct CylinderValues {
  std::optional<double> hottest_cht;
  int hottest_cylinder = 0;              // 1, 2, ... in the profile's order
  std::optional<double> max_egt_spread;  // highest less lowest EGT of a record, engine running
};

// A flight's figures at one moment.
struct FlightValues {
  std::int64_t flight = 0;
  std::uint32_t first_time = 0;
  std::uint32_t last_time = 0;
  RecordLayout first_layout = 0;
  RecordLayout last_layout = 0;
  std::int64_t records = 0;
  // One per figure; nothing for a figure over records that all lack its column (or, for a
  // minimum while running, with the engine never running).
  std::vector<std::optional<double>> values;
  CylinderValues cylinders[ENGINE_COUNT];
  std::int64_t findings = 0;  // set by whoever looks for findings

  std::uint32_t seconds() const { return last_time - first_time; }
};

class FlightFigures {
 public:
  FlightFigures(SectionFlags sections, const Profile& profile);

  const std::vector<Figure>& figures() const { return figures_; }
  // Starts the figures of a new flight.
  void start(const FlightFacts& facts);
  void add(const RecordEvent& event);
  // The figures of the flight so far.
  const FlightValues& values() const;

 private:
  void close_stretch();

  std::vector<Figure> figures_;
  // Each engine monitor of the log: when its engine runs, for how long, and its cylinders.
  struct Engine {
    bool present = false;
    std::size_t rpm = 0;  // its maximum among the maxima
    double running_rpm = DEFAULT_RUNNING_RPM;
    std::optional<std::size_t> figure;  // its engine time
    bool known = false;                 // a record of the flight had its RPM
    std::int64_t running_seconds = 0;
    bool running = false;  // in the record at hand
    // The maxima of its cylinders' EGTs and CHTs among the maxima, in the profile's order.
    std::vector<std::size_t> egt, cht;
    std::optional<double> max_egt_spread;
  };
  Engine engines_[ENGINE_COUNT];
  // The airborne column, and its figures.
  AirborneSetup airborne_;
  ValueDecoder airborne_decode_ = nullptr;
  std::optional<std::size_t> airborne_max_;  // its maximum among the maxima, when it has one
  std::optional<std::size_t> air_time_, landings_;
  bool airborne_known_ = false;
  std::int64_t air_seconds_ = 0;
  std::int64_t index_ = 0;  // of the record at hand in the flight
  bool stretch_ = false;    // an airborne stretch is open
  std::int64_t stretch_first_ = 0, stretch_last_ = 0;
  std::int64_t landings_count_ = 0;
  // The maxima and minima, most of the figures, kept apart for a tight loop per record.
  struct Extremum {
    ColumnRef column;
    ValueDecoder decode;
    bool is_max;
    int running_engine;  // the engine that must run (0 or 1), or -1
    std::size_t figure;
    bool has = false;
    double value = 0;
    double current = 0;  // in the record at hand; NaN when it lacks the column
  };
  std::vector<Extremum> maxima_;  // over every record
  std::vector<Extremum> others_;  // minima, and figures over the records with an engine running
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
