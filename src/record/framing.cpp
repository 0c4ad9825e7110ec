#include "record/framing.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace korvex {

namespace {

// One dot per this many bytes skipped while searching, or collected into a body.
constexpr std::uint64_t kSkipDotEvery = 1000;
constexpr std::uint64_t kBodyDotEvery = 1000000;

// Counts n more bytes and writes a dot for every multiple of `every` that the count reaches.
void count_bytes(std::uint64_t& counter, std::uint64_t n, std::uint64_t every, Messages* progress) {
  const std::uint64_t dots = (counter + n) / every - counter / every;
  counter += n;
  if (progress == nullptr) return;
  for (std::uint64_t i = 0; i < dots; ++i) progress->dot();
}

// The buffered bytes before the next 0xAA: none of them can begin a marker. Packets are short,
// so the first 16-byte blocks are compared inline before the library's memchr takes over.
std::size_t plain_run(const ByteStream& in) {
  const std::uint8_t* const begin = in.buffered_begin();
  const std::size_t n = static_cast<std::size_t>(in.buffered_end() - begin);
#if defined(__SSE2__)
  const __m128i aa = _mm_set1_epi8(static_cast<char>(MARKER_FIRST));
  std::size_t i = 0;
  for (int block = 0; block < 8 && i + 16 <= n; ++block, i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(begin + i));
    const auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, aa)));
    if (mask != 0) return i + static_cast<std::size_t>(__builtin_ctz(mask));
  }
#else
  const std::size_t i = 0;
#endif
  const void* found = std::memchr(begin + i, MARKER_FIRST, n - i);
  return found == nullptr
             ? n
             : static_cast<std::size_t>(static_cast<const std::uint8_t*>(found) - begin);
}

}  // namespace

int find_packet(ByteStream& in, std::uint8_t* buffer, std::uint32_t capacity, std::uint32_t& size,
                Messages* progress) {
  size = 0;
  std::uint64_t skipped = 0;
  for (;;) {
    // Bytes that are no 0xAA are skipped in bulk, exactly as one at a time.
    if (const std::size_t run = plain_run(in); run > 0) {
      in.consume(run);
      count_bytes(skipped, run, kSkipDotEvery, progress);
      continue;
    }
    const int b = in.get();
    if (b < 0) return FRAME_NO_MARKER;
    if (b == MARKER_FIRST) {
      const int next = in.get();
      if (next == MARKER_SECOND) return read_packet_body(in, buffer, capacity, size, progress);
      // The byte after a lone 0xAA may itself begin a marker: examine it again.
      if (next >= 0) in.step_back(1);
    }
    count_bytes(skipped, 1, kSkipDotEvery, progress);
  }
}

namespace {

template <Overflow kOverflow>
int read_body(ByteStream& in, std::uint8_t* buffer, std::uint32_t capacity, std::uint32_t& size,
              Messages* progress) {
  std::uint64_t counted = 0;
  for (;;) {
    // Bytes that are no 0xAA are body data; copy them in bulk while the buffer has room.
    if (const std::size_t run = plain_run(in); run > 0) {
      const std::size_t room = capacity - size;
      if (kOverflow == Overflow::STOP && run > room) return FRAME_TOO_LONG;
      const std::size_t kept = run < room ? run : room;
      std::memcpy(buffer + size, in.buffered_begin(), kept);
      size += static_cast<std::uint32_t>(kept);
      in.consume(run);
      count_bytes(counted, run, kBodyDotEvery, progress);
      continue;
    }
    const int b = in.get();
    if (b < 0) return FRAME_AT_END;
    if (b == MARKER_FIRST) {
      const int next = in.get();
      if (next == MARKER_SECOND) {
        // Leave the stream on the 0xAA of the marker that ends this body.
        in.step_back(2);
        return FRAME_AT_MARKER;
      }
      // The byte after a data 0xAA is read again: it may begin a marker.
      if (next >= 0) in.step_back(1);
    }
    if (size < capacity) {
      buffer[size++] = static_cast<std::uint8_t>(b);
    } else if (kOverflow == Overflow::STOP) {
      return FRAME_TOO_LONG;
    }
    count_bytes(counted, 1, kBodyDotEvery, progress);
  }
}

}  // namespace

int read_packet_body(ByteStream& in, std::uint8_t* buffer, std::uint32_t capacity,
                     std::uint32_t& size, Messages* progress, Overflow overflow) {
  return overflow == Overflow::STOP
             ? read_body<Overflow::STOP>(in, buffer, capacity, size, progress)
             : read_body<Overflow::DROP>(in, buffer, capacity, size, progress);
}

}  // namespace korvex
