// The analysis tables, csv and tsv: the classic table's records and cells, made for programs.
// Column names are unique identifiers, no separator follows the last cell, Time is ISO 8601
// (YYYY-MM-DDTHH:MM:SS on the instrument's clock) or the raw count, and a value the record does
// not carry (a block it lacks, a column its layout lacks) is an empty cell. No cell needs quoting.
#pragma once

#include <string>

#include "fields/field.h"
#include "io/out_buffer.h"
#include "output/cells/time_cell.h"
#include "output/table_output.h"
#include "record/record.h"

namespace korvex {

// A column's name: its label with each '-' made '_', after the block's prefix, unless the table
// gives it a name of its own.
std::string analysis_name(int block, const Field& f);

// The header and one row; `mode` is DELIM_COMMA (csv) or DELIM_TAB (tsv).
void print_csv_header(OutBuffer& out, DelimiterMode mode, SectionFlags sections);
void print_csv_row(OutBuffer& out, DelimiterMode mode, const Record& rec, SectionFlags sections,
                   TimeCellCache& cache);

inline constexpr TableStyle ANALYSIS_TABLE = {print_csv_header, print_csv_row};

}  // namespace korvex
