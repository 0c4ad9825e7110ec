// The classic table (tab, comma, space): one header row of labels, then one row per record
// with the Time cell and every column, a value the record lacks printed as 0.
#pragma once

#include <memory>

#include "fields/column_set.h"
#include "io/out_buffer.h"
#include "output/cells/cells.h"
#include "output/format/log_output.h"

namespace korvex {

struct OutputSetup;

// The header row: the Time label, then the labels of the columns.
void print_header(OutBuffer& out, DelimiterMode mode, const ColumnSet& columns);

// The classic table, or with --flights the flights table in its classic form.
std::unique_ptr<LogOutput> make_classic_table(const OutputSetup& setup);

}  // namespace korvex
