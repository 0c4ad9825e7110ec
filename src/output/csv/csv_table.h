// The analysis tables, csv and tsv: the classic table's records and cells, made for programs.
// Column names are unique identifiers, a flight column follows Time, no separator follows the
// last cell, Time is ISO 8601 (YYYY-MM-DDTHH:MM:SS on the instrument's clock) or the raw count,
// and a value the record does not carry (a block it lacks, a column its layout lacks) is an
// empty cell. No cell needs quoting.
#pragma once

#include "fields/column_set.h"
#include "io/out_buffer.h"
#include "output/cells/time_cell.h"
#include "output/table_output.h"
#include "record/record.h"

namespace korvex {

inline constexpr std::string_view FLIGHT_NAME = "flight";

// The header and one row; `mode` is DELIM_COMMA (csv) or DELIM_TAB (tsv).
void print_csv_header(OutBuffer& out, DelimiterMode mode, const ColumnSet& columns);
void print_csv_row(OutBuffer& out, DelimiterMode mode, const Record& rec, std::int64_t flight,
                   const ColumnSet& columns, std::size_t room, TimeCellCache& cache);

inline constexpr TableStyle ANALYSIS_TABLE = {print_csv_header, print_csv_row};

}  // namespace korvex
