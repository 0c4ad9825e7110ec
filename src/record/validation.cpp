#include "record/validation.h"

#include "io/little_endian.h"

namespace korvex {

namespace {

// The least packet that can be looked at as a record at all.
constexpr std::uint32_t kMinPacket = 8;

bool match_layout(const std::uint8_t* body, std::uint32_t size, RecordLayout r, Record& rec) {
  const int payload_len = body[0] - layout_length_bias[r];
  if (payload_len < BASE_PAYLOAD_LEN ||
      static_cast<std::uint32_t>(payload_len + RECORD_HEADER_LEN) != size) {
    return false;
  }
  // The cursor counts from the payload start; the sections begin at record offset 2 + the
  // section offset byte, which is before the payload when that byte is below 4.
  int cursor = 2 + body[1] - RECORD_HEADER_LEN;
  const std::uint8_t* payload = body + RECORD_HEADER_LEN;
  SectionFlags flags = 0;
  std::uint8_t length[SECTION_ID_COUNT] = {};
  std::int32_t at[SECTION_ID_COUNT] = {};
  for (int id = 1; id < SECTION_ID_COUNT; ++id) {
    if (cursor < payload_len && payload[cursor] == id) {
      // A section whose length byte lies past the payload cannot end at the payload's end.
      if (cursor + 1 >= payload_len) return false;
      flags |= section_flag(id);
      at[id] = cursor;
      length[id] = payload[cursor + 1];
      cursor += 2 + length[id];
    }
  }
  if (cursor != payload_len) return false;
  for (int id = 1; id < SECTION_ID_COUNT; ++id) {
    if ((flags & section_flag(id)) != 0 && length[id] != layout_section_length[r][id]) {
      return false;
    }
  }
  rec.payload = payload;
  rec.payload_len = payload_len;
  rec.revision = r;
  rec.sections = flags;
  for (int id = 0; id < SECTION_ID_COUNT; ++id) rec.section_at[id] = at[id];
  return true;
}

}  // namespace

bool validate_record(const std::uint8_t* body, std::uint32_t size, Record& rec) {
  if (size < kMinPacket) return false;
  for (RecordLayout r = 0; r < RECORD_LAYOUT_COUNT; ++r) {
    if (match_layout(body, size, r, rec)) {
      rec.timestamp = le_u32(body + 2);
      return true;
    }
  }
  return false;
}

}  // namespace korvex
