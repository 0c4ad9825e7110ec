// The flights table (--flights): a row per flight instead of a row per record, made from the
// records the selection holds, with the figures of FlightSummary. In the classic formats a
// figure over records that lack its section is '-', in csv/tsv it is empty; `space` aligns the
// columns with at least one blank between them, the other formats have no padding and no
// separator after the last cell.
#pragma once

#include "io/out_buffer.h"
#include "output/cells/cells.h"
#include "output/log_output.h"
#include "selection/flight_summary.h"

namespace korvex {

class FlightsTable final : public LogOutput {
 public:
  // `analysis`: csv or tsv (ISO times, empty cells), else the classic formats.
  FlightsTable(OutBuffer& out, DelimiterMode mode, bool analysis, SectionFlags sections)
      : out_(out), mode_(mode), analysis_(analysis), summary_(sections) {}

  void begin() override;
  bool record(const Record& rec, std::int64_t flight) override;
  bool end() override;
  std::int64_t rows() const override { return rows_; }
  int write_error() const override { return out_.failed(); }

 private:
  void write_row();
  void put(std::string_view text, const FlightSummary::Column& column, bool first);

  OutBuffer& out_;
  DelimiterMode mode_;
  bool analysis_;
  FlightSummary summary_;
  std::int64_t rows_ = 0;
};

}  // namespace korvex
