#include "aggregation/flight_analysis.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace korvex {

FlightAnalysis::FlightAnalysis(SectionFlags sections, const Profile& profile, unsigned parts)
    : figures_(log_figures(sections, profile)),
      values_(profile),
      airborne_min_(profile.airborne.min),
      keep_findings_((parts & FINDING_LIST) != 0) {
  bool present[ENGINE_COUNT] = {};
  for (int n = 0; n < ENGINE_COUNT; ++n) {
    const int block = SECTION_ID_TELM1 + n;
    if ((sections & section_flag(block)) == 0) continue;
    Engine& e = engines_[n];
    present[n] = e.present = true;
    e.rpm = values_.add({block, known_field(SECTION_ID_TELM1, "RPM")});
    e.running_rpm = profile.engine(block)->running_rpm;
  }
  if ((parts & FIGURE_VALUES) != 0) {
    flight_figures_ = std::make_unique<FlightFigures>(figures_, profile, values_);
    if (shows_block(sections, profile.airborne.column.block)) {
      airborne_ = values_.add(profile.airborne.column);
    }
  }
  if ((parts & CRUISE_SEGMENTS) != 0) cruise_ = std::make_unique<CruiseSegments>(figures_, values_);
  if ((parts & (FINDING_LIST | FINDING_COUNT)) != 0) {
    RuleSetup setup{sections, profile, values_, {present[0], present[1]}, 0, rules_};
    make_rules(setup);
  }
  for (int n = 0; n < ENGINE_COUNT; ++n) {
    const int block = SECTION_ID_TELM1 + n;
    if (!engines_[n].present) continue;
    for (const int tc : profile.engine(block)->egt) {
      engines_[n].egt.push_back(values_.add(thermocouple_column(block, tc)));
    }
  }
}

FlightAnalysis::~FlightAnalysis() = default;

void FlightAnalysis::start(const FlightFacts& facts) {
  summary_ = FlightSummary{};
  summary_.flight = facts.number;
  summary_.first_time = summary_.last_time = facts.first_time;
  summary_.first_layout = summary_.last_layout = facts.first_layout;
  values_.start();
  if (flight_figures_) flight_figures_->start();
  if (cruise_) cruise_->start(facts.number);
  for (const auto& rule : rules_) rule->start();
  waiting_ = {};  // of an earlier flight, not taken
  keys_.start();
  summary_.flight_id = scanned_key_ = facts.flight_id;
}

void FlightAnalysis::add(const RecordEvent& event) {
  if (scanned_key_ == 0) {
    keys_.add(event.rec);
    summary_.flight_id = keys_.key();
  }
  summary_.last_time = event.rec.timestamp;
  summary_.last_layout = event.rec.revision;
  ++summary_.records;
  values_.read(event.view());
  RecordFacts facts{event, values_};
  for (int n = 0; n < ENGINE_COUNT; ++n) {
    const Engine& e = engines_[n];
    if (!e.present) continue;
    facts.running[n] = values_[e.rpm] >= e.running_rpm;  // false for an absent RPM
    if (!facts.running[n] || e.egt.empty()) continue;
    double low = values_[e.egt.front()], high = low;
    bool complete = true;
    for (const std::size_t k : e.egt) {
      const double v = values_[k];
      complete = complete && !std::isnan(v);
      low = std::min(low, v);
      high = std::max(high, v);
    }
    if (complete) facts.egt_spread[n] = high - low;
  }
  if (airborne_) facts.airborne = values_[*airborne_];
  if (event.oldest || event.newest) {
    const bool airborne = facts.airborne >= airborne_min_;  // false for NaN
    const bool active = facts.running[0] || facts.running[1] || airborne;
    if (event.oldest) {
      summary_.partial_start = active;
      summary_.airborne_at_start = airborne;
    }
    if (event.newest) {
      summary_.partial_end = active;
      summary_.airborne_at_end = airborne;
    }
  }
  if (flight_figures_) flight_figures_->add(facts);
  if (cruise_) cruise_->add(facts);
  for (const auto& rule : rules_) rule->record(facts, *this);
}

void FlightAnalysis::finish() {
  keys_.finish();
  if (cruise_) cruise_->finish();
  for (const auto& rule : rules_) rule->finish(*this);
}

void FlightAnalysis::found(const Finding& finding) {
  ++summary_.findings;
  ++summary_.findings_by_kind[static_cast<std::size_t>(finding.kind)];
  if (!keep_findings_) return;
  Finding f = finding;
  f.flight = summary_.flight;
  waiting_.push(f);
}

void FlightAnalysis::take_findings(std::vector<Finding>& out) {
  if (waiting_.empty()) return;
  // A stretch still open may become a finding that starts before those waiting: they wait for
  // it, and so do those that start with the record at hand.
  std::uint64_t bound = NOT_OPEN;
  for (const auto& rule : rules_) bound = std::min(bound, rule->open_since());
  while (!waiting_.empty() && waiting_.top().first_time < bound) {
    out.push_back(waiting_.top());
    waiting_.pop();
  }
}

void FlightAnalysis::take_cruise(std::vector<CruiseSegment>& out) {
  if (cruise_) cruise_->take(out);
}

const FlightSummary& FlightAnalysis::summary() const {
  if (flight_figures_) flight_figures_->fill(summary_);
  return summary_;
}

}  // namespace korvex
