// Limits of a column (min and max in [columns.NAME]), and of each cylinder of an engine
// (egt_max, cht_max and cht_min in [engines.N], while it runs): a stretch is a run of consecutive
// records of a flight in which the column has a value, its limit applies, and the value is above
// max (or below min). The limit applies always, or with while_running only while the engine of the
// column's engine monitor runs (engine 1 for a column of another block); while_running is true
// by default for the engine monitors' columns.
#include <cmath>
#include <tuple>

#include "aggregation/findings/finding_rule.h"

namespace korvex {

namespace {

// A limit and its watch, and the phases it applies in (0: all).
struct Bound {
  double limit;
  LimitWatch watch;
  PhaseSet phases;
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
    if (max) {
      max->watch.step(applies && v > max->limit && in_phases(facts, max->phases), v,
                      facts.event.rec, sink);
    }
    if (min) {
      min->watch.step(applies && v < min->limit && in_phases(facts, min->phases), v,
                      facts.event.rec, sink);
    }
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

// A column's limits: each stretch beyond max or min of `min_seconds` at least is a finding.
void add_limits(RuleSetup& setup, ColumnRef column, int engine, PhaseSet max_phases,
                PhaseSet min_phases, std::optional<double> max, std::optional<double> min,
                int min_seconds) {
  Finding kind;
  kind.column = column;
  kind.engine = engine_block(column.block) ? column.block - SECTION_ID_TELM1 : -1;
  kind.order = setup.order++;
  const std::uint32_t seconds = setup.seconds(min_seconds);
  LimitColumn limits{setup.values.add(column), engine, std::nullopt, std::nullopt};
  if (max) {
    kind.kind = FindingKind::ABOVE_MAX;
    kind.limit = *max;
    limits.max.emplace(Bound{*max, LimitWatch(kind, true, seconds), max_phases});
  }
  if (min) {
    kind.kind = FindingKind::BELOW_MIN;
    kind.limit = *min;
    limits.min.emplace(Bound{*min, LimitWatch(kind, false, seconds), min_phases});
  }
  setup.rule<LimitColumn>().add(limits);
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
  add_limits(setup, c.column, engine, c.max_phases != 0 ? c.max_phases : c.phases,
             c.min_phases != 0 ? c.min_phases : c.phases, c.max, c.min, c.min_seconds);
}

void make_cylinder_limit_rules(RuleSetup& setup, int engine) {
  const int block = SECTION_ID_TELM1 + engine;
  const EngineSetup& e = *setup.profile.engine(block);
  // A cylinder's own [columns] limits are its own: the engine's apply to the others.
  const auto own = [&](ColumnRef column) {
    const ColumnSetup* c = setup.profile.setup(column);
    return c != nullptr && (c->min || c->max);
  };
  for (const auto& [tcs, max, min] : {std::tuple{&e.egt, e.egt_max, std::optional<double>()},
                                      std::tuple{&e.cht, e.cht_max, e.cht_min}}) {
    if (!max && !min) continue;
    for (const int tc : *tcs) {
      const ColumnRef column = thermocouple_column(block, tc);
      if (!own(column))
        add_limits(setup, column, engine, e.phases, e.phases, max, min, e.min_seconds);
    }
  }
}

}  // namespace korvex
