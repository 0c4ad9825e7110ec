// --cruise: a row per cruise segment instead of a row per record, in order: flight, start, end,
// seconds, then the segment's cruise figures (the medians over it, in the profile's units) by
// the column they are of (alt, TAS, ..., telm1_RPM, ..., telm1_egt_spread). In the classic
// formats a figure no record of the segment had is '-', in csv/tsv it is empty; the columns are
// laid out as those of the flights table.
#pragma once

#include <cstdint>
#include <vector>

#include "aggregation/figures/cruise_figures.h"
#include "aggregation/flight_analysis.h"
#include "io/out_buffer.h"
#include "output/cells/cells.h"
#include "output/cells/time_cell.h"
#include "output/format/log_output.h"

namespace korvex {

class CruiseTable final : public LogOutput {
 public:
  // `analysis`: csv or tsv (ISO times, empty cells), else the classic formats.
  CruiseTable(OutBuffer& out, DelimiterMode mode, bool analysis, SectionFlags sections,
              const Profile& profile, const TimeZone& zone = {});

  bool begin() override;
  bool begin_flight(const FlightFacts& facts) override;
  bool record(const RecordEvent& event) override;
  bool end_flight() override;
  bool end() override { return out_.flush(); }
  std::int64_t rows() const override { return rows_; }
  int write_error() const override { return out_.failed(); }

 private:
  void write_ready();

  OutBuffer& out_;
  DelimiterMode mode_;
  bool analysis_table_;
  TimeZone zone_;
  const Profile& profile_;
  FlightAnalysis analysis_;
  struct Column {
    std::string name;
    int width;
    FigureId figure;
  };
  std::vector<Column> columns_;  // the figures'
  std::vector<CruiseSegment> ready_;
  std::int64_t rows_ = 0;
};

}  // namespace korvex
