// A quiet pass over the records, in the order they are read, before any output: how many
// flights the log holds, and the facts of each flight that has records in the time window
// (first and last record, GPS fixes), so that a flight list can be checked, the files of --split
// named, tracks be headed by their flight's times, and the output pass find its flights without
// cutting them again.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "plan/merged_read.h"
#include "plan/read_plan.h"
#include "selection/flight_events.h"
#include "selection/time_window.h"

namespace korvex {

struct FlightScan {
  std::int64_t flights = 0;
  std::vector<FlightFacts> spans;  // of the flights with records in the window, in order
  ReadOutcome outcome;

  // The facts of `flight`, or nullptr when it has no records in the window.
  const FlightFacts* facts(std::int64_t flight) const;
};

FlightScan scan_flights(std::span<const LogRead> logs, std::uint32_t gap, const TimeWindow& window);

// The same of one log.
FlightScan scan_flights(ByteStream& in, const ReadPlan& plan, std::uint32_t gap,
                        const TimeWindow& window);

}  // namespace korvex
