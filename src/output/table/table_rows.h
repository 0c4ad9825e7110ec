// The classic table: one header row for the log's section set, then one row per record.
#pragma once

#include "io/out_buffer.h"
#include "output/cells/cells.h"
#include "output/cells/time_cell.h"
#include "output/table_output.h"
#include "record/record.h"

namespace korvex {

// The header row: the Time label, the base labels, then the labels of each block in `sections`.
void print_header(OutBuffer& out, DelimiterMode mode, SectionFlags sections);

// One row: the Time cell, the base cells, then one block per section in `sections`, read where
// the record carries that section and printed as zeros where it does not.
void print_record_row(OutBuffer& out, DelimiterMode mode, const Record& rec, SectionFlags sections,
                      TimeCellCache& cache);

inline constexpr TableStyle CLASSIC_TABLE = {print_header, print_record_row};

}  // namespace korvex
