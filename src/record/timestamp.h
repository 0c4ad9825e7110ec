// A record's timestamp counts seconds on the instrument's clock from 2000-01-01 00:00:00.
#pragma once

#include <chrono>
#include <cstdint>

namespace korvex {

inline constexpr std::chrono::sys_days LOG_EPOCH{std::chrono::year{2000} / 1 / 1};
inline constexpr std::uint32_t SECONDS_PER_DAY = 86400;

// Records of layouts 0 and 1 carry a raw count of seconds; from layout 2 on the count is a date
// and time on that clock.
inline constexpr std::int32_t FIRST_DATED_LAYOUT = 2;

// The calendar date of a day counted from the epoch.
inline std::chrono::year_month_day log_date(std::int64_t day) {
  return std::chrono::year_month_day{LOG_EPOCH + std::chrono::days{day}};
}

}  // namespace korvex
