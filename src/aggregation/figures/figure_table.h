// The figures of a flight, one table of them: every figure a flight can have, each with its
// stable key (what the flights table and the logbook call it, the same in every run), how it is
// made, when a log has it, what kind of number it is, its decimals, where its unit comes from and
// how the report names it. A log has the figures its sections allow, in the table's order.
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

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fields/blocks.h"
#include "profile/profile.h"
#include "selection/phases.h"

namespace korvex {

// How a figure is made from a flight's records.
enum class FigureKind : std::uint8_t {
  ENGINE_TIME,    // the records with its engine running, a second each
  AIR_TIME,       // the records airborne, a second each
  LANDINGS,       // the airborne stretches long enough
  MAX,            // the highest value of its column
  MIN,            // the lowest value of its column
  FIRST,          // its column's value in the first record that has it (fuel at the start)
  LAST,           // in the last record that has it (fuel at the end)
  FUEL,           // its flow integrated over time
  DISTANCE,       // between consecutive GPS fixes
  PHASE_TIME,     // the records in its phase, a second each
  CRUISE,         // the median of its column over the records in cruise
  CRUISE_SPREAD,  // the median of its engine's EGT spread over the records in cruise
};

// What kind of number it is, for those who show it.
enum class FigureType : std::uint8_t {
  DURATION,  // seconds
  COUNT,     // a whole number
  VALUE,     // a number with `decimals`
};

// Where its unit comes from.
enum class FigureUnit : std::uint8_t {
  NONE,
  COLUMN,              // its column's
  COLUMN_TIMES_HOURS,  // its column's times hours (a flow's: fuel)
};

// When a log has it.
enum class FigureScope : std::uint8_t {
  ALWAYS,    // every log
  ENGINE,    // a log with its column's engine monitor
  AIRBORNE,  // a log with the profile's airborne column
  GPS,       // a log with GPS
};

// How its key is made.
enum class FigureKey : std::uint8_t {
  FIXED,         // the name alone
  ENGINE,        // engineN + the name (N: the engine monitor's block)
  BLOCK_PREFIX,  // the block's prefix (telm1_) + the name
  COLUMN,        // the name + the column's csv name
  CRUISE_BLOCK,  // cruise_ + the block's prefix + the name (cruise_telm1_egt_spread)
};

struct FigureTraits {
  FigureKind kind;
  FigureScope scope;
  ColumnRef column;  // what it is made of; none for air time, landings and distance
  bool while_running;
  FigureType type;
  std::uint8_t decimals;
  FigureUnit unit;
  FigureKey key_form;
  std::string_view name;   // of its key: "max_", "_time", "air_time", ...
  std::string_view label;  // in words: "engine time", "max" (with the column's label), ...
  std::uint8_t width;      // of its column in the space format, at least
  bool on_card;            // the report shows it on the flight's card (not the 12 thermocouples)
  Phase phase = Phase::STOPPED;  // of a PHASE_TIME

  bool is_cruise() const { return kind == FigureKind::CRUISE || kind == FigureKind::CRUISE_SPREAD; }

