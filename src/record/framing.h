// Packet framing: the log is a stream of packets, each introduced by the start marker 0xAA 0x55
// and running up to the next start marker or to the end of the file. There is no escaping.
#pragma once

#include <cstdint>

#include "io/byte_stream.h"

namespace korvex {

inline constexpr int FRAME_NO_MARKER = -1;  // the end of the file came before a start marker
inline constexpr int FRAME_AT_MARKER = 0;   // the body ended on the next start marker
inline constexpr int FRAME_AT_END = 1;      // the body ended at the end of the file

// Skips to the next start marker and collects the packet body behind it into buffer (at most
// capacity bytes kept; the rest is read and dropped). size receives the bytes kept.
int find_packet(ByteStream& in, std::uint8_t* buffer, std::uint32_t capacity, std::uint32_t& size);

// Collects a body from the byte after a start marker; the stream ends on the 0xAA of the next
// marker, or at the end of the file.
int read_packet_body(ByteStream& in, std::uint8_t* buffer, std::uint32_t capacity,
                     std::uint32_t& size);

}  // namespace korvex
