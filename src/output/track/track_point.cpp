#include "output/track/track_point.h"

#include <cmath>
#include <cstring>

#include "io/concat.h"
#include "output/cells/cells.h"
#include "output/format/format.h"
#include "record/timestamp.h"

namespace korvex {

namespace {

constexpr ColumnRef kAltitude{SECTION_ID_GPS, known_field(SECTION_ID_GPS, "g-alt")};
constexpr ColumnRef kSatellites{SECTION_ID_GPS, known_field(SECTION_ID_GPS, "sats")};

void two_digits(char* d, unsigned v) {
  d[0] = static_cast<char>('0' + v / 10);
  d[1] = static_cast<char>('0' + v % 10);
}

}  // namespace

std::optional<TrackPoint> track_point(const RecordEvent& event, std::int32_t utc_offset) {
  const std::optional<GpsFix>& fix = event.fix();
  if (!fix) return std::nullopt;
  TrackPoint p{*fix, 0, std::nullopt, -1};
  if (const auto feet = read_value(event.rec, kAltitude)) {
    p.ele_feet = static_cast<std::int64_t>(*feet);
  }
  if (event.rec.revision >= FIRST_DATED_LAYOUT) {
    p.utc = static_cast<std::int64_t>(event.rec.timestamp) - utc_offset;
  }
  if (const auto sats = read_value(event.rec, kSatellites); sats && *sats >= 0) {
    p.sats = static_cast<int>(*sats);
  }
  return p;
}

char* put_coordinate(char* d, double value) {
  // The space table's cell with no width: the text alone.
  return coordinate_cell(d, static_cast<float>(std::fabs(value)), std::signbit(value), DELIM_SPACE,
                         0);
}

char* put_metres(char* d, std::int64_t feet) {
  // A foot is 0.3048 m: tenths of a metre are feet × 3.048, rounded (never a tie: 48 × feet
  // never ends in 500).
  const std::int64_t thousandths = feet * 3048;
  const std::int64_t tenths = (thousandths + (thousandths < 0 ? -500 : 500)) / 1000;
  return cell::scaled_cell(d, tenths, 1, DELIM_SPACE, 0);
}

char* put_utc_time(char* d, std::int64_t utc, UtcDateCache& cache) {
  const std::int64_t per_day = SECONDS_PER_DAY;
  const std::int64_t day = (utc >= 0 ? utc : utc - (per_day - 1)) / per_day;
  if (day != cache.day) {
    const CivilTime t = civil_time(day * per_day);
    const auto year = static_cast<unsigned>(t.year);
    two_digits(cache.date, year / 100);
    two_digits(cache.date + 2, year % 100);
    cache.date[4] = '-';
    two_digits(cache.date + 5, t.month);
    cache.date[7] = '-';
    two_digits(cache.date + 8, t.day);
    cache.day = day;
  }
  const auto second = static_cast<unsigned>(utc - day * per_day);
  std::memcpy(d, cache.date, 10);
  d[10] = 'T';
  two_digits(d + 11, second / 3600);
  d[13] = ':';
  two_digits(d + 14, second / 60 % 60);
  d[16] = ':';
  two_digits(d + 17, second % 60);
  d[19] = 'Z';
  return d + 20;
}

void track_notes(const RunTotals& totals, Messages& messages) {
  if (const std::int64_t n = totals.positions_out_of_range; n > 0) {
    messages.say(
        concat({"Left out ", std::to_string(n), n == 1 ? " GPS position" : " GPS positions",
                " beyond 90 degrees of latitude or 180 of longitude.\n"}));
  }
  if (totals.rows == 0) messages.say("No GPS fix was found.\n");
}

}  // namespace korvex
