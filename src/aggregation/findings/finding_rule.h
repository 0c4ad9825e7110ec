// A kind of finding is a rule: it watches the records of a flight one by one, as the analysis
// of the flight hands them over, and reports each stretch that exceeds one of its limits (the
// profile's limits of that kind) for long enough. A stretch is a run of consecutive records of a
// flight beyond the limit; a record where the value is missing, or the limit does not apply, ends
// it. A stretch is a finding when its last time less its first, plus one, is at least the rule's
// min_seconds.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "aggregation/findings/finding.h"
#include "aggregation/values/record_values.h"
#include "profile/profile.h"

namespace korvex {

// A limit restricted to `phases` applies to the record (every limit applies in every phase when
// none are given; a record of a run that finds no phases is in none).
inline bool in_phases(const RecordFacts& facts, PhaseSet phases) {
  return phases == 0 || (facts.event.phased && (phases & phase_bit(facts.event.phase)) != 0);
}

// Where a rule's findings go (the analysis of the flight, which numbers and orders them).
// No stretch is open: later than any time a stretch can open at.
inline constexpr std::uint64_t NOT_OPEN = UINT64_MAX;

class FindingSink {
 public:
  virtual ~FindingSink() = default;
  virtual void found(const Finding& finding) = 0;
};

class FindingRule {
 public:
  virtual ~FindingRule() = default;
  // A new flight: nothing is open.
  virtual void start() = 0;
  virtual void record(const RecordFacts& facts, FindingSink& sink) = 0;
  // The flight ended: every stretch still open closes.
  virtual void finish(FindingSink& sink) = 0;
  // The first time of the earliest stretch still open, or NOT_OPEN.
  virtual std::uint64_t open_since() const = 0;
};

// One limit watched: its stretches, and the finding each long enough one is.
class LimitWatch {
 public:
  // `highest`: the peak of a stretch is its highest value, else its lowest.
  LimitWatch(const Finding& kind, bool highest, std::uint32_t min_seconds)
      : finding_(kind), highest_(highest), min_seconds_(min_seconds) {}

  void start() { open_ = false; }
  // The record is beyond the limit with `value` (extending the stretch), or not (closing it).
  void step(bool beyond, double value, const Record& rec, FindingSink& sink) {
    if (!beyond && !open_) return;  // most records: in no stretch, closing none
    if (!beyond) return close(sink);
    if (!open_) {
      open_ = true;
      finding_.first_time = rec.timestamp;
      finding_.first_layout = rec.revision;
      finding_.peak = value;
    }
    finding_.last_time = rec.timestamp;
    finding_.last_layout = rec.revision;
    if (highest_ ? value > finding_.peak : value < finding_.peak) finding_.peak = value;
  }
  void close(FindingSink& sink) {
    if (!open_) return;
    open_ = false;
    if (finding_.seconds() >= min_seconds_) sink.found(finding_);
  }
  std::uint64_t open_since() const { return open_ ? finding_.first_time : NOT_OPEN; }

 private:
  Finding finding_;  // what it finds: its kind, column and limit; the stretch while open
  bool highest_;
  std::uint32_t min_seconds_;
  bool open_ = false;
};

// A rule of one kind of finding: every limit of its kind in the profile, each an item that
// watches its own stretches (with start, record, finish and open_since as a rule's).
template <typename Item>
class RuleOf final : public FindingRule {
 public:
  void add(Item item) { items_.push_back(std::move(item)); }
  void start() override {
    for (Item& item : items_) item.start();
  }
  void record(const RecordFacts& facts, FindingSink& sink) override {
    for (Item& item : items_) item.record(facts, sink);
  }
  void finish(FindingSink& sink) override {
    for (Item& item : items_) item.finish(sink);
  }
  std::uint64_t open_since() const override {
    std::uint64_t since = NOT_OPEN;
    for (const Item& item : items_) since = std::min(since, item.open_since());
    return since;
  }

 private:
  std::vector<Item> items_;
};

// What rules are made from: the profile, and the columns they read.
struct RuleSetup {
  SectionFlags sections;
  const Profile& profile;
  ColumnValues& values;
  bool engine_present[ENGINE_COUNT];
  int order = 0;  // of the next limit
  std::vector<std::unique_ptr<FindingRule>>& rules;

  std::uint32_t seconds(int min_seconds) const {
    return static_cast<std::uint32_t>(min_seconds > 1 ? min_seconds : 1);
  }
  // The rule of the kind whose items are Item, one for all its limits: made when its first
  // limit is.
  template <typename Item>
  RuleOf<Item>& rule() {
    for (const std::unique_ptr<FindingRule>& r : rules) {
      if (auto* own = dynamic_cast<RuleOf<Item>*>(r.get())) return *own;
    }
    rules.push_back(std::make_unique<RuleOf<Item>>());
    return static_cast<RuleOf<Item>&>(*rules.back());
  }
};

// The rules of a log of these sections with this profile, in the order of their limits in the
// profile: each column's limits, then each engine's (findings/rules.cpp lists the kinds).
void make_rules(RuleSetup& setup);

// The makers of each kind's rules: of one column's setup, of one engine's.
void make_limit_rules(RuleSetup& setup, const ColumnSetup& column);
void make_cylinder_limit_rules(RuleSetup& setup, int engine);
void make_spread_rule(RuleSetup& setup, int engine);
void make_cooling_rules(RuleSetup& setup, int engine);

}  // namespace korvex
