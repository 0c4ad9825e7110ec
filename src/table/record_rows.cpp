#include "table/record_rows.h"

#include "io/little_endian.h"
#include "table/attitude_block.h"
#include "table/gps_block.h"
#include "table/telm_block.h"

namespace korvex {

namespace {

constexpr int kRotorWidth = 6;
constexpr std::uint16_t kRotorMask = 0x7fff;

// The block of one optional section: where it stands in the record, or zeros.
Cursor section_cursor(const Record& rec, int id, bool& present) {
  present = (rec.sections & section_flag(id)) != 0;
  return present ? rec.payload + rec.section_at[id] : rec.payload;
}

}  // namespace

void print_header(OutBuffer& out, DelimiterMode mode, SectionFlags sections) {
  print_label(out, "Time", mode, TIME_WIDTH);
  print_label(out, "alt", mode, 7);
  print_label(out, "baro", mode, 5);
  print_label(out, "ASI", mode, 4);
  print_label(out, "TAS", mode, 4);
  print_label(out, "VSI", mode, 5);
  print_label(out, "g-s", mode, 5);
  print_label(out, "rotor", mode, kRotorWidth);
  print_label(out, "m-v", mode, 5);
  print_label(out, "b-v", mode, 5);
  print_label(out, "amps", mode, 6);
  print_label(out, "AOA", mode, 6);
  print_label(out, "OAT", mode, 4);
  if ((sections & SECTION_TELM1) != 0) print_telm_header(out, mode);
  if ((sections & SECTION_TELM2) != 0) print_telm_header(out, mode);
  if ((sections & SECTION_ATTITUDE) != 0) print_attitude_header(out, mode);
  if ((sections & SECTION_GPS) != 0) print_gps_header(out, mode);
  out.put('\n');
}

void print_record_row(OutBuffer& out, DelimiterMode mode, const Record& rec, SectionFlags sections,
                      TimeCellCache& cache) {
  print_time_cell(out, mode, rec.timestamp, rec.revision, cache);
  Cursor p = rec.payload;
  print_s32(out, p, mode, 7, true);         // alt
  print_s16(out, p, mode, 5, true);         // baro
  print_s16(out, p, mode, 4, true);         // ASI
  print_s16(out, p, mode, 4, true);         // TAS
  print_s16(out, p, mode, 5, true);         // VSI
  print_s16_tenths(out, p, mode, 5, true);  // g-s
  print_unsigned(out, le_u16(p) & kRotorMask, mode, kRotorWidth);
  p += 2;
  print_u8_tenths(out, p, mode, 5, true);   // m-v
  print_u8_tenths(out, p, mode, 5, true);   // b-v
  print_s16_tenths(out, p, mode, 6, true);  // amps
  print_s16(out, p, mode, 6, true);         // AOA
  print_s16(out, p, mode, 4, true);         // OAT

  bool present = false;
  if ((sections & SECTION_TELM1) != 0) {
    p = section_cursor(rec, SECTION_ID_TELM1, present);
    print_telm_block(out, mode, p, present, rec.revision);
  }
  if ((sections & SECTION_TELM2) != 0) {
    p = section_cursor(rec, SECTION_ID_TELM2, present);
    print_telm_block(out, mode, p, present, rec.revision);
  }
  if ((sections & SECTION_ATTITUDE) != 0) {
    p = section_cursor(rec, SECTION_ID_ATTITUDE, present);
    print_attitude_block(out, mode, p, present);
  }
  if ((sections & SECTION_GPS) != 0) {
    p = section_cursor(rec, SECTION_ID_GPS, present);
    print_gps_block(out, mode, p, present, rec.revision);
  }
  out.put('\n');
}

std::int64_t dump_records(ByteStream& in, OutBuffer& out, DelimiterMode mode, std::int64_t limit,
                          SectionFlags sections) {
  PacketBuffer packet;
  Record rec;
  TimeCellCache cache;
  std::int64_t rows = 0;
  while (in.pos() < limit && out.failed() == 0 &&
         read_record(in, packet.data(), PACKET_CAPACITY, rec) == 1) {
    print_record_row(out, mode, rec, sections, cache);
    ++rows;
  }
  return rows;
}

}  // namespace korvex
