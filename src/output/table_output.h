// A table as an output: a header, then a row per record. The classic tables and the analysis
// tables differ only in how they write the two.
#pragma once

#include "io/out_buffer.h"
#include "output/cells/time_cell.h"
#include "output/log_output.h"
#include "record/record.h"

namespace korvex {

struct TableStyle {
  void (*header)(OutBuffer& out, DelimiterMode mode, SectionFlags sections);
  void (*row)(OutBuffer& out, DelimiterMode mode, const Record& rec, SectionFlags sections,
              TimeCellCache& cache);
};

class TableOutput final : public LogOutput {
 public:
  // The table of a log whose records carry the sections `sections` (the survey's union).
  TableOutput(OutBuffer& out, TableStyle style, DelimiterMode mode, SectionFlags sections)
      : out_(out), style_(style), mode_(mode), sections_(sections) {}

  void begin() override { style_.header(out_, mode_, sections_); }

  bool record(const Record& rec) override {
    style_.row(out_, mode_, rec, sections_, cache_);
    return out_.failed() == 0;
  }

 private:
  OutBuffer& out_;
  TableStyle style_;
  DelimiterMode mode_;
  SectionFlags sections_;
  TimeCellCache cache_;
};

}  // namespace korvex
