#include "output/csv/csv_table.h"

#include "fields/blocks.h"
#include "output/cells/block_cells.h"

namespace korvex {

std::string analysis_name(int block, const Field& f) {
  if (!f.analysis_name.empty()) return std::string(f.analysis_name);
  std::string name = std::string(block_name_prefix[block]) + std::string(f.label);
  for (char& c : name) c = c == '-' ? '_' : c;
  return name;
}

void print_csv_header(OutBuffer& out, DelimiterMode mode, SectionFlags sections) {
  const char separator = mode == DELIM_TAB ? '\t' : ',';
  out.write(TIME_LABEL);
  for_each_column(sections, [&](int block, const Field& f) {
    out.put(separator);
    out.write(analysis_name(block, f));
  });
  out.put('\n');
}

void print_csv_row(OutBuffer& out, DelimiterMode mode, const Record& rec, SectionFlags sections,
                   TimeCellCache& cache) {
  record_row<CellStyle::ANALYSIS>(out, mode, rec, sections, cache);
}

}  // namespace korvex
