#include "record/record_stream.h"

#include "io/little_endian.h"
#include "record/framing.h"

#if defined(__SANITIZE_ADDRESS__)
#define KORVEX_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KORVEX_ASAN 1
#endif
#endif
#if defined(KORVEX_ASAN)
#include <sanitizer/asan_interface.h>
#endif

namespace korvex {

std::int64_t bad_packet_count = 0;

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
  rec.sections = 0;
  for (RecordLayout r = 0; r < RECORD_LAYOUT_COUNT; ++r) {
    if (match_layout(body, size, r, rec)) {
      rec.timestamp = le_u32(body + 2);
      return true;
    }
  }
  return false;
}

void release_packet(std::uint8_t* packet, std::uint32_t capacity) {
#if defined(KORVEX_ASAN)
  ASAN_UNPOISON_MEMORY_REGION(packet, capacity);
#else
  (void)packet;
  (void)capacity;
#endif
}

int read_record(ByteStream& in, std::uint8_t* packet, std::uint32_t capacity, Record& rec) {
  release_packet(packet, capacity);
  for (;;) {
    rec.sections = 0;
    std::uint32_t size = 0;
    if (find_packet(in, packet, capacity, size) == FRAME_NO_MARKER || in.failed() != 0) return 0;
    if (validate_record(packet, size, rec)) {
#if defined(KORVEX_ASAN)
      // Under the address sanitizer a read past the record, of bytes an earlier and longer packet
      // left in the buffer, is caught.
      ASAN_POISON_MEMORY_REGION(packet + size, capacity - size);
#endif
      return 1;
    }
    ++bad_packet_count;
  }
}

}  // namespace korvex
