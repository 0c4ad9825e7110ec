#include "table/telm_block.h"

namespace korvex {

namespace {

constexpr int kLongFormLength = 63;
constexpr int kTcCount = 12;
constexpr int kTcWidth = 5;

struct Column {
  const char* label;
  int width;
};

constexpr Column kLeading[] = {{"RPM", 5},  {"rfl1", 5},  {"rfl2", 5}, {"ch1", 4}, {"ch2", 4},
                               {"flow", 5}, {"MAP", 5},   {"fl1", 4},  {"fl2", 4}, {"flc", 6},
                               {"o-t", 4},  {"oil-p", 6}, {"carb", 5}, {"f-p", 5}, {"h2o", 4}};
constexpr const char* kTcLabels[kTcCount] = {"tc1", "tc2", "tc3", "tc4",  "tc5",  "tc6",
                                             "tc7", "tc8", "tc9", "tc10", "tc11", "tc12"};
constexpr Column kTrailing[] = {{"rch1", 6}, {"rch2", 6}, {"rot", 6},
                                {"rop", 6},  {"ref", 6},  {"fail", 5}};

}  // namespace

void print_telm_header(OutBuffer& out, DelimiterMode mode) {
  for (const Column& c : kLeading) print_label(out, c.label, mode, c.width);
  for (const char* label : kTcLabels) print_label(out, label, mode, kTcWidth);
  for (const Column& c : kTrailing) print_label(out, c.label, mode, c.width);
}

char* print_telm_block(char* d, DelimiterMode mode, Cursor& cursor, bool present,
                       RecordLayout revision) {
  Cursor p = cursor;    // a local cursor stays in a register while cells are written
  if (present) p += 2;  // id and length byte, validated with the record
  d = print_u16(d, p, mode, 5, present);             // RPM
  d = print_u16(d, p, mode, 5, present);             // rfl1
  d = print_u16(d, p, mode, 5, present);             // rfl2
  d = print_u16(d, p, mode, 4, present);             // ch1
  d = print_u16(d, p, mode, 4, present);             // ch2
  d = print_u16_hundredths(d, p, mode, 5, present);  // flow
  d = print_u16(d, p, mode, 5, present);             // MAP
  d = print_u16(d, p, mode, 4, present);             // fl1
  d = print_u16(d, p, mode, 4, present);             // fl2
  d = print_u16_tenths(d, p, mode, 6, present);      // flc
  d = print_u16(d, p, mode, 4, present);             // o-t
  d = print_u16_tenths(d, p, mode, 6, present);      // oil-p
  d = print_s16(d, p, mode, 5, present);             // carb
  d = print_u8_tenths(d, p, mode, 5, present);       // f-p
  d = print_u8(d, p, mode, 4, present);              // h2o
  for (int k = 0; k < kTcCount; ++k) d = print_u16(d, p, mode, kTcWidth, present);
  // The long form carries rch1, rch2, rot and rop; the short form prints them as zeros.
  const bool long_form = layout_section_length[revision][SECTION_ID_TELM1] == kLongFormLength;
  for (int k = 0; k < 4; ++k) d = print_u16(d, p, mode, 6, present && long_form);
  d = print_u16(d, p, mode, 6, present);  // ref
  d = print_u8(d, p, mode, 5, present);   // fail
  if (present && !long_form) p += 1;      // the short form's spare byte
  cursor = p;
  return d;
}

}  // namespace korvex
