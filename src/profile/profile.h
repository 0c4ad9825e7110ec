// The aircraft profile: what the log cannot say of the aircraft it was made in, given once per
// aircraft. Display names and units of columns, their limits, which thermocouple of an engine
// monitor sits on which cylinder, when an engine runs, and when the aircraft flies. Without a
// profile every setting has its default.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fields/blocks.h"
#include "profile/calibration.h"
#include "profile/phase.h"

namespace korvex {

inline constexpr int ENGINE_COUNT = 2;  // engine monitors 1 (telm1) and 2 (telm2)
inline constexpr double DEFAULT_RUNNING_RPM = 400;
inline constexpr double DEFAULT_AIRBORNE_MIN = 40;
inline constexpr std::string_view DEFAULT_AIRBORNE_COLUMN = "ASI";
inline constexpr int THERMOCOUPLES = 12;

// The keys that give limits, of a column and of an engine: each kind of finding has its own.
inline constexpr std::string_view COLUMN_LIMIT_KEYS[] = {"min", "max"};
inline constexpr std::string_view ENGINE_LIMIT_KEYS[] = {"egt_max", "cht_max", "cht_min",
                                                         "egt_spread_max", "cht_cooling_max"};

// [columns.NAME]
struct ColumnSetup {
  ColumnRef column;
  std::string label;  // empty: the classic label
  std::string unit;   // empty: none given; of the calibrated value
  Calibration calibration;
  std::optional<double> min, max;
  int min_seconds = 1;
  std::optional<bool> while_running;        // none: true for engine columns, false otherwise
  PhaseSet phases = 0;                      // the phases its limits apply in; 0: all
  PhaseSet min_phases = 0, max_phases = 0;  // of one limit, instead of `phases`; 0: as phases
  // The least distance from its baseline's median that is drift, in its unit; none: the
  // default of its kind of figure, if it has one (see TrendSetup).
  std::optional<double> drift_min;
};

// [aircraft]: which aircraft the logs come from.
struct AircraftSetup {
  std::string registration;  // empty: none given
  std::string serial;
};

// [engines.N]
struct EngineSetup {
  std::string name;
  std::string serial;    // empty: none given
  std::vector<int> egt;  // the thermocouples (1 to 12) of cylinders 1, 2, ... in order
  std::vector<int> cht;
  std::string egt_unit, cht_unit;
  double running_rpm = DEFAULT_RUNNING_RPM;
  // Limits of each of its cylinders' EGT and CHT, while it runs.
  std::optional<double> egt_max, cht_max, cht_min;
  std::optional<double> egt_spread_max;
  std::optional<double> cht_cooling_max;  // degrees per minute
  // The least distance of a cylinder's EGT and CHT deviation from its baseline that is drift.
  double drift_egt_min = 15, drift_cht_min = 15;
  int min_seconds = 1;
  PhaseSet phases = 0;  // the phases its limits apply in; 0: all
};

// [phases]: the thresholds of a flight's phases. Seconds are records (one a second).
struct PhaseSetup {
  int takeoff_seconds = 60;      // the first of an airborne stretch that began in the records
  int landing_seconds = 60;      // the last of one that ended in them
  double vertical_speed = 300;   // ft/min: climb at least this, descent at most its negative
  int vertical_seconds = 30;     // the vertical speed is the altitude's change over these
  int cruise_seconds = 120;      // the shortest steady stretch that is cruise
  double cruise_altitude = 200;  // ft either side over the stretch
  double cruise_rpm = 50;        // rpm either side
  double cruise_map = 1;         // manifold pressure either side, in its (calibrated) unit
};

// [trends]: how a flight's cruise figures are set against those of the flights before it. A
// figure's baseline is the median and interquartile range of its values in the latest
// `baseline_flights` earlier flights with cruise (at least `baseline_min` of them); a figure that
// depends on power takes only flights whose cruise RPM and manifold pressure are within the
// bands of this flight's.
//
// Drift: a figure further from its baseline's median than `drift_iqr` times its interquartile
// range and than its least drift (an engine's drift_egt_min and drift_cht_min for its cylinders'
// deviations, a column's drift_min, else the defaults below), on the same side in
// `drift_flights` flights with cruise in a row.
struct TrendSetup {
  int baseline_flights = 20;
  int baseline_min = 5;
  double power_rpm = 100;  // rpm either side
  double power_map = 1.5;  // manifold pressure either side, in its (calibrated) unit
  double drift_iqr = 3;
  int drift_flights = 3;
};
// The least drift of the figures watched by default, in the units the sample profile gives.
inline constexpr double DEFAULT_DRIFT_OIL_T = 15;   // °F
inline constexpr double DEFAULT_DRIFT_OIL_P = 5;    // psi
inline constexpr double DEFAULT_DRIFT_FLOW = 1;     // gal/h
inline constexpr double DEFAULT_DRIFT_VOLTS = 0.5;  // V
inline constexpr int MAX_DRIFT_FLIGHTS = 20;

// [airborne]
struct AirborneSetup {
  ColumnRef column;
  double min = DEFAULT_AIRBORNE_MIN;
};

struct Profile {  // NOLINT(bugprone-reserved-identifier): the copy of its array, made unseen
  Profile();

  std::string path;  // the file it was read from; empty: no file, every default
  std::string text;  // the file's text, as read
  std::string title;
  AircraftSetup aircraft;
  std::vector<ColumnSetup> columns;
  EngineSetup engines[ENGINE_COUNT];
  AirborneSetup airborne;
  PhaseSetup phases;
  TrendSetup trends;

  // The setup of a column, or nullptr.
  const ColumnSetup* setup(ColumnRef column) const;
  // The engine setup of an engine monitor's block (SECTION_ID_TELM1 or _TELM2), or nullptr.
  const EngineSetup* engine(int block) const;
  // A limit of a column or an engine is restricted to phases.
  bool limits_by_phase() const;
  // The calibration of a column, or nullptr when it has none: its values are as logged.
  const Calibration* calibration(ColumnRef column) const;
  // The decimals of a column's values as the tool computes them: logged, or calibrated.
  int decimals(ColumnRef column) const;
  // What a column is called: the profile's label, or the classic one.
  std::string_view label(ColumnRef column) const;
  // The column's unit: its own, or for an engine's EGT or CHT thermocouple the engine's unit of
  // them; empty when none is given.
  std::string_view unit(ColumnRef column) const;
};

// The names of a --columns list with the profile's labels and the words egt1, cht1, egt2 and
// cht2 (an engine's cylinders) made the csv names of their columns; false with `error` for such
// a word when the profile names no such cylinders.
bool profile_column_names(std::string_view list, const Profile& profile, std::string& names,
                          std::string& error);

// The thermocouple number (1 to 12) of an engine monitor's column, or 0 for any other column.
int thermocouple(ColumnRef column);
// The column of thermocouple `n` of an engine monitor's block.
ColumnRef thermocouple_column(int block, int n);

}  // namespace korvex
