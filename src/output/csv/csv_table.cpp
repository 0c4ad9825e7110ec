#include "output/csv/csv_table.h"

#include "output/cells/block_cells.h"

namespace korvex {

void print_csv_header(OutBuffer& out, DelimiterMode mode, const ColumnSet& columns) {
  const char separator = mode == DELIM_TAB ? '\t' : ',';
  out.write(TIME_LABEL);
  out.put(separator);
  out.write(FLIGHT_NAME);
  columns.for_each([&](ColumnRef c) {
    out.put(separator);
    out.write(column_name(c.block, *c.field));
  });
  out.put('\n');
}

void print_csv_row(OutBuffer& out, DelimiterMode mode, const Record& rec, std::int64_t flight,
                   const ColumnSet& columns, std::size_t room, TimeCellCache& cache) {
  record_row<CellStyle::ANALYSIS>(out, mode, rec, flight, columns, room, cache);
}

}  // namespace korvex
