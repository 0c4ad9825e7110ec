// The record stream: validated records out of the log's packets.
//
// A record is a packet body of the form
//   length byte | section offset byte | timestamp (u32) | payload
// where the payload is 24 bytes of flight data followed by up to four optional sections
// (id byte, length byte, body), in increasing id order. Four record layouts fix how the length
// byte relates to the packet size and how long each section body is.
#pragma once

#include <array>
#include <cstdint>

#include "io/byte_stream.h"

namespace korvex {

// The optional sections of one record or of a whole log: the flag of section id n is 1 << n.
using SectionFlags = std::uint32_t;
inline constexpr SectionFlags SECTION_TELM1 = 0x02;
inline constexpr SectionFlags SECTION_TELM2 = 0x04;
inline constexpr SectionFlags SECTION_ATTITUDE = 0x08;
inline constexpr SectionFlags SECTION_GPS = 0x10;

inline constexpr int SECTION_ID_TELM1 = 1;
inline constexpr int SECTION_ID_TELM2 = 2;
inline constexpr int SECTION_ID_ATTITUDE = 3;
inline constexpr int SECTION_ID_GPS = 4;
inline constexpr int SECTION_ID_COUNT = 5;  // ids 1 to 4; index 0 unused

constexpr SectionFlags section_flag(int id) {
  return SectionFlags{1} << id;
}

// The record layout, 0 to 3.
using RecordLayout = std::int32_t;
inline constexpr int RECORD_LAYOUT_COUNT = 4;

// What the length byte holds beyond the payload length, by layout.
inline constexpr int layout_length_bias[RECORD_LAYOUT_COUNT] = {6, 2, 2, 6};
// Section body lengths by layout and section id (index 0 unused).
inline constexpr std::uint8_t layout_section_length[RECORD_LAYOUT_COUNT][SECTION_ID_COUNT] = {
    {0, 56, 56, 14, 20},
    {0, 56, 56, 14, 24},
    {0, 63, 63, 14, 24},
    {0, 63, 63, 14, 24},
};

inline constexpr int RECORD_HEADER_LEN = 6;
inline constexpr int BASE_PAYLOAD_LEN = 24;
// The section offset byte of a record whose sections follow the base payload directly.
inline constexpr int PLAIN_SECTION_OFFSET = 4 + BASE_PAYLOAD_LEN;

// The caller-owned buffer that one packet body is collected into.
inline constexpr std::uint32_t PACKET_CAPACITY = 1000;
using PacketBuffer = std::array<std::uint8_t, PACKET_CAPACITY>;

// Packets that a start marker introduced and that are no valid record, counted by read_record.
extern std::int64_t bad_packet_count;

// A validated record; its payload lies in the caller's packet buffer until the next read_record.
struct Record {
  std::uint32_t timestamp = 0;
  const std::uint8_t* payload = nullptr;
  std::int32_t payload_len = 0;
  RecordLayout revision = 0;
  SectionFlags sections = 0;
  // Where each section present was found: the offset of its id byte from the payload start
  // (negative when the section offset byte points into the timestamp). Indexed by section id.
  std::int32_t section_at[SECTION_ID_COUNT] = {};
};

// Checks one packet body against the layouts 0 to 3 in order; true and `rec` filled when one
// matches.
bool validate_record(const std::uint8_t* body, std::uint32_t size, Record& rec);

// Reads packets until one is a valid record. Returns 1 with `rec` filled, or 0 at the end of the
// records: the end of the file, or a failed read (the stream's failed() tells). Every packet
// passed over is counted in bad_packet_count. After a record the stream stands on the start
// marker that follows it, or at the end of the file.
int read_record(ByteStream& in, std::uint8_t* packet, std::uint32_t capacity, Record& rec);

// Under the address sanitizer read_record marks the buffer's bytes past the record as not to be
// read; a pass calls this before its buffer goes out of scope. Nothing otherwise.
void release_packet(std::uint8_t* packet, std::uint32_t capacity);

}  // namespace korvex
