// --trends: a row per flight instead of a row per record, in time order: the flight, its longest
// cruise segment, the engine hours to date, then each trend figure beside its baseline (NAME,
// NAME_median, NAME_iqr), then its findings by kind (see aggregation/trends/trends.h for how the
// figures and baselines are made). In the classic formats a figure or baseline the flight lacks
// is '-', in csv/tsv it is empty; `space` aligns the columns.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "aggregation/flight_analysis.h"
#include "aggregation/trends/trends.h"
#include "io/out_buffer.h"
#include "output/cells/cells.h"
#include "output/cells/time_cell.h"
#include "output/format/log_output.h"

namespace korvex {

// The name of a trend figure's column: telm1_RPM, TAS, telm1_cht3, telm1_cht3_dev.
std::string trend_figure_name(const TrendFigure& f);
// The engine monitors (0, 1) of the trend figures, in order.
std::vector<int> trend_engines(const std::vector<TrendFigure>& figures);
// What the trends table calls each kind of finding of a flight's records, in the order of the
// kinds (drift, a finding of the flights, not of one, has none).
std::span<const std::string_view> trend_finding_names();
// The decimals of a trend figure's value, and of its baseline.
int trend_decimals(const TrendFigure& f);

class TrendsTable final : public LogOutput {
 public:
  // `analysis`: csv or tsv (ISO times, empty cells), else the classic formats.
  TrendsTable(OutBuffer& out, DelimiterMode mode, bool analysis, SectionFlags sections,
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
  struct Column {
    std::string name;
    int width;
  };
  void put(std::string_view text, std::size_t column);

  OutBuffer& out_;
  DelimiterMode mode_;
  bool analysis_table_;
  TimeZone zone_;
  const Profile& profile_;
  FlightAnalysis analysis_;
  TrendAnalysis trends_;
  std::vector<int> engines_;  // the engine monitors (0, 1) of the trend figures, in order
  std::vector<Column> columns_;
  std::vector<CruiseSegment> segments_;  // of the open flight
  FindingCount count_;
  std::int64_t rows_ = 0;
};

}  // namespace korvex
