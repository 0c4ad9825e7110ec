#include "output/table/table_rows.h"

#include "output/cells/block_cells.h"

namespace korvex {

void print_header(OutBuffer& out, DelimiterMode mode, const ColumnSet& columns) {
  print_label(out, TIME_LABEL, mode, TIME_WIDTH);
  columns.for_each([&](ColumnRef c) { print_label(out, c.field->label, mode, c.field->width); });
  out.put('\n');
}

void print_record_row(OutBuffer& out, DelimiterMode mode, const Record& rec, std::int64_t flight,
                      const ColumnSet& columns, std::size_t room, TimeCellCache& cache) {
  record_row<CellStyle::CLASSIC>(out, mode, rec, flight, columns, room, cache);
}

}  // namespace korvex
