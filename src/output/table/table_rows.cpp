#include "output/table/table_rows.h"

#include "fields/blocks.h"
#include "output/cells/block_cells.h"

namespace korvex {

void print_header(OutBuffer& out, DelimiterMode mode, SectionFlags sections) {
  print_label(out, TIME_LABEL, mode, TIME_WIDTH);
  for_each_column(sections, [&](int, const Field& f) { print_label(out, f.label, mode, f.width); });
  out.put('\n');
}

void print_record_row(OutBuffer& out, DelimiterMode mode, const Record& rec, SectionFlags sections,
                      TimeCellCache& cache) {
  record_row<CellStyle::CLASSIC>(out, mode, rec, sections, cache);
}

}  // namespace korvex
