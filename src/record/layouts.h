// The record format: a record is a packet body of the form
//   length byte | section offset byte | timestamp (u32) | payload
// where the payload is 24 bytes of flight data (the base payload) followed by up to four optional
// sections (id byte, length byte, body), in increasing id order. Four record layouts fix how the
// length byte relates to the packet size and how long each section body is.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace korvex {

// The optional sections of one record or of a whole log: the flag of section id n is 1 << n.
using SectionFlags = std::uint32_t;
inline constexpr SectionFlags SECTION_TELM1 = 0x02;
inline constexpr SectionFlags SECTION_TELM2 = 0x04;
inline constexpr SectionFlags SECTION_ATTITUDE = 0x08;
inline constexpr SectionFlags SECTION_GPS = 0x10;
inline constexpr SectionFlags SECTION_ALL =
    SECTION_TELM1 | SECTION_TELM2 | SECTION_ATTITUDE | SECTION_GPS;

inline constexpr int SECTION_ID_TELM1 = 1;
inline constexpr int SECTION_ID_TELM2 = 2;
inline constexpr int SECTION_ID_ATTITUDE = 3;
inline constexpr int SECTION_ID_GPS = 4;
inline constexpr int SECTION_ID_COUNT = 5;  // ids 1 to 4; index 0 unused

constexpr SectionFlags section_flag(int id) {
  return SectionFlags{1} << id;
}

// The name of each section, as the tool reports the sections it found (index 0 unused).
inline constexpr std::string_view section_name[SECTION_ID_COUNT] = {"", "TELM1", "TELM2",
                                                                    "Attitude", "GPS"};

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
// The longest record body: a length byte of 255 with the bias 2 gives 253 payload bytes.
inline constexpr std::size_t MAX_RECORD_BODY = 259;

// The buffer that one packet body is collected into.
inline constexpr std::uint32_t PACKET_CAPACITY = 1000;
using PacketBuffer = std::array<std::uint8_t, PACKET_CAPACITY>;

}  // namespace korvex
