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

// A timestamp's date and time of day.
struct CivilTime {
  int year;
  unsigned month, day, hour, minute, second;
};

inline CivilTime civil_time(std::uint32_t timestamp) {
  const std::chrono::year_month_day date = log_date(timestamp / SECONDS_PER_DAY);
  const std::uint32_t second_of_day = timestamp % SECONDS_PER_DAY;
  return {static_cast<int>(date.year()),     static_cast<unsigned>(date.month()),
          static_cast<unsigned>(date.day()), second_of_day / 3600,
          second_of_day / 60 % 60,           second_of_day % 60};
}

}  // namespace korvex
