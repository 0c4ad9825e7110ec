// The flights a user picks: numbers and ranges separated by commas ("3", "2,5", "2-4"), where
// "last" stands for the last flight ("last", "3-last"). A number beyond the count of flights is a
// flight's key (its flight_id), which stands for that flight.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "selection/flight_events.h"

namespace korvex {

inline constexpr std::int64_t LAST_FLIGHT = -1;  // "last", until the flights are counted
inline constexpr std::int64_t MAX_FLIGHT_NUMBER = 999999999999;  // or key

struct FlightRange {
  std::int64_t first;  // 1 to MAX_FLIGHT_NUMBER, or LAST_FLIGHT
  std::int64_t last;   // likewise; not before `first` once "last" is known
};

struct FlightList {
  std::vector<FlightRange> ranges;  // empty: every flight

  bool all() const { return ranges.empty(); }
  // Puts the number of the log's last flight in place of "last", and the number of a flight in
  // place of its key (of the flights in `spans`); false, with `error` naming the number of
  // flights, when the list names a flight the log does not have.
  bool resolve(std::int64_t flights, std::span<const FlightFacts> spans, std::string& error);
  bool contains(std::int64_t flight) const;
};

// Parses LIST; false with `error` saying what is wrong.
bool parse_flight_list(std::string_view text, FlightList& list, std::string& error);

}  // namespace korvex
