// The figures of one flight, made from its records as they come (see figure_table.h).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "aggregation/figures/cruise_figures.h"
#include "aggregation/figures/figure_table.h"
#include "aggregation/findings/finding.h"
#include "aggregation/values/record_values.h"
#include "fields/gps_fix.h"
#include "profile/profile.h"
#include "selection/flight_events.h"

namespace korvex {

// What an engine's named cylinders did in a flight.
struct CylinderValues {
  std::optional<double> hottest_cht;
  int hottest_cylinder = 0;              // 1, 2, ... in the profile's order
  std::optional<double> max_egt_spread;  // highest less lowest EGT of a record, engine running
};

// A flight as its analysis sums it up: its span, its figures, its cylinders and findings.
struct FlightSummary {
  std::int64_t flight = 0;
  // Its key, that stays the flight's whatever is added to a logbook later: the key a logbook
  // kept for one of its records (the first of them), else the clock of its first record (an
  // earlier flight of the run's key moved on by one until free). Settled when it ends.
  std::int64_t flight_id = 0;
  std::uint32_t first_time = 0;
  std::uint32_t last_time = 0;
  RecordLayout first_layout = 0;
  RecordLayout last_layout = 0;
  std::int64_t records = 0;
  // By figure; nothing for a figure the log lacks, or over records that all lack its column
  // (or, for a minimum while running, with the engine never running).
  std::array<std::optional<double>, FIGURE_COUNT> figures;
  CylinderValues cylinders[ENGINE_COUNT];
  std::int64_t findings = 0;
  std::array<std::int64_t, FINDING_KINDS> findings_by_kind{};
  // The log holds the flight in part: its first record is the oldest of all the run read and
  // an engine runs or the aircraft is airborne in it (the older records were overwritten), or
  // its last record is the newest and the same holds (the log was taken off in flight).
  bool partial_start = false;
  bool partial_end = false;
  bool airborne_at_start = false;  // in its first record (of a flight partial at its start)
  bool airborne_at_end = false;

  std::uint32_t seconds() const { return last_time - first_time; }
};

// The sums over the flights of a run: engine time and fuel used of each engine monitor (two
// monitors may watch one engine: their sums stay apart), air time, landings, each over the
// flights that have it.
struct FlightTotals {
  std::int64_t flights = 0;
  std::vector<std::int64_t> partial;  // the flights held in part
  std::optional<double> engine_time[ENGINE_COUNT];
  std::optional<double> air_time;
  std::optional<double> landings;
  std::optional<double> fuel_used[ENGINE_COUNT];
  std::optional<FigureId> fuel_figure[ENGINE_COUNT];  // whose unit each fuel used is in

  void add(const FlightSummary& flight);
};

class FlightFigures {
 public:
  // The figures of `figures`; the columns they read are added to `values`.
  FlightFigures(const std::vector<FigureId>& figures, const Profile& profile, ColumnValues& values);

  void start();
  void add(const RecordFacts& facts);
  // The figures of the flight so far into `summary`.
  void fill(FlightSummary& summary) const;

 private:
  void close_stretch();

  // A maximum over every record is the highest value of its column, kept by the values read.
  struct Maximum {
    std::size_t value;  // its column's place among the values read
    FigureId figure;
  };
  std::vector<Maximum> maxima_;
  // Minima, and figures over the records with an engine running.
  struct Extremum {
    std::size_t value;
    FigureId figure;
    int running_engine;  // the engine that must run (0 or 1), or -1
    bool is_max;
    bool has = false;
    double extreme = 0;
  };
  std::vector<Extremum> others_;
  // A column's first or last value.
  struct End {
    std::size_t value;
    FigureId figure;
    bool last;
    bool has = false;
    double v = 0;
  };
  std::vector<End> ends_;
  const ColumnValues& values_;
  CruiseMedians cruise_;  // over the flight's records in cruise
  struct Engine {
    std::optional<FigureId> time;  // its engine time
    std::size_t rpm = 0;
    bool known = false;  // a record of the flight had its RPM
    std::int64_t running_seconds = 0;
    std::vector<std::size_t> cht;  // its cylinders' CHTs' places, in the profile's order
    std::optional<double> max_egt_spread;
  };
  Engine engines_[ENGINE_COUNT];
  std::optional<FigureId> air_time_, landings_;
  double airborne_min_;
  bool airborne_known_ = false;
  std::int64_t air_seconds_ = 0;
  std::int64_t index_ = 0;  // of the record at hand in the flight
  bool stretch_ = false;    // an airborne stretch is open
  std::int64_t stretch_first_ = 0, stretch_last_ = 0;
  std::int64_t landings_count_ = 0;
  struct Fuel {
    std::size_t flow;
    FigureId figure;
    bool has_flow = false;  // the flow and time of the last record that had one
    double last_flow = 0;
    std::uint32_t last_time = 0;
    double flow_seconds = 0;
  };
  std::vector<Fuel> fuel_;
  std::optional<FigureId> phase_time_[PHASE_COUNT];
  std::int64_t phase_seconds_[PHASE_COUNT] = {};
  bool phased_ = false;  // the records came with their phases
  std::optional<FigureId> distance_;
  std::optional<GpsFix> last_fix_;
  double distance_nm_ = 0;
};

}  // namespace korvex
