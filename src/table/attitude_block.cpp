#include "table/attitude_block.h"

namespace korvex {

void print_attitude_header(OutBuffer& out, DelimiterMode mode) {
  print_label(out, "bank", mode, 5);
  print_label(out, "ptch", mode, 5);
  print_label(out, "slip", mode, 5);
  print_label(out, "hdg", mode, 4);
  print_label(out, "yaw", mode, 5);
  print_label(out, "G", mode, 4);
  print_label(out, "turn", mode, 7);
}

char* print_attitude_block(char* d, DelimiterMode mode, Cursor& cursor, bool present) {
  Cursor p = cursor;
  if (present) p += 2;                          // id and length byte
  d = print_s16(d, p, mode, 5, present);        // bank
  d = print_s16(d, p, mode, 5, present);        // ptch
  d = print_s16(d, p, mode, 5, present);        // slip
  d = print_s16(d, p, mode, 4, present);        // hdg
  d = print_u16(d, p, mode, 5, present);        // yaw
  d = print_s8_tenths(d, p, mode, 4, present);  // G
  d = print_min_sec(d, p, mode, present);       // turn
  cursor = p;
  return d;
}

}  // namespace korvex
