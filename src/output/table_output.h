// A table as an output: a header, then a row per record. The classic tables and the analysis
// tables differ only in how they write the two.
#pragma once

#include "fields/column_set.h"
#include "io/out_buffer.h"
#include "output/cells/time_cell.h"
#include "output/log_output.h"

namespace korvex {

struct TableStyle {
  void (*header)(OutBuffer& out, DelimiterMode mode, const ColumnSet& columns);
  void (*row)(OutBuffer& out, DelimiterMode mode, const Record& rec, std::int64_t flight,
              const ColumnSet& columns, std::size_t room, TimeCellCache& cache);
};

class TableOutput final : public LogOutput {
 public:
  TableOutput(OutBuffer& out, TableStyle style, DelimiterMode mode, const ColumnSet& columns)
      : out_(out),
        style_(style),
        mode_(mode),
        columns_(columns),
        room_(row_room(columns.count() + 2)) {}  // with Time and flight

  void begin() override { style_.header(out_, mode_, columns_); }
  bool record(const Record& rec, std::int64_t flight) override {
    style_.row(out_, mode_, rec, flight, columns_, room_, cache_);
    ++rows_;
    return out_.failed() == 0;
  }
  bool end() override { return out_.flush(); }
  std::int64_t rows() const override { return rows_; }
  int write_error() const override { return out_.failed(); }

 private:
  OutBuffer& out_;
  TableStyle style_;
  DelimiterMode mode_;
  const ColumnSet& columns_;
  std::size_t room_;
  TimeCellCache cache_;
  std::int64_t rows_ = 0;
};

}  // namespace korvex
