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

void print_telm_block(OutBuffer& out, DelimiterMode mode, Cursor& p, bool present,
                      RecordLayout revision) {
  if (present) p += 2;                             // id and length byte, validated with the record
  print_u16(out, p, mode, 5, present);             // RPM
  print_u16(out, p, mode, 5, present);             // rfl1
  print_u16(out, p, mode, 5, present);             // rfl2
  print_u16(out, p, mode, 4, present);             // ch1
  print_u16(out, p, mode, 4, present);             // ch2
  print_u16_hundredths(out, p, mode, 5, present);  // flow
  print_u16(out, p, mode, 5, present);             // MAP
  print_u16(out, p, mode, 4, present);             // fl1
  print_u16(out, p, mode, 4, present);             // fl2
  print_u16_tenths(out, p, mode, 6, present);      // flc
  print_u16(out, p, mode, 4, present);             // o-t
  print_u16_tenths(out, p, mode, 6, present);      // oil-p
  print_s16(out, p, mode, 5, present);             // carb
  print_u8_tenths(out, p, mode, 5, present);       // f-p
  print_u8(out, p, mode, 4, present);              // h2o
  for (int k = 0; k < kTcCount; ++k) print_u16(out, p, mode, kTcWidth, present);
  // The long form carries rch1, rch2, rot and rop; the short form prints them as zeros.
  const bool long_form = layout_section_length[revision][SECTION_ID_TELM1] == kLongFormLength;
  for (int k = 0; k < 4; ++k) print_u16(out, p, mode, 6, present && long_form);
  print_u16(out, p, mode, 6, present);  // ref
  print_u8(out, p, mode, 5, present);   // fail
  if (present && !long_form) p += 1;    // the short form's spare byte
}

}  // namespace korvex
