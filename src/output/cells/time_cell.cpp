#include "output/cells/time_cell.h"

#include <cstring>

#include "fields/base_fields.h"
#include "record/timestamp.h"

namespace korvex {

namespace {

constexpr std::size_t kDatedLen = 21;  // "MM/DD/YYYY HH:MM:SS" and the quotes
constexpr std::size_t kIsoLen = 19;    // YYYY-MM-DDTHH:MM:SS
static_assert(kDatedLen == TIME_WIDTH, "the dated cell fills its column");

void two_digits(char* d, unsigned v) {
  d[0] = static_cast<char>('0' + v / 10);
  d[1] = static_cast<char>('0' + v % 10);
}

void update_date(std::uint32_t timestamp, TimeCellCache& cache) {
  const std::int64_t day = timestamp / SECONDS_PER_DAY;
  if (day == cache.day) return;
  const std::chrono::year_month_day date = log_date(day);
  const auto year = static_cast<unsigned>(static_cast<int>(date.year()));
  two_digits(cache.year, year / 100);
  two_digits(cache.year + 2, year % 100);
  two_digits(cache.month, static_cast<unsigned>(date.month()));
  two_digits(cache.mday, static_cast<unsigned>(date.day()));
  cache.day = day;
}

// HH:MM:SS
void clock_time(char* d, std::uint32_t timestamp) {
  const std::uint32_t second_of_day = timestamp % SECONDS_PER_DAY;
  two_digits(d, second_of_day / 3600);
  d[2] = ':';
  two_digits(d + 3, second_of_day / 60 % 60);
  d[5] = ':';
  two_digits(d + 6, second_of_day % 60);
}

}  // namespace

char* print_time_cell(char* d, DelimiterMode mode, std::uint32_t timestamp, RecordLayout revision,
                      TimeCellCache& cache) {
  if (revision < FIRST_DATED_LAYOUT) return cell::unsigned_cell(d, timestamp, mode, TIME_WIDTH);
  update_date(timestamp, cache);
  char text[kDatedLen];
  text[0] = '"';
  std::memcpy(text + 1, cache.month, 2);
  text[3] = '/';
  std::memcpy(text + 4, cache.mday, 2);
  text[6] = '/';
  std::memcpy(text + 7, cache.year, 4);
  text[11] = ' ';
  clock_time(text + 12, timestamp);
  text[20] = '"';
  // The dated cell is as wide as its column already; no width is applied.
  return put_cell(d, mode, 0, std::string_view(text, kDatedLen));
}

char* print_iso_time_cell(char* d, DelimiterMode mode, std::uint32_t timestamp,
                          RecordLayout revision, TimeCellCache& cache) {
  if (revision < FIRST_DATED_LAYOUT) return cell::unsigned_cell(d, timestamp, mode, 0);
  update_date(timestamp, cache);
  char text[kIsoLen];
  std::memcpy(text, cache.year, 4);
  text[4] = '-';
  std::memcpy(text + 5, cache.month, 2);
  text[7] = '-';
  std::memcpy(text + 8, cache.mday, 2);
  text[10] = 'T';
  clock_time(text + 11, timestamp);
  return put_cell(d, mode, 0, std::string_view(text, kIsoLen));
}

std::string time_text(std::uint32_t timestamp, RecordLayout revision, TimeForm form,
                      const TimeZone& zone) {
  char text[64];
  TimeCellCache cache;
  const char* begin = text;
  const char* end = nullptr;
  const std::uint32_t shown = zone.shown(timestamp, revision);
  const bool utc = zone.utc && revision >= FIRST_DATED_LAYOUT;
  if (form == TimeForm::ISO || form == TimeForm::READABLE) {
    end = print_iso_time_cell(text, DELIM_COMMA, shown, revision, cache) - 1;
    if (form == TimeForm::READABLE && revision >= FIRST_DATED_LAYOUT) text[10] = ' ';
  } else {
    end = print_time_cell(text, DELIM_COMMA, shown, revision, cache) - 1;
    if (form == TimeForm::PLAIN && revision >= FIRST_DATED_LAYOUT) ++begin, --end;  // the quotes
  }
  std::string result(begin, end);  // without the separator
  if (utc && form == TimeForm::ISO) result += 'Z';
  if (utc && form == TimeForm::READABLE) result += " UTC";
  return result;
}

char* mark_utc(char* end) {
  const char separator = end[-1];
  end[-1] = 'Z';
  *end = separator;
  return end + 1;
}

}  // namespace korvex
