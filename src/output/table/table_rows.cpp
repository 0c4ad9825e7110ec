#include "output/table/table_rows.h"

#include "fields/blocks.h"
#include "output/table/block_cells.h"

namespace korvex {

namespace {

// One function per block kind keeps the row code compact; both engine monitors share one.
char* base_cells(char* d, const Record& rec, DelimiterMode mode) {
  return block_cells<BASE_FIELDS>(d, rec.payload, true, rec.revision, mode);
}

char* telm_cells(char* d, const Record& rec, int id, DelimiterMode mode) {
  return block_cells<TELM_FIELDS>(d, rec.section(id), long_form(id, rec.revision), rec.revision,
                                  mode);
}

char* attitude_cells(char* d, const Record& rec, DelimiterMode mode) {
  return block_cells<ATTITUDE_FIELDS>(d, rec.section(SECTION_ID_ATTITUDE), true, rec.revision,
                                      mode);
}

char* gps_cells(char* d, const Record& rec, DelimiterMode mode) {
  return block_cells<GPS_FIELDS>(d, rec.section(SECTION_ID_GPS), true, rec.revision, mode);
}

}  // namespace

void print_header(OutBuffer& out, DelimiterMode mode, SectionFlags sections) {
  print_label(out, TIME_LABEL, mode, TIME_WIDTH);
  for (int block = BASE_BLOCK; block < BLOCK_COUNT; ++block) {
    if (block != BASE_BLOCK && (sections & section_flag(block)) == 0) continue;
    for (const Field& f : block_fields[block]) print_label(out, f.label, mode, f.width);
  }
  out.put('\n');
}

void print_record_row(OutBuffer& out, DelimiterMode mode, const Record& rec, SectionFlags sections,
                      TimeCellCache& cache) {
  char* const start = out.reserve(ROW_ROOM);
  char* d = print_time_cell(start, mode, rec.timestamp, rec.revision, cache);
  d = base_cells(d, rec, mode);
  if ((sections & SECTION_TELM1) != 0) d = telm_cells(d, rec, SECTION_ID_TELM1, mode);
  if ((sections & SECTION_TELM2) != 0) d = telm_cells(d, rec, SECTION_ID_TELM2, mode);
  if ((sections & SECTION_ATTITUDE) != 0) d = attitude_cells(d, rec, mode);
  if ((sections & SECTION_GPS) != 0) d = gps_cells(d, rec, mode);
  *d++ = '\n';
  out.commit(static_cast<std::size_t>(d - start));
}

}  // namespace korvex
