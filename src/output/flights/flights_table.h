// The flights table (--flights): a row per flight instead of a row per record, made from the
// records the selection holds. Columns: flight, start, end (the first and last record's Time),
// duration (H:MM:SS), records, max_alt, max_ASI; for each engine monitor of the log its maximum
// RPM, MAP, oil temperature and thermocouples, its minimum oil pressure and the fuel used (flow
// integrated over time: flow × seconds / 3600, in flow's own unit × hours); with GPS the
// distance flown between fixes in nautical miles and the maximum ground speed. A maximum or
// minimum over records that lack the section is '-' in the classic formats, empty in csv/tsv.
#pragma once

#include <string>
#include <vector>

#include "io/out_buffer.h"
#include "output/cells/cells.h"
#include "output/log_output.h"

namespace korvex {

struct Field;

class FlightsTable final : public LogOutput {
 public:
  // `analysis`: csv or tsv (ISO times, empty cells), else the classic formats.
  FlightsTable(OutBuffer& out, DelimiterMode mode, bool analysis, SectionFlags sections);

  void begin() override;
  bool record(const Record& rec, std::int64_t flight) override;
  bool end() override;
  std::int64_t rows() const override { return rows_; }
  int write_error() const override { return out_.failed(); }

  enum class Kind { FLIGHT, START, END, DURATION, RECORDS, MAX, MIN, FUEL, DISTANCE };
  struct Column {
    std::string name;
    Kind kind;
    int block = 0;
    const Field* field = nullptr;
    int width = 0;
    // This flight's figure so far.
    bool has = false;
    double value = 0;
    double last_flow = 0;  // FUEL: the flow and time of the last record that had one
    std::uint32_t last_flow_time = 0;
    bool has_flow = false;
    double last_lat = 0;  // DISTANCE: the last fix
    double last_lon = 0;
  };

 private:
  void write_row();
  void put(std::string_view text, const Column& column, bool first);

  OutBuffer& out_;
  DelimiterMode mode_;
  bool analysis_;
  std::vector<Column> columns_;
  std::int64_t flight_ = 0;  // the flight being summed up; 0 before the first record
  std::uint32_t first_time_ = 0, last_time_ = 0;
  RecordLayout first_layout_ = 0, last_layout_ = 0;
  std::int64_t records_ = 0;
  std::int64_t rows_ = 0;
};

}  // namespace korvex
