// CHT cooling (cht_cooling_max, degrees per minute): for each CHT cylinder and record r, the
// drop is the value at r' less the value at r, where r' is the latest record of the flight
// with r'.time <= r.time - 60 and r.time - r'.time <= 70 (no such r': no drop); stretches in
// which the drop exceeds the limit.
#include <array>
#include <cmath>

#include "aggregation/findings/finding_rule.h"

namespace korvex {

inline constexpr std::uint32_t COOLING_MIN_SECONDS = 60;  // r' at least this long before r
inline constexpr std::uint32_t COOLING_MAX_SECONDS = 70;  // and at most this long

namespace {

// One cylinder's CHT: its drop a minute, and its stretches above the limit.
class Cylinder {
 public:
  Cylinder(std::size_t value, const Finding& kind, std::uint32_t min_seconds, PhaseSet phases)
      : value_(value), limit_(kind.limit), phases_(phases), drop_(kind, true, min_seconds) {}

  void start() {
    drop_.start();
    first_ = size_ = reached_ = 0;
  }
  void record(const RecordFacts& facts, FindingSink& sink) {
    const std::optional<double> d = drop(facts.time(), facts.values[value_]);
    drop_.step(d && *d > limit_ && in_phases(facts, phases_), d.value_or(0), facts.event.rec, sink);
  }
  void finish(FindingSink& sink) { drop_.close(sink); }
  std::uint64_t open_since() const { return drop_.open_since(); }

 private:
  // The last value of each second of the last COOLING_MAX_SECONDS, oldest first.
  struct Past {
    std::uint32_t time;
    double value;  // NaN when the record lacks it
  };
  // A ring of a power of two, at least the COOLING_MAX_SECONDS + 1 seconds kept.
  static constexpr std::size_t kRing = 128;
  static_assert(kRing > COOLING_MAX_SECONDS && (kRing & (kRing - 1)) == 0);

  Past& at(std::size_t i) { return past_[(first_ + i) & (kRing - 1)]; }

  // The drop of the cylinder's value at `time` from the latest record at least 60 and at most 70
  // seconds before it, and the record remembered. The seconds kept are in time order, the first
  // `reached_` of them at least 60 seconds back; both ends only move forward.
  std::optional<double> drop(std::uint32_t time, double value) {
    // Forget the seconds that no later record can reach back to.
    while (size_ > 0 && time - at(0).time > COOLING_MAX_SECONDS) {
      first_ = (first_ + 1) & (kRing - 1);
      --size_;
      if (reached_ > 0) --reached_;
    }
    while (reached_ < size_ && time - at(reached_).time >= COOLING_MIN_SECONDS) ++reached_;
    std::optional<double> drop;
    if (reached_ > 0) {
      const double then = at(reached_ - 1).value;  // the latest record far enough back
      if (!std::isnan(then) && !std::isnan(value)) drop = then - value;
    }
    // One entry a second: a later record of the same second takes its place. The seconds kept
    // span at most COOLING_MAX_SECONDS + 1, fewer than the ring holds.
    if (size_ > 0 && at(size_ - 1).time == time) {
      at(size_ - 1).value = value;
    } else {
      at(size_) = {time, value};
      ++size_;
    }
    return drop;
  }

  std::size_t value_;
  double limit_;
  PhaseSet phases_;
  LimitWatch drop_;
  std::array<Past, kRing> past_{};
  std::size_t first_ = 0, size_ = 0;
  std::size_t reached_ = 0;  // of the seconds kept, those COOLING_MIN_SECONDS back or more
};

}  // namespace

void make_cooling_rules(RuleSetup& setup, int engine) {
  const int block = SECTION_ID_TELM1 + engine;
  const EngineSetup& e = *setup.profile.engine(block);
  if (!e.cht_cooling_max) return;
  for (const int tc : e.cht) {
    Finding kind;
    kind.kind = FindingKind::CHT_COOLING;
    kind.column = thermocouple_column(block, tc);
    kind.engine = engine;
    kind.limit = *e.cht_cooling_max;
    kind.order = setup.order++;
    setup.rule<Cylinder>().add(
        Cylinder(setup.values.add(kind.column), kind, setup.seconds(e.min_seconds), e.phases));
  }
}

}  // namespace korvex
