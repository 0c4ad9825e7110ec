// The classic table as an output: a header, then a row per record, in the delimiter mode's form.
#pragma once

#include "io/out_buffer.h"
#include "output/log_output.h"
#include "output/table/table_rows.h"

namespace korvex {

class TableOutput final : public LogOutput {
 public:
  // The table of a log whose records carry the sections `sections` (the survey's union).
  TableOutput(OutBuffer& out, DelimiterMode mode, SectionFlags sections)
      : out_(out), mode_(mode), sections_(sections) {}

  void begin() override { print_header(out_, mode_, sections_); }

  bool record(const Record& rec) override {
    print_record_row(out_, mode_, rec, sections_, cache_);
    return out_.failed() == 0;
  }

 private:
  OutBuffer& out_;
  DelimiterMode mode_;
  SectionFlags sections_;
  TimeCellCache cache_;
};

}  // namespace korvex
