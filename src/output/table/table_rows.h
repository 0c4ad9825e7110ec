// The classic table: one header row, then one row per record, in the delimiter mode's form.
#pragma once

#include "fields/column_set.h"
#include "io/out_buffer.h"
#include "output/cells/cells.h"
#include "output/cells/time_cell.h"
#include "output/table_output.h"
#include "record/record.h"

namespace korvex {

// The header row: the Time label, then the labels of the columns.
void print_header(OutBuffer& out, DelimiterMode mode, const ColumnSet& columns);

// One row: the Time cell, then the cells of the columns, each read where the record carries its
// block and printed as 0 where it does not. The classic row has no flight column.
void print_record_row(OutBuffer& out, DelimiterMode mode, const Record& rec, std::int64_t flight,
                      const ColumnSet& columns, std::size_t room, TimeCellCache& cache);

inline constexpr TableStyle CLASSIC_TABLE = {print_header, print_record_row};

}  // namespace korvex
