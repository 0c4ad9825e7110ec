// A buffered byte stream over the log file (or over bytes in memory).
//
// Reading a byte, stepping back over the last bytes read (up to kMaxStepBack) and asking for the
// position cost no system call while the bytes are in the buffer. A failed read is remembered: from
// then on the stream reads as if at the end of the file, and `failed()` tells the caller why it
// ended.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace korvex {

// What identifies the state of a file: when either differs at the end of a run from what it was
// at the start, the file changed while it was read.
struct SourceStamp {
  std::int64_t size = 0;
  std::int64_t modified_ns = 0;
  bool operator==(const SourceStamp&) const = default;
};

// Where a stream's bytes come from: a file descriptor, memory, or a test's own source.
struct ByteSource {
  void* ctx = nullptr;
  // Reads up to n bytes at the source's position; returns the count, 0 at the end, -1 on failure
  // with errno set.
  std::int64_t (*read)(void* ctx, std::uint8_t* dst, std::size_t n) = nullptr;
  // Moves the source's position to an absolute offset; returns 0, or -1 with errno set.
  int (*seek)(void* ctx, std::int64_t offset) = nullptr;
  // Optional: the source's stamp now; false when it has none.
  bool (*stamp)(void* ctx, SourceStamp& stamp) = nullptr;
  // The file descriptor it reads, when it reads one.
  const int* fd = nullptr;
};

// A source reading the open file descriptor `*fd`.
ByteSource fd_source(const int* fd);

// A source reading `size` bytes of memory, which must outlive it.
struct MemorySource {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t pos = 0;
};
ByteSource memory_source(MemorySource* mem);

inline constexpr std::size_t kStreamBufferSize = std::size_t{256} * 1024;
// How far a stream can always step back: this many bytes are kept in the buffer when it is
// refilled. A buffer holds at least kMinStreamBuffer bytes.
inline constexpr std::size_t kMaxStepBack = 512;
inline constexpr std::size_t kMinStreamBuffer = std::size_t{4} * kMaxStepBack;

struct ByteStream {
  explicit ByteStream(ByteSource source, std::size_t buffer_size = kStreamBufferSize);

  // The next byte, 0 to 255, or -1 at the end of the file or after a failed read.
  int get() {
    if (cur_ < len_) return buf_[cur_++];
    return refill_and_get();
  }
  // Steps back over the last n bytes read (n at most kMaxStepBack, all read since the last seek).
  void step_back(std::size_t n) { cur_ -= n; }
  // The offset of the next byte to be read.
  std::int64_t pos() const { return buf_pos_ + static_cast<std::int64_t>(cur_); }
  // Moves to an absolute offset and clears the end-of-file state; 0, or -1 with errno set.
  int seek(std::int64_t offset);
  // The errno of a failed read, or 0.
  int failed() const { return error_; }
  // The source's stamp; false when it has none.
  bool stamp(SourceStamp& stamp) const;
  // The file descriptor read, or -1.
  int fd() const { return source_.fd != nullptr ? *source_.fd : -1; }

  // Direct access to the buffered bytes for bulk scanning: [buffered_begin(), buffered_end()).
  const std::uint8_t* buffered_begin() const { return buf_.get() + cur_; }
  const std::uint8_t* buffered_end() const { return buf_.get() + len_; }
  void consume(std::size_t n) { cur_ += n; }

 private:
  int refill_and_get();

  ByteSource source_;
  std::unique_ptr<std::uint8_t[]> buf_;
  std::size_t cap_;
  std::size_t cur_ = 0;       // next byte to read in buf_
  std::size_t len_ = 0;       // bytes valid in buf_
  std::int64_t buf_pos_ = 0;  // file offset of buf_[0]
  bool at_end_ = false;       // the source reported its end since the last seek
  bool seekable_ = false;     // a seek of the source has succeeded
  int error_ = 0;
};

}  // namespace korvex
