// The time window a user picks with --from and --to, both ends included, as timestamps: seconds
// on the instrument's clock from 2000-01-01 00:00:00, read with the same calendar as the Time
// cell. A TIME is YYYY-MM-DD, YYYY-MM-DD HH:MM[:SS], YYYY-MM-DDTHH:MM[:SS], the classic cell's
// MM/DD/YYYY HH:MM:SS (in double quotes or not), or a whole number of seconds. A date alone is
// its whole day, a time without seconds its whole minute: from its start, or to its end.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace korvex {

enum class TimeEnd { FROM, TO };

// Parses a TIME; false with `error` saying what is wrong and showing the accepted forms.
bool parse_time(std::string_view text, TimeEnd end, std::uint32_t& timestamp, std::string& error);

struct TimeWindow {
  std::uint32_t from = 0;
  std::uint32_t to = UINT32_MAX;

  bool all() const { return from == 0 && to == UINT32_MAX; }
  bool contains(std::uint32_t timestamp) const { return timestamp >= from && timestamp <= to; }
};

}  // namespace korvex
