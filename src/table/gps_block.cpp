#include "table/gps_block.h"

namespace korvex {

void print_gps_header(OutBuffer& out, DelimiterMode mode) {
  print_label(out, "lat", mode, 10);
  print_label(out, "long", mode, 11);
  print_label(out, "hdg", mode, 4);
  print_label(out, "gs", mode, 4);
  print_label(out, "g-alt", mode, 6);
  print_label(out, "status", mode, 7);
  print_label(out, "sats", mode, 5);
  print_label(out, "hac", mode, 5);
  print_label(out, "vac", mode, 5);
}

char* print_gps_block(char* d, DelimiterMode mode, Cursor& cursor, bool present,
                      RecordLayout revision) {
  Cursor p = cursor;
  if (present) p += 2;                                   // id and length byte
  d = print_coordinate(d, p, mode, 10, present, false);  // lat
  d = print_coordinate(d, p, mode, 11, present, true);   // long, stored as a west longitude
  d = print_s32(d, p, mode, 4, present);                 // hdg
  d = print_s32(d, p, mode, 4, present);                 // gs
  d = print_s32(d, p, mode, 6, present);                 // g-alt
  // Layout 0 has a 20-byte GPS section without the last four fields.
  const bool extended = present && revision >= 1;
  d = print_s8(d, p, mode, 7, extended);  // status
  d = print_s8(d, p, mode, 5, extended);  // sats
  d = print_s8(d, p, mode, 5, extended);  // hac
  d = print_s8(d, p, mode, 5, extended);  // vac
  cursor = p;
  return d;
}

}  // namespace korvex
