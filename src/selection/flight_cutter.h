// Flights: the records, in the order the table prints them, cut where the instrument was off.
// A record starts a new flight when its timestamp is lower than the previous record's, or higher
// by more than the gap. Strictly these are power-on sessions of the instrument, ground runs
// included. Flights are numbered 1, 2, ... in printed order.
#pragma once

#include <cstdint>

namespace korvex {

inline constexpr std::uint32_t DEFAULT_GAP = 300;
inline constexpr std::uint32_t MAX_GAP = 86400;

class FlightCutter {
 public:
  // `before`: the flights before the records to come (numbered 1 to `before`).
  explicit FlightCutter(std::uint32_t gap = DEFAULT_GAP, std::int64_t before = 0)
      : gap_(gap), flight_(before), first_(before) {}

  // The flight of the next record in printed order.
  std::int64_t flight_of(std::uint32_t timestamp) {
    if (flight_ == first_ || timestamp < previous_ || timestamp - previous_ > gap_) {
      ++flight_;
      first_ = -1;
    }
    previous_ = timestamp;
    return flight_;
  }
  // The flights seen so far.
  std::int64_t flights() const { return flight_; }

 private:
  std::uint32_t gap_;
  std::uint32_t previous_ = 0;
  std::int64_t flight_ = 0;
  std::int64_t first_ = 0;  // the flight before the first record, until it comes
};

}  // namespace korvex
