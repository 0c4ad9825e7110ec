#include "selection/time_window.h"

#include <chrono>

#include "io/concat.h"
#include "record/timestamp.h"

namespace korvex {

namespace {

constexpr std::string_view kForms =
    "use YYYY-MM-DD, YYYY-MM-DD HH:MM[:SS], YYYY-MM-DDTHH:MM[:SS] (either with Z or +HH:MM for "
    "UTC or a zone), MM/DD/YYYY HH:MM[:SS] or a number of seconds";
constexpr int kMaxOffsetHours = 14;

// Reads exactly `n` digits at the front of `text`.
bool digits(std::string_view& text, std::size_t n, unsigned& value) {
  if (text.size() < n) return false;
  value = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + static_cast<unsigned>(text[i] - '0');
  }
  text.remove_prefix(n);
  return true;
}

bool take(std::string_view& text, char c) {
  if (text.empty() || text[0] != c) return false;
  text.remove_prefix(1);
  return true;
}

struct DateTimeFields {
  unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  std::uint32_t span = 0;  // the seconds the text stands for beyond its start, less one
  bool zoned = false;      // Z or +HH:MM followed the time
  std::int32_t zone = 0;   // seconds ahead of UTC
  bool zone_in_range = true;
};

// [+|-]HH:MM as seconds, in hours and minutes of the clock.
bool offset(std::string_view& text, std::int32_t& seconds) {
  int sign = 1;
  if (take(text, '-')) {
    sign = -1;
  } else {
    take(text, '+');
  }
  unsigned hours = 0, minutes = 0;
  if (!digits(text, 2, hours) || !take(text, ':') || !digits(text, 2, minutes) || hours > 23 ||
      minutes > 59) {
    return false;
  }
  seconds = sign * static_cast<std::int32_t>(hours * 3600 + minutes * 60);
  return true;
}

// Z or +HH:MM or -HH:MM after a time of the ISO forms.
bool zone(std::string_view& text, DateTimeFields& p) {
  if (text.empty()) return true;
  p.zoned = true;
  if (take(text, 'Z')) return true;
  if (text[0] != '+' && text[0] != '-') return false;
  if (!offset(text, p.zone)) return false;
  p.zone_in_range = p.zone >= -kMaxOffsetHours * 3600 && p.zone <= kMaxOffsetHours * 3600;
  return true;
}

// HH:MM[:SS] (with seconds when `seconds` is required).
bool clock(std::string_view& text, DateTimeFields& p, bool seconds_required) {
  if (!digits(text, 2, p.hour) || !take(text, ':') || !digits(text, 2, p.minute)) return false;
  if (take(text, ':')) return digits(text, 2, p.second);
  p.span = 59;
  return !seconds_required;
}

bool read_parts(std::string_view text, DateTimeFields& p) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    text = text.substr(1, text.size() - 2);
  }
  if (text.size() >= 3 && text[2] == '/') {  // MM/DD/YYYY HH:MM[:SS]
    return digits(text, 2, p.month) && take(text, '/') && digits(text, 2, p.day) &&
           take(text, '/') && digits(text, 4, p.year) && take(text, ' ') && clock(text, p, false) &&
           text.empty();
  }
  if (!digits(text, 4, p.year) || !take(text, '-') || !digits(text, 2, p.month) ||
      !take(text, '-') || !digits(text, 2, p.day)) {
    return false;
  }
  if (text.empty()) {
    p.span = SECONDS_PER_DAY - 1;
    return true;
  }
  return (take(text, ' ') || take(text, 'T')) && clock(text, p, false) && zone(text, p) &&
         text.empty();
}

}  // namespace

OffsetRead parse_utc_offset(std::string_view text, std::int32_t& seconds) {
  if (!offset(text, seconds) || !text.empty()) return OffsetRead::NO_FORM;
  return seconds < -kMaxOffsetHours * 3600 || seconds > kMaxOffsetHours * 3600
             ? OffsetRead::OUT_OF_RANGE
             : OffsetRead::READ;
}

bool parse_time(std::string_view text, TimeEnd end, std::uint32_t& timestamp, std::string& error,
                std::optional<std::int32_t>* zone) {
  const std::string given = quoted(text);
  if (!text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos) {
    std::uint64_t value = 0;
    for (const char c : text) {
      value = value * 10 + static_cast<std::uint64_t>(c - '0');
      if (value > UINT32_MAX) {
        error =
            concat({"the time ", given, " is more seconds than a log's clock counts (4294967295)"});
        return false;
      }
    }
    timestamp = static_cast<std::uint32_t>(value);
    return true;
  }
  DateTimeFields p;
  if (!read_parts(text, p)) {
    error = concat({"cannot read the time ", given, ": ", kForms});
    return false;
  }
  const std::chrono::year_month_day date{std::chrono::year{static_cast<int>(p.year)},
                                         std::chrono::month{p.month}, std::chrono::day{p.day}};
  if (!date.ok() || p.hour > 23 || p.minute > 59 || p.second > 59) {
    error = concat({"the time ", given, " is no date and time of the calendar"});
    return false;
  }
  if (p.zoned && (zone == nullptr || !p.zone_in_range)) {
    error = concat({"the zone of the time ", given,
                    zone == nullptr ? " cannot be used here" : " is outside -14:00 to +14:00"});
    return false;
  }
  if (zone != nullptr) *zone = p.zoned ? std::optional<std::int32_t>(p.zone) : std::nullopt;
  const std::int64_t start = (std::chrono::sys_days{date} - LOG_EPOCH).count() * SECONDS_PER_DAY +
                             std::int64_t{p.hour} * 3600 + std::int64_t{p.minute} * 60 + p.second;
  if (start < 0 || start > UINT32_MAX) {
    error = concat({"the time ", given,
                    " lies outside a log's clock (2000-01-01 00:00:00 to 2136-02-07 06:28:15)"});
    return false;
  }
  const std::int64_t value = end == TimeEnd::TO ? start + p.span : start;
  timestamp = static_cast<std::uint32_t>(value > UINT32_MAX ? UINT32_MAX : value);
  return true;
}

bool zoned_to_clock(std::uint32_t& timestamp, std::int32_t zone, std::int32_t utc_offset) {
  const std::int64_t clock = std::int64_t{timestamp} - zone + utc_offset;
  if (clock < 0 || clock > UINT32_MAX) return false;
  timestamp = static_cast<std::uint32_t>(clock);
  return true;
}

}  // namespace korvex
