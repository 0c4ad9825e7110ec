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

void print_attitude_block(OutBuffer& out, DelimiterMode mode, Cursor& p, bool present) {
  if (present) p += 2;                        // id and length byte
  print_s16(out, p, mode, 5, present);        // bank
  print_s16(out, p, mode, 5, present);        // ptch
  print_s16(out, p, mode, 5, present);        // slip
  print_s16(out, p, mode, 4, present);        // hdg
  print_u16(out, p, mode, 5, present);        // yaw
  print_s8_tenths(out, p, mode, 4, present);  // G
  print_min_sec(out, p, mode, present);       // turn
}

}  // namespace korvex
