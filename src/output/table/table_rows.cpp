#include "output/table/table_rows.h"

#include "output/flights/flights_table.h"
#include "output/registry.h"
#include "output/table/table_output.h"

namespace korvex {

void print_header(OutBuffer& out, DelimiterMode mode, const ColumnSet& columns) {
  print_label(out, TIME_LABEL, mode, TIME_WIDTH);
  columns.for_each([&](ColumnRef c) { print_label(out, c.field->label, mode, c.field->width); });
  out.put('\n');
}

std::unique_ptr<LogOutput> make_classic_table(const OutputSetup& setup) {
  const DelimiterMode mode = setup.format.delimiter;
  if (setup.flights_table) {
    return std::make_unique<FlightsTable>(setup.out, mode, false, setup.columns.sections);
  }
  return std::make_unique<TableOutput<CellStyle::CLASSIC>>(setup.out, print_header, mode,
                                                           setup.columns);
}

}  // namespace korvex
