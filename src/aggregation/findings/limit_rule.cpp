// Limits of a column (min and max in [columns.NAME]): a stretch is a run of consecutive records
// of a flight in which the column has a value, its limit applies, and the value is above max
// (or below min). The limit applies always, or with while_running only while the engine of the
// column's engine monitor runs (engine 1 for a column of another block); while_running is true
// by default for the engine monitors' columns.
#include <cmath>

#include "aggregation/findings/finding_rule.h"

namespace korvex {

namespace {

// A limit and its watch.
struct Bound {
  double limit;
  LimitWatch watch;
};

class LimitRule final : public FindingRule {
 public:
  LimitRule(std::size_t value, int engine, std::optional<Bound> max, std::optional<Bound> min)
      : value_(value), engine_(engine), max_(max), min_(min) {}

  void start() override {
    if (max_) max_->watch.start();
    if (min_) min_->watch.start();
  }
  void record(const RecordFacts& facts, FindingSink& sink) override {
    const double v = facts.values[value_];
    const bool applies = !std::isnan(v) && (engine_ < 0 || facts.running[engine_]);
    if (max_) max_->watch.step(applies && v > max_->limit, v, facts.event.rec, sink);
    if (min_) min_->watch.step(applies && v < min_->limit, v, facts.event.rec, sink);
  }
  void finish(FindingSink& sink) override {
    if (max_) max_->watch.close(sink);
    if (min_) min_->watch.close(sink);
  }
  std::optional<std::uint32_t> open_since() const override {
    std::optional<std::uint32_t> since = max_ ? max_->watch.open_since() : std::nullopt;
    if (const auto other = min_ ? min_->watch.open_since() : std::nullopt) {
      if (!since || *other < *since) since = other;
    }
    return since;
  }

 private:
  std::size_t value_;
  int engine_;  // whose running the limit waits for, or -1: always
  std::optional<Bound> max_, min_;
};

bool engine_block(int block) {
  return block == SECTION_ID_TELM1 || block == SECTION_ID_TELM2;
}

}  // namespace

void make_limit_rules(RuleSetup& setup, const ColumnSetup& c) {
  if ((!c.min && !c.max) || !shows_block(setup.sections, c.column.block)) return;
  const bool engine_column = engine_block(c.column.block);
  int engine = -1;
  if (c.while_running.value_or(engine_column)) {
    engine = engine_column ? c.column.block - SECTION_ID_TELM1 : 0;
  }
  // A limit while an engine runs that the log has no monitor of never applies.
  if (engine >= 0 && !setup.engine_present[engine]) return;
  Finding kind;
  kind.column = c.column;
  kind.engine = engine_column ? c.column.block - SECTION_ID_TELM1 : -1;
  kind.order = setup.order++;
  const std::uint32_t seconds = setup.seconds(c.min_seconds);
  std::optional<Bound> max, min;
  if (c.max) {
    kind.kind = FindingKind::ABOVE_MAX;
    kind.limit = *c.max;
    max.emplace(Bound{*c.max, LimitWatch(kind, true, seconds)});
  }
  if (c.min) {
    kind.kind = FindingKind::BELOW_MIN;
    kind.limit = *c.min;
    min.emplace(Bound{*c.min, LimitWatch(kind, false, seconds)});
  }
  setup.rules.push_back(std::make_unique<LimitRule>(setup.values.add(c.column), engine, max, min));
}

}  // namespace korvex
