// Findings: every stretch of a flight in which a limit of the profile was exceeded, found from
// the flight events in the same pass as every output, as numbers.
//
// 1. Limits of a column (min and max in [columns.NAME]): a stretch is a run of consecutive
//    records of a flight in which the column has a value, its limit applies, and the value is
//    above max (or below min). The limit applies always, or with while_running only while the
//    engine of the column's engine monitor runs (engine 1 for a column of another block);
//    while_running is true by default for the engine monitors' columns. A record without the
//    value, or where the limit does not apply, ends the stretch.
// 2. EGT spread (egt_spread_max of an engine): the highest less the lowest EGT of the engine's
//    cylinders, in each record with the engine running and every EGT present; stretches above
//    the limit, as in 1.
// 3. CHT cooling (cht_cooling_max, degrees per minute): for each CHT cylinder and record r, the
//    drop is the value at r' less the value at r, where r' is the latest record of the flight
//    with r'.time <= r.time - 60 and r.time - r'.time <= 70 (no such r': no drop); stretches in
//    which the drop exceeds the limit, as in 1.
// A stretch is a finding when its last time less its first, plus one, is at least the
// min_seconds of its column (of its engine, for spreads and cooling).
#pragma once

#include <cstdint>
#include <optional>
#include <queue>
#include <vector>

#include "fields/blocks.h"
#include "profile/profile.h"
#include "selection/flight_events.h"

namespace korvex {

inline constexpr std::uint32_t COOLING_MIN_SECONDS = 60;  // r' at least this long before r
inline constexpr std::uint32_t COOLING_MAX_SECONDS = 70;  // and at most this long

enum class FindingKind { ABOVE_MAX, BELOW_MIN, COOLING };

struct Finding {
  std::int64_t flight = 0;
  std::uint32_t first_time = 0, last_time = 0;
  RecordLayout first_layout = 0, last_layout = 0;
  // The column, or for an EGT spread the engine monitor's block with no field.
  ColumnRef column;
  FindingKind kind = FindingKind::ABOVE_MAX;
  double limit = 0;
  double peak = 0;  // the highest value above max, lowest below min, largest spread or drop
  int order = 0;    // of its rule in the profile, for findings that start together

  bool spread() const { return column.field == nullptr; }
  std::uint32_t seconds() const { return last_time - first_time + 1; }
};

class FindingDetector {
 public:
  FindingDetector(SectionFlags sections, const Profile& profile);

  // The profile gives a limit that a log of these sections can exceed.
  bool any() const { return !limits_.empty() || !spreads_.empty() || !coolings_.empty(); }

  // Starts a new flight (findings of the last one not taken are dropped).
  void start(const FlightFacts& facts);
  void add(const RecordEvent& event);
  // Ends the flight: every stretch open is closed.
  void finish();
  // Moves the findings that no stretch still open can come before into `out`, in the order of
  // their first time (then of their rule).
  void take_ready(std::vector<Finding>& out);
  // The findings of the flight so far, those taken and those waiting.
  std::int64_t count() const { return count_; }

 private:
  struct Stretch {
    bool open = false;
    std::uint32_t first_time = 0, last_time = 0;
    RecordLayout first_layout = 0, last_layout = 0;
    double peak = 0;
  };
  struct Limit {
    ColumnRef column;
    ValueDecoder decode;
    std::optional<double> min, max;
    std::uint32_t min_seconds;
    int engine;  // whose running the limit waits for (0 or 1), or -1: always
    int order;
    Stretch above, below;
  };
  struct Spread {
    int engine;
    std::vector<ColumnRef> egt;
    std::vector<ValueDecoder> decode;
    double limit;
    std::uint32_t min_seconds;
    int order;
    Stretch above;
  };
  // The last value of each second of the last COOLING_MAX_SECONDS, oldest first.
  struct Past {
    std::uint32_t time;
    double value;  // NaN when the record lacks it
  };
  struct Cooling {
    ColumnRef cht;
    ValueDecoder decode;
    double limit;
    std::uint32_t min_seconds;
    int order;
    std::vector<Past> past;  // a ring of COOLING_MAX_SECONDS + 1
    std::size_t first = 0, size = 0;
    std::size_t reached = 0;  // of the seconds kept, those COOLING_MIN_SECONDS back or more
    Stretch drop = {};
  };

  // Extends the stretch with the record's value, or closes it when `in` is false.
  void step(Stretch& s, bool in, double value, bool highest, const RecordEvent& event,
            ColumnRef column, FindingKind kind, double limit, std::uint32_t min_seconds, int order);
  void close(Stretch& s, ColumnRef column, FindingKind kind, double limit,
             std::uint32_t min_seconds, int order);
  std::optional<double> drop(Cooling& c, std::uint32_t time, double value);

  struct Engine {
    bool present = false;
    ColumnRef rpm;
    ValueDecoder decode = nullptr;
    double running_rpm = DEFAULT_RUNNING_RPM;
    bool running = false;
  };
  Engine engines_[ENGINE_COUNT];
  std::vector<Limit> limits_;
  std::vector<Spread> spreads_;
  std::vector<Cooling> coolings_;
  std::int64_t flight_ = 0;
  std::int64_t count_ = 0;
  // The findings closed and not yet taken, the one starting first on top.
  struct Later {
    bool operator()(const Finding& a, const Finding& b) const {
      return a.first_time != b.first_time ? a.first_time > b.first_time : a.order > b.order;
    }
  };
  std::priority_queue<Finding, std::vector<Finding>, Later> waiting_;
};

}  // namespace korvex
