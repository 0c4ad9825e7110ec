// The flights a user picks: numbers and ranges separated by commas ("3", "2,5", "2-4"), where
// "last" stands for the last flight ("last", "3-last").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvex {

inline constexpr std::int64_t LAST_FLIGHT = -1;  // "last", until the flights are counted
inline constexpr std::int64_t MAX_FLIGHT_NUMBER = 999999999;

struct FlightRange {
  std::int64_t first;  // 1 to MAX_FLIGHT_NUMBER, or LAST_FLIGHT
  std::int64_t last;   // likewise; not before `first` once "last" is known
};

struct FlightList {
  std::vector<FlightRange> ranges;  // empty: every flight

  bool all() const { return ranges.empty(); }
  // Puts the number of the log's last flight in place of "last"; false, with `error` naming the
  // number of flights, when the list names a flight the log does not have.
  bool resolve(std::int64_t flights, std::string& error);
  bool contains(std::int64_t flight) const;
};

// Parses LIST; false with `error` saying what is wrong.
bool parse_flight_list(std::string_view text, FlightList& list, std::string& error);

}  // namespace korvex
