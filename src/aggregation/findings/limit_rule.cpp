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

// Every column's limits.
class LimitRule final : public FindingRule {
 public:
  struct Column {
    std::size_t value;  // its place among the values read
    int engine;         // whose running the limits wait for, or -1: always
    std::optional<Bound> max, min;
  };
  void add(const Column& column) { columns_.push_back(column); }

  void start() override {
    for (Column& c : columns_) {
      if (c.max) c.max->watch.start();
      if (c.min) c.min->watch.start();
    }
  }
  void record(const RecordFacts& facts, FindingSink& sink) override {
    for (Column& c : columns_) {
      const double v = facts.values[c.value];
      const bool applies = !std::isnan(v) && (c.engine < 0 || facts.running[c.engine]);
      if (c.max) c.max->watch.step(applies && v > c.max->limit, v, facts.event.rec, sink);
      if (c.min) c.min->watch.step(applies && v < c.min->limit, v, facts.event.rec, sink);
    }
  }
  void finish(FindingSink& sink) override {
    for (Column& c : columns_) {
      if (c.max) c.max->watch.close(sink);
      if (c.min) c.min->watch.close(sink);
    }
  }
  std::optional<std::uint32_t> open_since() const override {
    std::optional<std::uint32_t> since;
    for (const Column& c : columns_) {
      for (const std::optional<Bound>* bound : {&c.max, &c.min}) {
        if (!*bound) continue;
        if (const auto open = (*bound)->watch.open_since(); open && (!since || *open < *since)) {
          since = open;
        }
      }
    }
    return since;
  }

 private:
  std::vector<Column> columns_;
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
  LimitRule::Column column{setup.values.add(c.column), engine, std::nullopt, std::nullopt};
  if (c.max) {
    kind.kind = FindingKind::ABOVE_MAX;
    kind.limit = *c.max;
    column.max.emplace(Bound{*c.max, LimitWatch(kind, true, seconds)});
  }
  if (c.min) {
    kind.kind = FindingKind::BELOW_MIN;
    kind.limit = *c.min;
    column.min.emplace(Bound{*c.min, LimitWatch(kind, false, seconds)});
  }
  setup.rule<LimitRule>().add(column);
}

}  // namespace korvex
