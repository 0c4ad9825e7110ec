// The analysis tables, csv and tsv: the classic table's records and cells, made for programs.
// Column names are unique identifiers, no separator follows the last cell, Time is ISO 8601
// (YYYY-MM-DDTHH:MM:SS on the instrument's clock) or the raw count, and a value the record does
// not carry (a block it lacks, a column its layout lacks) is an empty cell. No cell needs quoting.
#pragma once

#include <string>

#include "fields/field.h"
#include "io/out_buffer.h"
#include "output/cells/time_cell.h"
#include "output/log_output.h"
#include "record/record.h"

namespace korvex {

// A column's name: its label with each '-' made '_', after the block's prefix, unless the table
// gives it a name of its own.
std::string analysis_name(int block, const Field& f);

// The header and one row; `mode` is DELIM_COMMA (csv) or DELIM_TAB (tsv).
void print_csv_header(OutBuffer& out, DelimiterMode mode, SectionFlags sections);
void print_csv_row(OutBuffer& out, DelimiterMode mode, const Record& rec, SectionFlags sections,
                   TimeCellCache& cache);

class CsvOutput final : public LogOutput {
 public:
  CsvOutput(OutBuffer& out, DelimiterMode mode, SectionFlags sections)
      : out_(out), mode_(mode), sections_(sections) {}

  void begin() override { print_csv_header(out_, mode_, sections_); }

  bool record(const Record& rec) override {
    print_csv_row(out_, mode_, rec, sections_, cache_);
    return out_.failed() == 0;
  }

 private:
  OutBuffer& out_;
  DelimiterMode mode_;
  SectionFlags sections_;
  TimeCellCache cache_;
};

}  // namespace korvex
