// A quiet pass over the records, in printed order, before any output: how many flights the log
// holds, and what each flight's records inside the time window span (first and last record,
// GPS fixes), so that a flight list can be checked, the files of --split named, and tracks be
// headed by their flight's times before anything is written.
#pragma once

#include <cstdint>
#include <vector>

#include "plan/read_plan.h"
#include "record/layouts.h"
#include "selection/selection.h"

namespace korvex {

struct FlightSpan {
  std::int64_t flight;
  std::uint32_t first_time;
  RecordLayout first_layout;
  std::uint32_t last_time;
  RecordLayout last_layout;
  std::int64_t fixes = 0;
  std::int64_t positions_out_of_range = 0;  // GPS positions beyond the earth's coordinates
  bool dated_fixes = false;  // the first and last time of the fixes of dated records
  std::uint32_t first_fix_time = 0;
  std::uint32_t last_fix_time = 0;
};

struct FlightScan {
  std::int64_t flights = 0;
  std::vector<FlightSpan> spans;  // of the flights with records in the window, in order
  ReadOutcome outcome;

  // The span of `flight`, or nullptr when it has no records in the window.
  const FlightSpan* span(std::int64_t flight) const;
};

FlightScan scan_flights(ByteStream& in, const ReadPlan& plan, std::uint32_t gap,
                        const TimeWindow& window);

}  // namespace korvex
