// A quiet pass over the records, in printed order, before any output: how many flights the log
// holds, and where each flight's first record inside the time window stands, so that a flight
// list can be checked and the files of --split named before anything is written.
#pragma once

#include <cstdint>
#include <vector>

#include "plan/read_plan.h"
#include "record/layouts.h"
#include "selection/selection.h"

namespace korvex {

struct FlightStart {
  std::int64_t flight;
  std::uint32_t timestamp;
  RecordLayout revision;
};

struct FlightScan {
  std::int64_t flights = 0;
  std::vector<FlightStart> starts;  // of the flights with records in the window, in order
  ReadOutcome outcome;
};

FlightScan scan_flights(ByteStream& in, const ReadPlan& plan, std::uint32_t gap,
                        const TimeWindow& window);

}  // namespace korvex
