#include "output/table/table_rows.h"

#include "fields/blocks.h"
#include "output/cells/block_cells.h"

namespace korvex {

void print_header(OutBuffer& out, DelimiterMode mode, SectionFlags sections) {
  print_label(out, TIME_LABEL, mode, TIME_WIDTH);
  for (int block = BASE_BLOCK; block < BLOCK_COUNT; ++block) {
    if (!shows_block(sections, block)) continue;
    for (const Field& f : block_fields[block]) print_label(out, f.label, mode, f.width);
  }
  out.put('\n');
}

void print_record_row(OutBuffer& out, DelimiterMode mode, const Record& rec, SectionFlags sections,
                      TimeCellCache& cache) {
  char* const start = out.reserve(ROW_ROOM);
  char* d = print_time_cell(start, mode, rec.timestamp, rec.revision, cache);
  d = record_cells<CellStyle::CLASSIC>(d, rec, sections, mode);
  *d++ = '\n';
  out.commit(static_cast<std::size_t>(d - start));
}

}  // namespace korvex
