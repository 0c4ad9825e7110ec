// A light aircraft flown through a day of flights, one sample per second: taxi, run-up,
// take-off, climb, cruise with turns, descent, pattern, landing and taxi back, with an engine and
// instruments that follow what the aircraft does.
#pragma once

#include <cstdint>

#include <vector>

#include "random.h"
#include "record_writer.h"
#include "selection/phases.h"

namespace korvex::synth {

enum class Stage {
  kTaxiOut,
  kRunUp,
  kTakeoff,
  kClimb,
  kCruise,
  kDescent,
  kApproach,
  kRollout,
  kTaxiIn,
  kDone
};

struct Engine {
  double rpm = 0;
  double egt[6] = {};
  double cht[6] = {};
  double oil_temp = 0;       // deg F
  double fuel_used = 0;      // gallons
  double fuel_on_board = 0;  // gallons
};

struct Aircraft {
  // Position and flight path.
  double lat = 0;        // degrees north
  double lon_west = 0;   // degrees west
  double alt = 0;        // feet
  double vsi = 0;        // feet per minute
  double ias = 0;        // knots
  double heading = 0;    // degrees true
  double bank = 0;       // degrees, right positive
  double pitch = 0;      // degrees
  double turn_rate = 0;  // degrees per second
  int turn_seconds = 0;  // time in the current turn
  Engine engine;
  // Conditions of the day.
  double baro = 29.92;     // inches of mercury
  double ground_oat = 20;  // deg C at sea level
  int sats = 8;
};

// What the flight truly was, by the model rather than by its logged samples: the fuel the
// engine burnt (gallons), the distance flown over the ground (nautical miles), the lowest oil
// pressure of its seconds (psi; 0 while the engine stands), the seconds the engine turned at
// RUNNING_RPM or more and the lowest oil pressure of those, the seconds in the air (from lift-off
// to touch-down) and the landings.
inline constexpr double RUNNING_RPM = 400;

struct FlightTruth {
  double fuel_used = 0;
  double distance_nm = 0;
  double min_oil_psi = 0;
  bool sampled = false;  // min_oil_psi holds a second's value
  std::int64_t engine_seconds = 0;
  double min_running_oil_psi = 0;  // of the engine seconds
  std::int64_t airborne_seconds = 0;
  int landings = 0;
  bool airborne = false;  // in the last second
};

struct Flight {
  FlightTruth truth;
  Stage phase = Stage::kTaxiOut;
  int phase_seconds = 0;
  int seconds = 0;  // since the instrument was switched on
  double from_elevation = 0, to_elevation = 0;
  double to_lat = 0, to_lon_west = 0;
  double cruise_alt = 0, cruise_ias = 0;
  int taxi_out = 0, taxi_in = 0;
  // A deliberate turn away from the course during cruise: its offset and how long it lasts.
  double detour = 0;
  int detour_left = 0;
};

// Plans the next flight from where the aircraft stands, to a field 30 to 120 nm away.
Flight plan_flight(Aircraft& aircraft, double from_elevation, Random& rng);

// The phase the aircraft flies in the current second, as a pilot names it: stopped or ground
// (by the engine turning at RUNNING_RPM), or of its airborne phases climb, cruise or descent
// (the approach is descent).
Phase flown_phase(const Flight& flight, const Aircraft& aircraft);

// The phases of a flight's seconds as flown, with the first and last `seconds` of each airborne
// stretch that begins and ends in the flight made takeoff and landing.
void mark_takeoff_and_landing(std::vector<Phase>& phases, int seconds);

// Advances the flight by one second; false once the engine is shut down.
bool step_flight(Flight& flight, Aircraft& aircraft, Random& rng);

// The engine's oil pressure, in psi.
double oil_pressure(const Engine& engine);

// The fuel sender of each tank: its count is 30 × the gallons in the tank (logged fl1 and fl2),
// so a profile's table [[0, 0], [720, 24]] reads gallons.
inline constexpr double FUEL_SENDER_COUNTS_PER_GALLON = 30;

// What the engine and the aircraft truly do in a second, before the instruments sample it: the
// values a cruise segment's figures are checked against.
struct TrueValues {
  double alt = 0;  // feet
  double tas = 0;  // knots
  double rpm = 0;
  double map = 0;      // inHg
  double flow = 0;     // gallons per hour
  double egt[6] = {};  // deg F
  double cht[6] = {};
  double oil_temp = 0;  // deg F
};
TrueValues true_values(const Aircraft& aircraft);

// The instruments' reading of the current second.
RecordFields sample_instruments(const Flight& flight, const Aircraft& aircraft, Random& rng);

}  // namespace korvex::synth
