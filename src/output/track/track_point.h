// A point of a GPS track: a record's fix as the table shows it, its GPS altitude, its time in
// UTC, and its satellites. The instrument's clock is taken as UTC less the offset the user gives
// (--utc-offset: how far the clock runs ahead of UTC).
#pragma once

#include <climits>
#include <cstdint>
#include <optional>

#include "fields/gps_fix.h"
#include "io/messages.h"
#include "selection/flight_events.h"

namespace korvex {

struct TrackPoint {
  GpsFix fix;
  std::int64_t ele_feet;            // the GPS altitude, in feet as stored
  std::optional<std::int64_t> utc;  // seconds from 2000-01-01 00:00:00 UTC, for dated records
  int sats = -1;                    // where the layout has them and they are not negative
};

// The record's point, or nothing when it has no fix.
std::optional<TrackPoint> track_point(const RecordEvent& event, std::int32_t utc_offset);

// Remembers the date text of the last day written.
struct UtcDateCache {
  std::int64_t day = INT64_MIN;
  char date[10] = {};  // YYYY-MM-DD
};

// Texts written at d, returning their end: a coordinate as the table prints it (five
// decimals), an altitude in feet as metres with one decimal, and a time as
// YYYY-MM-DDTHH:MM:SSZ.
char* put_coordinate(char* d, double value);
char* put_metres(char* d, std::int64_t feet);
char* put_utc_time(char* d, std::int64_t utc, UtcDateCache& cache);

struct RunTotals;

// What a track leaves out: positions beyond the earth's coordinates, or everything.
void track_notes(const RunTotals& totals, Messages& messages);

// The longest text of one point's coordinates, elevation and time, with room to spare.
inline constexpr std::size_t POINT_ROOM = 256;

}  // namespace korvex
