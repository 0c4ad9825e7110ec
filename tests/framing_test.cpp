// Packet framing on bytes in memory: markers, bodies, the stream position between packets and
// the progress dots.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "record/framing.h"
#include "support/log_builder.h"

namespace korvex::test {
namespace {

struct Framed {
  int result;
  Bytes body;
  std::int64_t pos_after;
};

// Frames packets one after another until no marker is left.
std::vector<Framed> frame_all(const Bytes& log, Messages* progress = nullptr,
                              std::uint32_t capacity = PACKET_CAPACITY,
                              std::size_t stream_buffer = kStreamBufferSize) {
  MemoryStream in(log, stream_buffer);
  std::vector<Framed> packets;
  Bytes buffer(capacity);
  for (;;) {
    std::uint32_t size = 99;
    const int r = find_packet(in.stream, buffer.data(), capacity, size, progress);
    if (r == FRAME_NO_MARKER) {
      EXPECT_EQ(size, 0U);
      break;
    }
    packets.push_back({r, Bytes(buffer.begin(), buffer.begin() + size), in.stream.pos()});
  }
  return packets;
}

TEST(Framing, BodiesRunFromMarkerToMarkerOrEnd) {
  const Bytes log = LogBuilder().raw({1, 2}).marker().raw({3, 4, 5}).marker().raw({6}).bytes;
  const auto packets = frame_all(log);
  ASSERT_EQ(packets.size(), 2U);
  EXPECT_EQ(packets[0].body, (Bytes{3, 4, 5}));
  EXPECT_EQ(packets[0].result, FRAME_AT_MARKER);
  EXPECT_EQ(packets[0].pos_after, 7);  // on the 0xAA of the second marker
  EXPECT_EQ(packets[1].body, (Bytes{6}));
  EXPECT_EQ(packets[1].result, FRAME_AT_END);
  EXPECT_EQ(packets[1].pos_after, static_cast<std::int64_t>(log.size()));
}

TEST(Framing, LoneAaIsDataAndTheByteAfterItIsExaminedAgain) {
  // 0xAA 0xAA 0x55: the marker starts at the second 0xAA, in a search and in a body.
  auto packets = frame_all(LogBuilder().raw({0xAA, 0xAA, 0x55, 7, 0xAA, 0xAA, 0x55, 8}).bytes);
  ASSERT_EQ(packets.size(), 2U);
  EXPECT_EQ(packets[0].body, (Bytes{7, 0xAA}));
  EXPECT_EQ(packets[0].pos_after, 5);
  EXPECT_EQ(packets[1].body, (Bytes{8}));
  // 0xAA followed by a non-marker byte inside a body is kept with that byte.
  packets = frame_all(LogBuilder().marker().raw({0xAA, 0x01, 0xAA}).bytes);
  ASSERT_EQ(packets.size(), 1U);
  EXPECT_EQ(packets[0].body, (Bytes{0xAA, 0x01, 0xAA}));  // a lone 0xAA at the end is data too
  EXPECT_EQ(packets[0].result, FRAME_AT_END);
}

TEST(Framing, EmptyBodiesAndAMarkerAtTheEnd) {
  auto packets = frame_all(LogBuilder().marker().marker().raw({9}).bytes);
  ASSERT_EQ(packets.size(), 2U);
  EXPECT_TRUE(packets[0].body.empty());
  EXPECT_EQ(packets[0].pos_after, 2);
  EXPECT_EQ(packets[1].body, Bytes{9});
  // A marker as the last two bytes: one empty packet that ends at the end of the file.
  packets = frame_all(LogBuilder().raw({1}).marker().bytes);
  ASSERT_EQ(packets.size(), 1U);
  EXPECT_TRUE(packets[0].body.empty());
  EXPECT_EQ(packets[0].result, FRAME_AT_END);
  // No marker at all, or a lone 0xAA as the last byte: nothing, and no byte is read twice.
  EXPECT_TRUE(frame_all(LogBuilder().raw({1, 2, 0xAA}).bytes).empty());
  EXPECT_TRUE(frame_all(Bytes{}).empty());
}

TEST(Framing, LongBodyKeepsItsFirstBytesAndEndsOnTheNextMarker) {
  Bytes body(1200);
  for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<std::uint8_t>(i % 97);
  const Bytes log = LogBuilder().marker().raw(body).marker().bytes;
  const auto packets = frame_all(log);
  ASSERT_EQ(packets.size(), 2U);
  EXPECT_EQ(packets[0].body, Bytes(body.begin(), body.begin() + 1000));
  EXPECT_EQ(packets[0].pos_after, 1202);
}

TEST(Framing, MarkersAcrossStreamBufferBoundariesKeepThePosition) {
  // A tiny stream buffer puts refills at every possible place inside markers.
  LogBuilder b;
  for (int i = 0; i < 40; ++i) b.marker().fill(static_cast<std::size_t>(i % 7), 0x11).raw({0xAA});
  const auto small = frame_all(b.bytes, nullptr, PACKET_CAPACITY, 64);
  const auto large = frame_all(b.bytes);
  ASSERT_EQ(small.size(), 40U);
  for (std::size_t i = 0; i < small.size(); ++i) {
    EXPECT_EQ(small[i].body, large[i].body) << i;
    EXPECT_EQ(small[i].pos_after, large[i].pos_after) << i;
  }
}

TEST(Framing, ProgressDotsCountSkippedAndBodyBytes) {
  {
    MessageCapture err;
    frame_all(LogBuilder().fill(2500, 0x01).marker().bytes, &err.messages);
    EXPECT_EQ(err.str(), "..");
  }
  {
    // A lone 0xAA counts once, and the byte after it again when it is examined on its own.
    MessageCapture err;
    frame_all(LogBuilder().fill(499, 0x01).fill(500, 0xAA).raw({0x01}).marker().bytes,
              &err.messages);
    EXPECT_EQ(err.str(), ".");
  }
  {
    // A body of exactly 1,000,000 bytes writes one dot; the marker ending it does not count.
    MessageCapture err;
    frame_all(LogBuilder().marker().fill(999999, 0x01).raw({0xAA}).marker().bytes, &err.messages);
    EXPECT_EQ(err.str(), ".");
  }
  {
    MessageCapture err;
    frame_all(LogBuilder().marker().fill(999999, 0x01).marker().bytes, &err.messages);
    EXPECT_EQ(err.str(), "");
  }
}

}  // namespace
}  // namespace korvex::test

namespace korvex::test {
namespace {

// The write system calls this process has made so far, or -1 where the kernel does not say.
long long write_calls() {
  std::FILE* io = std::fopen("/proc/self/io", "r");
  if (io == nullptr) return -1;
  long long calls = -1;
  char line[128];
  while (std::fgets(line, sizeof line, io) != nullptr) {
    if (std::sscanf(line, "syscw: %lld", &calls) == 1) break;
  }
  std::fclose(io);
  return calls;
}

TEST(Framing, ProgressDotsAreWrittenTogether) {
  // 5 MB without a marker: 5000 dots, held and written in a few writes, not one each.
  const int fd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  const long long before = write_calls();
  if (before < 0) GTEST_SKIP() << "no write count in /proc/self/io";
  {
    Messages messages(fd);
    frame_all(Bytes(5000000, 0x01), &messages);
    messages.flush();
  }
  EXPECT_LT(write_calls() - before, 50);
  ::close(fd);
}

}  // namespace
}  // namespace korvex::test
