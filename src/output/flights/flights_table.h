// The flights table (--flights): a row per flight instead of a row per record, made from the
// records the selection holds, with the figures of each flight (or, with --columns, those the
// list names after flight, start and end). In the classic formats a
// figure over records that lack its column is '-', in csv/tsv it is empty; `space` aligns the
// columns with at least one blank between them, the other formats have no padding and no
// separator after the last cell.
#pragma once

#include <vector>

#include "aggregation/flight_analysis.h"
#include "io/out_buffer.h"
#include "output/cells/cells.h"
#include "output/flights/flight_columns.h"
#include "output/format/log_output.h"

namespace korvex {

class FlightsTable final : public LogOutput {
 public:
  // `analysis`: csv or tsv (ISO times, empty cells), else the classic formats.
  FlightsTable(OutBuffer& out, DelimiterMode mode, bool analysis, SectionFlags sections,
               const Profile& profile, const TimeZone& zone = {}, std::string_view columns = {});

  bool begin() override;
  bool begin_flight(const FlightFacts& facts) override;
  bool record(const RecordEvent& event) override;
  bool end_flight() override;
  bool end() override { return out_.flush(); }
  std::int64_t rows() const override { return rows_; }
  int write_error() const override { return out_.failed(); }
  FindingCount findings() const override { return count_; }
  // The totals of the flights listed.
  std::string closing_note() const override;

 private:
  void put(std::string_view text, const FlightColumn& column, bool first);

  OutBuffer& out_;
  DelimiterMode mode_;
  bool analysis_table_;
  TimeZone zone_;
  const Profile& profile_;
  FlightAnalysis analysis_;
  FindingCount count_;
  std::vector<FlightColumn> columns_;
  std::int64_t rows_ = 0;
  FlightTotals totals_;
};

}  // namespace korvex
