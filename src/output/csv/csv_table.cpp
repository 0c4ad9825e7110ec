#include "output/csv/csv_table.h"

#include "output/table/table_output.h"

namespace korvex {

void print_csv_header(OutBuffer& out, DelimiterMode mode, const ColumnSet& columns) {
  const char separator = mode == DELIM_TAB ? '\t' : ',';
  out.write(TIME_LABEL);
  out.put(separator);
  out.write(FLIGHT_NAME);
  if (columns.phase) {
    out.put(separator);
    out.write(PHASE_NAME);
  }
  columns.for_each([&](ColumnRef c) {
    out.put(separator);
    out.write(column_name(c.block, *c.field));
  });
  out.put('\n');
}

std::unique_ptr<LogOutput> make_analysis_table(const OutputSetup& setup) {
  return make_table<CellStyle::ANALYSIS>(setup, print_csv_header);
}

}  // namespace korvex
