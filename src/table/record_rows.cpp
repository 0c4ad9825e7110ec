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
  char* const start = out.reserve(ROW_ROOM);
  char* d = print_time_cell(start, mode, rec.timestamp, rec.revision, cache);
  Cursor p = rec.payload;
  d = print_s32(d, p, mode, 7, true);         // alt
  d = print_s16(d, p, mode, 5, true);         // baro
  d = print_s16(d, p, mode, 4, true);         // ASI
  d = print_s16(d, p, mode, 4, true);         // TAS
  d = print_s16(d, p, mode, 5, true);         // VSI
  d = print_s16_tenths(d, p, mode, 5, true);  // g-s
  d = print_unsigned(d, le_u16(p) & kRotorMask, mode, kRotorWidth);
  p += 2;
  d = print_u8_tenths(d, p, mode, 5, true);   // m-v
  d = print_u8_tenths(d, p, mode, 5, true);   // b-v
  d = print_s16_tenths(d, p, mode, 6, true);  // amps
  d = print_s16(d, p, mode, 6, true);         // AOA
  d = print_s16(d, p, mode, 4, true);         // OAT

  bool present = false;
  if ((sections & SECTION_TELM1) != 0) {
    p = section_cursor(rec, SECTION_ID_TELM1, present);
    d = print_telm_block(d, mode, p, present, rec.revision);
  }
  if ((sections & SECTION_TELM2) != 0) {
    p = section_cursor(rec, SECTION_ID_TELM2, present);
    d = print_telm_block(d, mode, p, present, rec.revision);
  }
  if ((sections & SECTION_ATTITUDE) != 0) {
    p = section_cursor(rec, SECTION_ID_ATTITUDE, present);
    d = print_attitude_block(d, mode, p, present);
  }
  if ((sections & SECTION_GPS) != 0) {
    p = section_cursor(rec, SECTION_ID_GPS, present);
    d = print_gps_block(d, mode, p, present, rec.revision);
  }
  *d++ = '\n';
  out.commit(static_cast<std::size_t>(d - start));
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
  release_packet(packet.data(), PACKET_CAPACITY);
  return rows;
}

}  // namespace korvex
