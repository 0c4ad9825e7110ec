#include "output/table/table_rows.h"

#include "output/table/table_output.h"

namespace korvex {

void print_header(OutBuffer& out, DelimiterMode mode, const ColumnSet& columns) {
  print_label(out, TIME_LABEL, mode, TIME_WIDTH);
  columns.for_each([&](ColumnRef c) { print_label(out, c.field->label, mode, c.field->width); });
  out.put('\n');
}

std::unique_ptr<LogOutput> make_classic_table(const OutputSetup& setup) {
  return make_table<CellStyle::CLASSIC>(setup, print_header);
}

}  // namespace korvex
