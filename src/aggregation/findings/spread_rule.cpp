// EGT spread (egt_spread_max of an engine): the highest less the lowest EGT of the engine's
// cylinders, in each record with the engine running and every EGT present; stretches above the
// limit.
#include <cmath>

#include "aggregation/findings/finding_rule.h"

namespace korvex {

namespace {

class SpreadRule final : public FindingRule {
 public:
  SpreadRule(int engine, const Finding& kind, std::uint32_t min_seconds)
      : engine_(engine), limit_(kind.limit), above_(kind, true, min_seconds) {}

  void start() override { above_.start(); }
  void record(const RecordFacts& facts, FindingSink& sink) override {
    const double spread = facts.egt_spread[engine_];
    above_.step(!std::isnan(spread) && spread > limit_, spread, facts.event.rec, sink);
  }
  void finish(FindingSink& sink) override { above_.close(sink); }
  std::optional<std::uint32_t> open_since() const override { return above_.open_since(); }

 private:
  int engine_;
  double limit_;
  LimitWatch above_;
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
  setup.rules.push_back(std::make_unique<SpreadRule>(engine, kind, setup.seconds(e.min_seconds)));
}

}  // namespace korvex
