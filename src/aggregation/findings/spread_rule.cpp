// EGT spread (egt_spread_max of an engine): the highest less the lowest EGT of the engine's
// cylinders, in each record with the engine running and every EGT present; stretches above the
// limit.
#include <cmath>

#include "aggregation/findings/finding_rule.h"

namespace korvex {

namespace {

// Each engine's spread.
class SpreadRule final : public FindingRule {
 public:
  struct Engine {
    int engine;
    double limit;
    LimitWatch above;
  };
  void add(const Engine& engine) { engines_.push_back(engine); }

  void start() override {
    for (Engine& e : engines_) e.above.start();
  }
  void record(const RecordFacts& facts, FindingSink& sink) override {
    for (Engine& e : engines_) {
      const double spread = facts.egt_spread[e.engine];
      e.above.step(!std::isnan(spread) && spread > e.limit, spread, facts.event.rec, sink);
    }
  }
  void finish(FindingSink& sink) override {
    for (Engine& e : engines_) e.above.close(sink);
  }
  std::optional<std::uint32_t> open_since() const override {
    std::optional<std::uint32_t> since;
    for (const Engine& e : engines_) {
      if (const auto open = e.above.open_since(); open && (!since || *open < *since)) since = open;
    }
    return since;
  }

 private:
  std::vector<Engine> engines_;
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
  setup.rule<SpreadRule>().add(
      {engine, kind.limit, LimitWatch(kind, true, setup.seconds(e.min_seconds))});
}

}  // namespace korvex
