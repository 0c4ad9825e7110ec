// The analysis of a flight: one object that takes a flight's selected records as the record
// filter sends them, works out once per record what its figures and findings need (the values
// of their columns, whether each engine runs, the spread of its EGTs, whether the aircraft is
// airborne), and hands every output one summary of the flight and its findings, as numbers.
//
// Findings come in the order of their first time (then of their rule's place in the profile),
// each as soon as no stretch still open can start before it.
#pragma once

#include <cstdint>
#include <memory>
#include <queue>
#include <vector>

#include "aggregation/figures/figure_table.h"
#include "aggregation/figures/flight_figures.h"
#include "aggregation/findings/finding.h"
#include "aggregation/findings/finding_rule.h"
#include "aggregation/values/record_values.h"
#include "profile/profile.h"
#include "selection/flight_events.h"
#include "selection/flight_keys.h"

namespace korvex {

class FlightAnalysis final : private FindingSink {
 public:
  // What an output needs of it: the figures; the findings, or only how many there are.
  enum Parts : unsigned {
    FIGURE_VALUES = 1U << 0,
    FINDING_LIST = 1U << 1,
    FINDING_COUNT = 1U << 2,
    CRUISE_SEGMENTS = 1U << 3,
    FIGURE_VALUES_AND_COUNT = FIGURE_VALUES | FINDING_COUNT,
    ALL = FIGURE_VALUES | FINDING_LIST,
  };

  FlightAnalysis(SectionFlags sections, const Profile& profile, unsigned parts);
  FlightAnalysis(const FlightAnalysis&) = delete;
  FlightAnalysis& operator=(const FlightAnalysis&) = delete;
  ~FlightAnalysis() override;

  // The log's figures, in the table's order.
  const std::vector<FigureId>& figures() const { return figures_; }
  // The profile gives a limit that a log of these sections can exceed.
  bool finds() const { return !rules_.empty(); }

  // A new flight (the findings of the last one not taken are dropped).
  void start(const FlightFacts& facts);
  void add(const RecordEvent& event);
  // The flight ended: every stretch still open is closed.
  void finish();
  // Moves the findings that no stretch still open can come before into `out`, in order.
  void take_findings(std::vector<Finding>& out);
  // Moves the cruise segments closed into `out`, in order (with CRUISE_SEGMENTS).
  void take_cruise(std::vector<CruiseSegment>& out);
  // The flight so far: its span, its figures, its cylinders and the count of its findings.
  const FlightSummary& summary() const;
  // Its key so far (settled when it ends), without working out the rest of the summary.
  std::int64_t flight_id() const { return summary_.flight_id; }

 private:
  void found(const Finding& finding) override;

  std::vector<FigureId> figures_;
  ColumnValues values_;
  std::unique_ptr<FlightFigures> flight_figures_;  // when its figures are asked for
  std::unique_ptr<CruiseSegments> cruise_;         // when its cruise segments are
  std::vector<std::unique_ptr<FindingRule>> rules_;
  struct Engine {
    bool present = false;
    std::size_t rpm = 0;
    double running_rpm = DEFAULT_RUNNING_RPM;
    std::vector<std::size_t> egt;  // its cylinders' EGTs, when the profile names them
  };
  Engine engines_[ENGINE_COUNT];
  std::optional<std::size_t> airborne_;
  double airborne_min_;
  bool keep_findings_;  // else only counted
  // The findings closed and not yet taken, the one starting first on top.
  struct Later {
    bool operator()(const Finding& a, const Finding& b) const {
      return a.first_time != b.first_time ? a.first_time > b.first_time : a.order > b.order;
    }
  };
  std::priority_queue<Finding, std::vector<Finding>, Later> waiting_;
  mutable FlightSummary summary_;
  FlightKeys keys_;               // of the flights its records come from
  std::int64_t scanned_key_ = 0;  // the flight's key as the flight scan found it, or 0
};

}  // namespace korvex
