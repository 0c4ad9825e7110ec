#include "record_writer.h"

#include <bit>
#include <cstring>

#include "io/little_endian.h"
#include "record/framing.h"

namespace korvex {

namespace {

struct Writer {
  std::uint8_t* p;
  void u8(std::uint8_t v) { *p++ = v; }
  void s8(std::int8_t v) { *p++ = static_cast<std::uint8_t>(v); }
  void u16(std::uint16_t v) {
    put_le16(p, v);
    p += 2;
  }
  void s16(std::int16_t v) { u16(static_cast<std::uint16_t>(v)); }
  void u32(std::uint32_t v) {
    put_le32(p, v);
    p += 4;
  }
  void s32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
  void f32(float v) { u32(std::bit_cast<std::uint32_t>(v)); }
};

void write_base(Writer& w, const BaseFields& b) {
  w.s32(b.alt);
  w.s16(b.baro);
  w.s16(b.asi);
  w.s16(b.tas);
  w.s16(b.vsi);
  w.s16(b.g_s);
  w.u16(b.rotor);
  w.u8(b.main_volts);
  w.u8(b.batt_volts);
  w.s16(b.amps);
  w.s16(b.aoa);
  w.s16(b.oat);
}

void write_telm(Writer& w, int id, const TelmFields& t, std::uint8_t length) {
  w.u8(static_cast<std::uint8_t>(id));
  w.u8(length);
  w.u16(t.rpm);
  w.u16(t.rfl1);
  w.u16(t.rfl2);
  w.u16(t.ch1);
  w.u16(t.ch2);
  w.u16(t.flow);
  w.u16(t.map);
  w.u16(t.fl1);
  w.u16(t.fl2);
  w.u16(t.flc);
  w.u16(t.oil_t);
  w.u16(t.oil_p);
  w.s16(t.carb);
  w.u8(t.fuel_p);
  w.u8(t.h2o);
  for (std::uint16_t tc : t.tc) w.u16(tc);
  if (length == 63) {
    w.u16(t.rch1);
    w.u16(t.rch2);
    w.u16(t.rot);
    w.u16(t.rop);
    w.u16(t.ref);
    w.u8(t.fail);
  } else {
    w.u16(t.ref);
    w.u8(t.fail);
    w.u8(t.spare);
  }
}

void write_attitude(Writer& w, const AttitudeFields& a) {
  w.u8(SECTION_ID_ATTITUDE);
  w.u8(14);
  w.s16(a.bank);
  w.s16(a.pitch);
  w.s16(a.slip);
  w.s16(a.heading);
  w.u16(a.yaw);
  w.s8(a.g);
  w.u8(a.turn_seconds);
  w.s16(a.turn_minutes);
}

void write_gps(Writer& w, const GpsFields& g, std::uint8_t length) {
  w.u8(SECTION_ID_GPS);
  w.u8(length);
  w.f32(g.lat);
  w.f32(g.lon);
  w.s32(g.heading);
  w.s32(g.ground_speed);
  w.s32(g.altitude);
  if (length == 24) {
    w.s8(g.status);
    w.s8(g.sats);
    w.s8(g.hac);
    w.s8(g.vac);
  }
}

}  // namespace

std::size_t encode_record(const RecordFields& fields, RecordLayout layout, std::uint8_t* body) {
  const std::uint8_t* lengths = layout_section_length[layout];
  Writer w{body + RECORD_HEADER_LEN};
  write_base(w, fields.base);
  if (fields.telm1) write_telm(w, SECTION_ID_TELM1, *fields.telm1, lengths[SECTION_ID_TELM1]);
  if (fields.telm2) write_telm(w, SECTION_ID_TELM2, *fields.telm2, lengths[SECTION_ID_TELM2]);
  if (fields.attitude) write_attitude(w, *fields.attitude);
  if (fields.gps) write_gps(w, *fields.gps, lengths[SECTION_ID_GPS]);
  const auto size = static_cast<std::size_t>(w.p - body);
  const auto payload_len = static_cast<int>(size) - RECORD_HEADER_LEN;
  body[0] = static_cast<std::uint8_t>(payload_len + layout_length_bias[layout]);
  body[1] = PLAIN_SECTION_OFFSET;
  put_le32(body + 2, fields.timestamp);
  return size;
}

void append_record(std::vector<std::uint8_t>& log, const RecordFields& fields,
                   RecordLayout layout) {
  std::uint8_t body[MAX_RECORD_BODY];
  const std::size_t size = encode_record(fields, layout, body);
  log.push_back(MARKER_FIRST);
  log.push_back(MARKER_SECOND);
  log.insert(log.end(), body, body + size);
}

}  // namespace korvex
