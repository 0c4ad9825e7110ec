// EGT spread (egt_spread_max of an engine): the highest less the lowest EGT of the engine's
// cylinders, in each record with the engine running and every EGT present; stretches above the
// limit.
#include <cmath>

#include "aggregation/findings/finding_rule.h"

namespace korvex {

namespace {

// An engine's spread.
struct EngineSpread {
  int engine;
  double limit;
  PhaseSet phases;
  LimitWatch above;

  void start() { above.start(); }
  void record(const RecordFacts& facts, FindingSink& sink) {
    const double spread = facts.egt_spread[engine];
    above.step(!std::isnan(spread) && spread > limit && in_phases(facts, phases), spread,
               facts.event.rec, sink);
  }
  void finish(FindingSink& sink) { above.close(sink); }
  std::uint64_t open_since() const { return above.open_since(); }
};

}  // namespace

void make_spread_rule(RuleSetup& setup, int engine) {
  const int block = SECTION_ID_TELM1 + engine;
  const EngineSetup& e = *setup.profile.engine(block);
  if (!e.egt_spread_max || e.egt.size() < 2) return;
  Finding kind;
  kind.kind = FindingKind::EGT_SPREAD;
  kind.column = thermocouple_column(block, e.egt.front());  // on the engine's EGT chart
  kind.engine = engine;
  kind.limit = *e.egt_spread_max;
  kind.order = setup.order++;
  setup.rule<EngineSpread>().add(
      {engine, kind.limit, e.phases, LimitWatch(kind, true, setup.seconds(e.min_seconds))});
}

}  // namespace korvex
