#include "output/csv/csv_table.h"

#include "output/flights/flights_table.h"
#include "output/registry.h"
#include "output/table/table_output.h"

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

std::unique_ptr<LogOutput> make_analysis_table(const OutputSetup& setup) {
  const DelimiterMode mode = setup.format.delimiter;
  if (setup.flights_table) {
    return std::make_unique<FlightsTable>(setup.out, mode, true, setup.columns.sections);
  }
  return std::make_unique<TableOutput<CellStyle::ANALYSIS>>(setup.out, print_csv_header, mode,
                                                            setup.columns);
}

}  // namespace korvex
