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

void print_gps_block(OutBuffer& out, DelimiterMode mode, Cursor& p, bool present,
                     RecordLayout revision) {
  if (present) p += 2;                                 // id and length byte
  print_coordinate(out, p, mode, 10, present, false);  // lat
  print_coordinate(out, p, mode, 11, present, true);   // long, stored as a west longitude
  print_s32(out, p, mode, 4, present);                 // hdg
  print_s32(out, p, mode, 4, present);                 // gs
  print_s32(out, p, mode, 6, present);                 // g-alt
  // Layout 0 has a 20-byte GPS section without the last four fields.
  const bool extended = present && revision >= 1;
  print_s8(out, p, mode, 7, extended);  // status
  print_s8(out, p, mode, 5, extended);  // sats
  print_s8(out, p, mode, 5, extended);  // hac
  print_s8(out, p, mode, 5, extended);  // vac
}

}  // namespace korvex
