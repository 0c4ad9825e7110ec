// The kinds of finding, in the order their rules are made: a new kind is a class with its
// maker, an entry here, its key in the profile and its text.
#include "aggregation/findings/finding_rule.h"

namespace korvex {

namespace {

// Of each column's setup in [columns.NAME], in the profile's order.
constexpr void (*kColumnRules[])(RuleSetup&, const ColumnSetup&) = {make_limit_rules};
// Of each engine in [engines.N] whose monitor the log has, in turn.
constexpr void (*kEngineRules[])(RuleSetup&, int) = {make_cylinder_limit_rules, make_spread_rule,
                                                     make_cooling_rules};

}  // namespace

void make_rules(RuleSetup& setup) {
  for (const ColumnSetup& c : setup.profile.columns) {
    for (const auto make : kColumnRules) make(setup, c);
  }
  for (int engine = 0; engine < ENGINE_COUNT; ++engine) {
    if (!setup.engine_present[engine]) continue;
    for (const auto make : kEngineRules) make(setup, engine);
  }
}

}  // namespace korvex
