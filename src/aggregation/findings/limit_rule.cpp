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

// A column's limits.
struct LimitColumn {
  std::size_t value;  // its place among the values read
  int engine;         // whose running the limits wait for, or -1: always
  std::optional<Bound> max, min;

  void start() {
    if (max) max->watch.start();
    if (min) min->watch.start();
  }
  void record(const RecordFacts& facts, FindingSink& sink) {
    const double v = facts.values[value];
    const bool applies = !std::isnan(v) && (engine < 0 || facts.running[engine]);
    if (max) max->watch.step(applies && v > max->limit, v, facts.event.rec, sink);
    if (min) min->watch.step(applies && v < min->limit, v, facts.event.rec, sink);
  }
  void finish(FindingSink& sink) {
    if (max) max->watch.close(sink);
    if (min) min->watch.close(sink);
  }
  std::uint64_t open_since() const {
    return std::min(max ? max->watch.open_since() : NOT_OPEN,
                    min ? min->watch.open_since() : NOT_OPEN);
  }
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
  LimitColumn column{setup.values.add(c.column), engine, std::nullopt, std::nullopt};
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
  setup.rule<LimitColumn>().add(column);
}

}  // namespace korvex
