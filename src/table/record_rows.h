// The table: one header row for the log's section set, then one row per record.
#pragma once

#include <cstdint>

#include "io/byte_stream.h"
#include "io/out_buffer.h"
#include "record/record_stream.h"
#include "table/columns.h"
#include "table/time_cell.h"

namespace korvex {

// No position limit: the pass runs to the end of the records.
inline constexpr std::int64_t NO_LIMIT = INT64_MAX;

// The header row: the base labels, then one block of labels per section in `sections`.
void print_header(OutBuffer& out, DelimiterMode mode, SectionFlags sections);

// One row: the Time cell, the base cells from payload bytes 0 to 23, then one block per section
// in `sections`, read where the record carries that section and printed as zeros where it does
// not.
void print_record_row(OutBuffer& out, DelimiterMode mode, const Record& rec, SectionFlags sections,
                      TimeCellCache& cache);

// Prints a row per record from the stream's position while the position before a record is
// below `limit`; returns the rows printed. Ends early when a write to `out` fails.
std::int64_t dump_records(ByteStream& in, OutBuffer& out, DelimiterMode mode, std::int64_t limit,
                          SectionFlags sections);

}  // namespace korvex
