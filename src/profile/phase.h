// The phases of a flight, by name: what a record's phase is called in tables, the logbook and
// the profile's limits (selection/phases.h says how each is found).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace korvex {

enum class Phase : std::uint8_t {
  STOPPED,
  GROUND,
  TAKEOFF,
  CLIMB,
  CRUISE,
  DESCENT,
  LANDING,
  AIRBORNE,
};
inline constexpr std::size_t PHASE_COUNT = 8;

// What the phases are called: "stopped", "ground", "takeoff", ...
inline constexpr std::array<std::string_view, PHASE_COUNT> PHASE_NAMES = {
    "stopped", "ground", "takeoff", "climb", "cruise", "descent", "landing", "airborne"};

inline std::string_view phase_name(Phase p) {
  return PHASE_NAMES[static_cast<std::size_t>(p)];
}

// A set of phases: bit p for phase p; none set: every phase.
using PhaseSet = std::uint16_t;

inline constexpr PhaseSet phase_bit(Phase p) {
  return static_cast<PhaseSet>(1U << static_cast<unsigned>(p));
}

}  // namespace korvex
