#include "output/table/time_cell.h"

#include <cstring>

#include "fields/base_fields.h"
#include "record/timestamp.h"

namespace korvex {

namespace {

constexpr std::size_t kDatedLen = 21;  // "MM/DD/YYYY HH:MM:SS" and the quotes
static_assert(kDatedLen == TIME_WIDTH, "the dated cell fills its column");

void two_digits(char* d, unsigned v) {
  d[0] = static_cast<char>('0' + v / 10);
  d[1] = static_cast<char>('0' + v % 10);
}

// The dated form, quotes included.
void format_dated_time(char* text, std::uint32_t timestamp, TimeCellCache& cache) {
  const std::int64_t day = timestamp / SECONDS_PER_DAY;
  if (day != cache.day) {
    const std::chrono::year_month_day date = log_date(day);
    const auto year = static_cast<unsigned>(static_cast<int>(date.year()));
    two_digits(cache.date, static_cast<unsigned>(date.month()));
    cache.date[2] = '/';
    two_digits(cache.date + 3, static_cast<unsigned>(date.day()));
    cache.date[5] = '/';
    two_digits(cache.date + 6, year / 100);
    two_digits(cache.date + 8, year % 100);
    cache.day = day;
  }
  const std::uint32_t second_of_day = timestamp % SECONDS_PER_DAY;
  text[0] = '"';
  std::memcpy(text + 1, cache.date, 10);
  text[11] = ' ';
  two_digits(text + 12, second_of_day / 3600);
  text[14] = ':';
  two_digits(text + 15, second_of_day / 60 % 60);
  text[17] = ':';
  two_digits(text + 18, second_of_day % 60);
  text[20] = '"';
}

}  // namespace

char* print_time_cell(char* d, DelimiterMode mode, std::uint32_t timestamp, RecordLayout revision,
                      TimeCellCache& cache) {
  if (revision < FIRST_DATED_LAYOUT) return cell::unsigned_cell(d, timestamp, mode, TIME_WIDTH);
  char text[kDatedLen];
  format_dated_time(text, timestamp, cache);
  // The dated cell is as wide as its column already; no width is applied.
  return put_cell(d, mode, 0, std::string_view(text, kDatedLen));
}

}  // namespace korvex
