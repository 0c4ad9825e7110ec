// The time window a user picks with --from and --to, both ends included, as timestamps: seconds
// on the instrument's clock from 2000-01-01 00:00:00, read with the same calendar as the Time
// cell. A TIME is YYYY-MM-DD, YYYY-MM-DD HH:MM[:SS], YYYY-MM-DDTHH:MM[:SS] (either followed by Z
// for UTC or by a zone, +HH:MM or -HH:MM), the classic cell's MM/DD/YYYY HH:MM[:SS] (in double
// quotes or not), or a whole number of seconds. A date alone is its whole day, a time without
// seconds its whole minute: from its start, or to its end. A time in UTC or a zone is on the
// instrument's clock only with the clock's offset from UTC.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvex {

enum class TimeEnd { FROM, TO };

// Parses a TIME; false with `error` saying what is wrong and showing the accepted forms. With
// `zone`, a time with Z or a zone is read and `zone` receives its seconds ahead of UTC (nothing
// for a time without); the timestamp is then the time as written, not yet on the instrument's
// clock. Without `zone`, such a time is refused.
bool parse_time(std::string_view text, TimeEnd end, std::uint32_t& timestamp, std::string& error,
                std::optional<std::int32_t>* zone = nullptr);

// A time read with a zone, moved onto the instrument's clock, which runs `utc_offset` seconds
// ahead of UTC; false when it falls outside the clock.
bool zoned_to_clock(std::uint32_t& timestamp, std::int32_t zone, std::int32_t utc_offset);

enum class OffsetRead { READ, NO_FORM, OUT_OF_RANGE };
// [+|-]HH:MM from -14:00 to +14:00, as seconds.
OffsetRead parse_utc_offset(std::string_view text, std::int32_t& seconds);

struct TimeWindow {
  std::uint32_t from = 0;
  std::uint32_t to = UINT32_MAX;

  bool all() const { return from == 0 && to == UINT32_MAX; }
  bool contains(std::uint32_t timestamp) const { return timestamp >= from && timestamp <= to; }
};

}  // namespace korvex
