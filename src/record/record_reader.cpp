#include "record/record_reader.h"

#include "record/framing.h"
#include "record/validation.h"

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

namespace {

// A record split by start markers in its own bytes arrives as at most this many packets after
// its first one, as far as the reader puts it together again.
constexpr int kMaxJoinedPackets = 3;

// Under the address sanitizer the buffer's bytes past the record are marked as not to be read,
// so that a pass that reads bytes an earlier and longer packet left there is caught.
void poison_after(PacketBuffer& packet, std::uint32_t size) {
#if defined(KORVEX_ASAN)
  ASAN_POISON_MEMORY_REGION(packet.data() + size, packet.size() - size);
#else
  (void)packet;
  (void)size;
#endif
}

void unpoison(PacketBuffer& packet) {
#if defined(KORVEX_ASAN)
  ASAN_UNPOISON_MEMORY_REGION(packet.data(), packet.size());
#else
  (void)packet;
#endif
}

}  // namespace

RecordReader::RecordReader(ByteStream& in, Messages* progress) : in_(in), progress_(progress) {}

RecordReader::~RecordReader() {
  unpoison(packet_);
}

const Record* RecordReader::next() {
  unpoison(packet_);
  for (;;) {
    std::uint32_t size = 0;
    const int end = find_packet(in_, packet_.data(), PACKET_CAPACITY, size, progress_);
    if (end == FRAME_NO_MARKER || in_.failed() != 0) return nullptr;
    if (validate_record(packet_.data(), size, record_)) {
      poison_after(packet_, size);
      return &record_;
    }
    if (end == FRAME_AT_MARKER && join_split_record(size)) return &record_;
    ++bad_packets_;
  }
}

// There is no escaping in the log: a record whose own bytes hold 0xAA 0x55 arrives as several
// packets. The packet of `size` bytes in the buffer is no record and ended at a start marker;
// the packets after it are joined to it, marker bytes included, one at a time, until the joined
// body is a record. A packet that is a record on its own is never joined. Without a record the
// stream goes back to where it stood, right after the first packet.
bool RecordReader::join_split_record(std::uint32_t size) {
  const std::int64_t after_first = in_.pos();
  std::uint32_t joined = size;
  for (int k = 0; k < kMaxJoinedPackets && joined + 2 <= MAX_RECORD_BODY; ++k) {
    in_.get();  // the start marker, found by the framing already
    in_.get();
    std::uint8_t* next = packet_.data() + joined + 2;
    std::uint32_t next_size = 0;
    const auto room = static_cast<std::uint32_t>(MAX_RECORD_BODY) - joined - 2;
    const int end = read_packet_body(in_, next, room, next_size, nullptr, Overflow::STOP);
    Record alone;
    if (end == FRAME_TOO_LONG || in_.failed() != 0 || validate_record(next, next_size, alone)) {
      break;
    }
    packet_[joined] = MARKER_FIRST;
    packet_[joined + 1] = MARKER_SECOND;
    joined += 2 + next_size;
    if (validate_record(packet_.data(), joined, record_)) {
      poison_after(packet_, joined);
      return true;
    }
    if (end == FRAME_AT_END) break;
  }
  in_.step_back(static_cast<std::size_t>(in_.pos() - after_first));
  return false;
}

}  // namespace korvex
