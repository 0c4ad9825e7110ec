#include "selection/flight_list.h"

#include <algorithm>

#include "io/concat.h"

namespace korvex {

namespace {

// A flight number or "last"; false for anything else.
bool parse_number(std::string_view text, std::int64_t& number) {
  if (text == "last") {
    number = LAST_FLIGHT;
    return true;
  }
  if (text.empty() || text.size() > 12) return false;
  number = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + (c - '0');
  }
  return number >= 1;
}

}  // namespace

bool parse_flight_list(std::string_view text, FlightList& list, std::string& error) {
  list.ranges.clear();
  const std::string whole(text);
  if (text.empty()) {
    error = "the flight list is empty";
    return false;
  }
  for (;;) {
    const std::size_t comma = text.find(',');
    const std::string_view item = text.substr(0, comma);
    const std::size_t dash = item.find('-');
    FlightRange range{};
    const bool ok = dash == std::string_view::npos
                        ? parse_number(item, range.first) && ((range.last = range.first), true)
                        : parse_number(item.substr(0, dash), range.first) &&
                              parse_number(item.substr(dash + 1), range.last);
    if (!ok) {
      error = concat({"cannot read ", quoted(item), " in the flight list ", quoted(whole),
                      ": use flight numbers from 1, ranges such as 2-4, and last, separated by "
                      "commas"});
      return false;
    }
    if (range.first == LAST_FLIGHT && range.last != LAST_FLIGHT) {
      error = concat({"the range ", quoted(item), " starts after it ends"});
      return false;
    }
    if (range.last != LAST_FLIGHT && range.first > range.last) {
      error = concat({"the range ", quoted(item), " starts after it ends"});
      return false;
    }
    list.ranges.push_back(range);
    if (comma == std::string_view::npos) return true;
    text.remove_prefix(comma + 1);
  }
}

bool FlightList::resolve(std::int64_t flights, std::span<const FlightFacts> spans,
                         std::string& error) {
  // The number of the flight `n` stands for: itself, the last flight, or the flight keyed `n`.
  const auto number = [&](std::int64_t& n) {
    if (n == LAST_FLIGHT) n = flights;
    if (n <= flights) return true;
    const auto keyed = std::find_if(spans.begin(), spans.end(),
                                    [n](const FlightFacts& f) { return f.flight_id == n; });
    if (keyed == spans.end()) {
      error = concat({"there is no flight ", std::to_string(n), ": the log has ",
                      std::to_string(flights), flights == 1 ? " flight" : " flights",
                      ", and none has the flight_id ", std::to_string(n)});
      return false;
    }
    n = keyed->number;
    return true;
  };
  for (FlightRange& r : ranges) {
    const auto name = [](std::int64_t n) {
      return n == LAST_FLIGHT ? std::string("last") : std::to_string(n);
    };
    const std::string item = concat({name(r.first), "-", name(r.last)});
    if (!number(r.first) || !number(r.last)) return false;
    if (r.first > r.last) {
      error = concat({"the range ", quoted(item), " starts after it ends"});
      return false;
    }
  }
  return true;
}

bool FlightList::contains(std::int64_t flight) const {
  if (ranges.empty()) return true;
  return std::any_of(ranges.begin(), ranges.end(), [flight](const FlightRange& r) {
    return flight >= r.first && flight <= r.last;
  });
}

}  // namespace korvex
