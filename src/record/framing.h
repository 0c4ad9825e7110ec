// Packet framing: the log is a stream of packets, each introduced by the start marker 0xAA 0x55
// and running up to the next start marker or to the end of the file. There is no escaping.
#pragma once

#include <cstdint>

#include "io/byte_stream.h"
#include "io/messages.h"

namespace korvex {

inline constexpr std::uint8_t MARKER_FIRST = 0xAA;
inline constexpr std::uint8_t MARKER_SECOND = 0x55;

inline constexpr int FRAME_NO_MARKER = -1;  // the end of the file came before a start marker
inline constexpr int FRAME_AT_MARKER = 0;   // the body ended on the next start marker
inline constexpr int FRAME_AT_END = 1;      // the body ended at the end of the file
inline constexpr int FRAME_TOO_LONG = 2;    // a bounded body was longer than its capacity

// What happens to the bytes of a body beyond the buffer's capacity.
enum class Overflow {
  DROP,  // they are read and dropped, up to the end of the body
  STOP,  // reading stops at once with FRAME_TOO_LONG; the stream stands somewhere in the body
};

// Skips to the next start marker and collects the packet body behind it into buffer (at most
// capacity bytes kept; the rest is read and dropped). size receives the bytes kept. A dot goes to
// `progress` (when given) for every 1000 bytes skipped and every 1,000,000 bytes of a body.
int find_packet(ByteStream& in, std::uint8_t* buffer, std::uint32_t capacity, std::uint32_t& size,
                Messages* progress);

// Collects a body from the byte after a start marker into buffer, after the `size` bytes it
// holds already; the stream ends on the 0xAA of the next marker, or at the end of the file.
int read_packet_body(ByteStream& in, std::uint8_t* buffer, std::uint32_t capacity,
                     std::uint32_t& size, Messages* progress, Overflow overflow = Overflow::DROP);

}  // namespace korvex
