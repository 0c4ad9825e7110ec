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

// The date and time of day of a count of seconds from the epoch, before it too (a timestamp
// moved to UTC may fall a few hours before 2000).
inline CivilTime civil_time(std::int64_t seconds) {
  const std::int64_t per_day = SECONDS_PER_DAY;
  const std::int64_t day = (seconds >= 0 ? seconds : seconds - (per_day - 1)) / per_day;
  const auto second_of_day = static_cast<unsigned>(seconds - day * per_day);
  const std::chrono::year_month_day date = log_date(day);
  return {static_cast<int>(date.year()),     static_cast<unsigned>(date.month()),
          static_cast<unsigned>(date.day()), second_of_day / 3600,
          second_of_day / 60 % 60,           second_of_day % 60};
}

}  // namespace korvex