  // The engine (0 or 1) it belongs to, or -1.
  int engine() const {
    return column.block == SECTION_ID_TELM1 || column.block == SECTION_ID_TELM2
               ? column.block - SECTION_ID_TELM1
               : -1;
  }
};

// A figure: its place in the table, the same in every run.
using FigureId = std::size_t;

namespace figure_table {

inline constexpr std::uint8_t kDuration = 9;
inline constexpr std::uint8_t kCountWidth = 8;
inline constexpr std::uint8_t kFuelDecimals = 2;
inline constexpr std::uint8_t kDistanceDecimals = 1;

constexpr FigureTraits engine_time(int block) {
  return {FigureKind::ENGINE_TIME,
          FigureScope::ENGINE,
          {block, known_field(SECTION_ID_TELM1, "RPM")},
          false,
          FigureType::DURATION,
          0,
          FigureUnit::NONE,
          FigureKey::ENGINE,
          "_time",
          "engine time",
          kDuration,
          true};
}

// A figure of the whole flight, of no column: its key is its name.
constexpr FigureTraits of_the_flight(FigureKind kind, FigureScope scope, FigureType type,
                                     std::uint8_t decimals, std::string_view name,
                                     std::string_view label, std::uint8_t width) {
  return {kind, scope, {},    false, type, decimals, FigureUnit::NONE, FigureKey::FIXED,
          name, label, width, true};
}

constexpr FigureTraits extremum(FigureKind kind, FigureScope scope, ColumnRef column,
                                bool while_running = false) {
  const bool thermocouple = column.field->label.starts_with("tc");
  return {kind,
          scope,
          column,
          while_running,
          FigureType::VALUE,
          column.field->decimals,
          FigureUnit::COLUMN,
          FigureKey::COLUMN,
          kind == FigureKind::MAX ? "max_" : "min_",
          kind == FigureKind::MAX ? "max" : "min",
          column.field->width,
          !thermocouple};
}

// A column's value at the start or the end of the flight.
constexpr FigureTraits at_end(FigureKind kind, ColumnRef column) {
  const bool first = kind == FigureKind::FIRST;
  return {kind,
          FigureScope::ENGINE,
          column,
          false,
          FigureType::VALUE,
          column.field->decimals,
          FigureUnit::COLUMN,
          FigureKey::COLUMN,
          first ? "start_" : "end_",
          first ? "at start" : "at end",
          column.field->width,
          true};
}

// The figures of one engine monitor, in order.
constexpr void engine_figures(int block, FigureTraits*& at) {
  constexpr int kTelm = SECTION_ID_TELM1;
  for (const std::string_view label : {"RPM", "MAP", "o-t"}) {
    // The table is made when compiled: a label no column has dereferences nullptr there.
    *at++ = extremum(FigureKind::MAX, FigureScope::ENGINE, {block, find_field(kTelm, label)});
  }
  *at++ =
      extremum(FigureKind::MIN, FigureScope::ENGINE, {block, known_field(kTelm, "oil-p")}, true);
  const Field* first = known_field(kTelm, "tc1");
  for (int k = 0; k < THERMOCOUPLES; ++k) {
    *at++ = extremum(FigureKind::MAX, FigureScope::ENGINE, {block, first + k});
  }
  *at++ = {FigureKind::FUEL,
           FigureScope::ENGINE,
           {block, known_field(kTelm, "flow")},
           false,
           FigureType::VALUE,
           kFuelDecimals,
           FigureUnit::COLUMN_TIMES_HOURS,
           FigureKey::BLOCK_PREFIX,
           "fuel_used",
           "fuel used",
           kCountWidth,
           true};
  for (const std::string_view label : {"fl1", "fl2"}) {
    const ColumnRef level{block, find_field(kTelm, label)};
    *at++ = at_end(FigureKind::FIRST, level);
    *at++ = at_end(FigureKind::LAST, level);
  }
}

// A column's median in cruise; the thermocouples' are not on the card.
constexpr FigureTraits cruise(FigureScope scope, ColumnRef column) {
  return {FigureKind::CRUISE,
          scope,
          column,
          false,
          FigureType::VALUE,
          column.field->decimals,
          FigureUnit::COLUMN,
          FigureKey::COLUMN,
          "cruise_",
          "cruise",
          column.field->width,
          false};
}

// The cruise figures of one engine monitor: RPM, MAP, flow, oil, the thermocouples, the spread
// of the EGTs (in the unit of the first thermocouple).
constexpr void engine_cruise_figures(int block, FigureTraits*& at) {
  constexpr int kTelm = SECTION_ID_TELM1;
  for (const std::string_view label : {"RPM", "MAP", "flow", "o-t", "oil-p"}) {
    *at++ = cruise(FigureScope::ENGINE, {block, find_field(kTelm, label)});
  }
  const Field* first = known_field(kTelm, "tc1");
  for (int k = 0; k < THERMOCOUPLES; ++k) {
    *at++ = cruise(FigureScope::ENGINE, {block, first + k});
  }
  *at++ = {FigureKind::CRUISE_SPREAD,
           FigureScope::ENGINE,
           {block, first},
           false,
           FigureType::VALUE,
           first->decimals,
           FigureUnit::COLUMN,
           FigureKey::CRUISE_BLOCK,
           "egt_spread",
           "cruise EGT spread",
           first->width,
           false};
}

// The time in a phase: climb, cruise and descent on the card.
constexpr FigureTraits phase_time(Phase phase, std::string_view name) {
  const bool on_card = phase == Phase::CLIMB || phase == Phase::CRUISE || phase == Phase::DESCENT;
  return {FigureKind::PHASE_TIME,
          FigureScope::ALWAYS,
          {},
          false,
          FigureType::DURATION,
          0,
          FigureUnit::NONE,
          FigureKey::FIXED,
          name,
          name,
          kDuration,
          on_card,
          phase};
}

inline constexpr std::size_t kPerEngine = 3 + 1 + THERMOCOUPLES + 1 + 4;
inline constexpr std::size_t kCruisePerEngine = 5 + THERMOCOUPLES + 1;
inline constexpr std::size_t kCruiseFigures = 5 + 2 * kCruisePerEngine;
inline constexpr std::size_t kFigures =
    2 + 2 + PHASE_COUNT + 2 + 2 * kPerEngine + 2 + kCruiseFigures;

constexpr std::array<FigureTraits, kFigures> make() {
  std::array<FigureTraits, kFigures> table{};
  FigureTraits* at = table.data();
  *at++ = engine_time(SECTION_ID_TELM1);
  *at++ = engine_time(SECTION_ID_TELM2);
  *at++ = of_the_flight(FigureKind::AIR_TIME, FigureScope::AIRBORNE, FigureType::DURATION, 0,
                        "air_time", "air time", kDuration);
  *at++ = of_the_flight(FigureKind::LANDINGS, FigureScope::AIRBORNE, FigureType::COUNT, 0,
                        "landings", "landings", kCountWidth);
  // The names of the phases' times, made when compiled.
  *at++ = phase_time(Phase::STOPPED, "stopped_time");
  *at++ = phase_time(Phase::GROUND, "ground_time");
  *at++ = phase_time(Phase::TAKEOFF, "takeoff_time");
  *at++ = phase_time(Phase::CLIMB, "climb_time");
  *at++ = phase_time(Phase::CRUISE, "cruise_time");
  *at++ = phase_time(Phase::DESCENT, "descent_time");
  *at++ = phase_time(Phase::LANDING, "landing_time");
  *at++ = phase_time(Phase::AIRBORNE, "airborne_time");
  *at++ =
      extremum(FigureKind::MAX, FigureScope::ALWAYS, {BASE_BLOCK, known_field(BASE_BLOCK, "alt")});
  *at++ =
      extremum(FigureKind::MAX, FigureScope::ALWAYS, {BASE_BLOCK, known_field(BASE_BLOCK, "ASI")});
  engine_figures(SECTION_ID_TELM1, at);
  engine_figures(SECTION_ID_TELM2, at);
  *at++ = of_the_flight(FigureKind::DISTANCE, FigureScope::GPS, FigureType::VALUE,
                        kDistanceDecimals, "distance_nm", "distance (nm)", kCountWidth);
  *at++ = extremum(FigureKind::MAX, FigureScope::GPS,
                   {SECTION_ID_GPS, known_field(SECTION_ID_GPS, "gs")});
  // The cruise figures, last: the columns before them keep their places.
  for (const std::string_view label : {"alt", "TAS", "OAT", "m-v"}) {
    *at++ = cruise(FigureScope::ALWAYS, {BASE_BLOCK, find_field(BASE_BLOCK, label)});
  }
  *at++ = cruise(FigureScope::GPS, {SECTION_ID_GPS, known_field(SECTION_ID_GPS, "gs")});
  engine_cruise_figures(SECTION_ID_TELM1, at);
  engine_cruise_figures(SECTION_ID_TELM2, at);
  if (at != table.data() + table.size()) throw "the table's count is wrong";
  return table;
}

}  // namespace figure_table

// Every figure, in the order of the flights table.
inline constexpr auto FIGURES = figure_table::make();
inline constexpr std::size_t FIGURE_COUNT = FIGURES.size();

// The figures a log of these sections has with this profile, in the table's order (an engine's
// cruise EGT spread when the profile names its EGTs).
std::vector<FigureId> log_figures(SectionFlags sections, const Profile& profile);

// The decimals of a figure's values: its column's as the profile calibrates them, or the
// table's.
int figure_decimals(FigureId id, const Profile& profile);

// A figure's key: engine1_time, air_time, max_telm1_RPM, telm1_fuel_used, distance_nm, ...
std::string figure_key(FigureId id);
// A cruise figure's key without its "cruise_": alt, telm1_RPM, telm1_egt_spread, ...
std::string cruise_key(FigureId id);

// The figure of this key, or FIGURE_COUNT.
FigureId find_figure(std::string_view key);

}  // namespace korvex
