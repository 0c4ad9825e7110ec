// --findings: a row per finding instead of a row per record, in the order of their first time:
// flight, start, end, seconds, column, label, kind, limit, peak, unit, with times as the format
// prints them. The columns are laid out as those of the flights table.
#pragma once

#include <cstdint>
#include <vector>

#include "aggregation/flight_analysis.h"
#include "aggregation/trends/trends.h"
#include "io/out_buffer.h"
#include "output/cells/cells.h"
#include "output/cells/time_cell.h"
#include "output/format/log_output.h"

namespace korvex {

class FindingsTable final : public LogOutput {
 public:
  // `analysis`: csv or tsv (ISO times), else the classic formats.
  FindingsTable(OutBuffer& out, DelimiterMode mode, bool analysis, SectionFlags sections,
                const Profile& profile, const TimeZone& zone = {});

  bool begin() override;
  bool begin_flight(const FlightFacts& facts) override;
  bool record(const RecordEvent& event) override;
  bool end_flight() override;
  bool end() override { return out_.flush(); }
  std::int64_t rows() const override { return rows_; }
  int write_error() const override { return out_.failed(); }
  FindingCount findings() const override { return count_; }

 private:
  void write_ready();

  OutBuffer& out_;
  DelimiterMode mode_;
  bool analysis_table_;
  TimeZone zone_;
  const Profile& profile_;
  FlightAnalysis analysis_;
  TrendAnalysis trends_;                 // for drift
  std::vector<CruiseSegment> segments_;  // of the open flight
  std::vector<Finding> ready_;
  FindingCount count_;
  std::int64_t rows_ = 0;
};

}  // namespace korvex
