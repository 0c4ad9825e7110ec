#include "record/framing.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "io/diagnostics.h"

namespace korvex {

namespace {

constexpr int kMarkerFirst = 0xAA;
constexpr int kMarkerSecond = 0x55;

// One dot per this many bytes skipped while searching, or collected into a body.
constexpr std::uint64_t kSkipDotEvery = 1000;
constexpr std::uint64_t kBodyDotEvery = 1000000;

// Counts n more bytes and writes a dot for every multiple of `every` that the count reaches.
void count_bytes(std::uint64_t& counter, std::uint64_t n, std::uint64_t every) {
  const std::uint64_t dots = (counter + n) / every - counter / every;
  counter += n;
  for (std::uint64_t i = 0; i < dots; ++i) progress_dot();
}

// The buffered bytes before the next 0xAA: none of them can begin a marker. Packets are short,
// so the first 16-byte blocks are compared inline before the library's memchr takes over.
std::size_t plain_run(const ByteStream& in) {
  const std::uint8_t* const begin = in.buffered_begin();
  const std::size_t n = static_cast<std::size_t>(in.buffered_end() - begin);
#if defined(__SSE2__)
  const __m128i aa = _mm_set1_epi8(static_cast<char>(kMarkerFirst));
  std::size_t i = 0;
  for (int block = 0; block < 8 && i + 16 <= n; ++block, i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(begin + i));
    const auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, aa)));
    if (mask != 0) return i + static_cast<std::size_t>(__builtin_ctz(mask));
  }
#else
  const std::size_t i = 0;
#endif
  const void* found = std::memchr(begin + i, kMarkerFirst, n - i);
  return found == nullptr
             ? n
             : static_cast<std::size_t>(static_cast<const std::uint8_t*>(found) - begin);
}

}  // namespace

int find_packet(ByteStream& in, std::uint8_t* buffer, std::uint32_t capacity, std::uint32_t& size) {
  size = 0;
  std::uint64_t skipped = 0;
  for (;;) {
    // Bytes that are no 0xAA are skipped in bulk, exactly as one at a time.
    if (const std::size_t run = plain_run(in); run > 0) {
      in.consume(run);
      count_bytes(skipped, run, kSkipDotEvery);
      continue;
    }
    const int b = in.get();
    if (b < 0) return FRAME_NO_MARKER;
    if (b == kMarkerFirst) {
      const int next = in.get();
      if (next == kMarkerSecond) return read_packet_body(in, buffer, capacity, size);
      // The byte after a lone 0xAA may itself begin a marker: examine it again.
      if (next >= 0) in.step_back(1);
    }
    count_bytes(skipped, 1, kSkipDotEvery);
  }
}

int read_packet_body(ByteStream& in, std::uint8_t* buffer, std::uint32_t capacity,
                     std::uint32_t& size) {
  std::uint64_t counted = 0;
  for (;;) {
    // Bytes that are no 0xAA are body data; copy them in bulk while the buffer has room.
    if (const std::size_t run = plain_run(in); run > 0) {
      const std::size_t room = capacity - size;
      const std::size_t kept = run < room ? run : room;
      std::memcpy(buffer + size, in.buffered_begin(), kept);
      size += static_cast<std::uint32_t>(kept);
      in.consume(run);
      count_bytes(counted, run, kBodyDotEvery);
      continue;
    }
    const int b = in.get();
    if (b < 0) return FRAME_AT_END;
    if (b == kMarkerFirst) {
      const int next = in.get();
      if (next == kMarkerSecond) {
        // Leave the stream on the 0xAA of the marker that ends this body.
        in.step_back(2);
        return FRAME_AT_MARKER;
      }
      // The byte after a data 0xAA is read again: it may begin a marker.
      if (next >= 0) in.step_back(1);
    }
    if (size < capacity) buffer[size++] = static_cast<std::uint8_t>(b);
    count_bytes(counted, 1, kBodyDotEvery);
  }
}

}  // namespace korvex
