// An output buffer of the tool's own, written out in large blocks to a file descriptor or kept in
// memory. A failed write is remembered (`failed()` gives its errno); what is written after it is
// dropped, and the caller ends the run.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "io/system_calls.h"

namespace korvex {

inline constexpr std::size_t kOutBufferSize = std::size_t{256} * 1024;
inline constexpr std::size_t kMinOutBuffer = std::size_t{16} * 1024;

// Where an OutBuffer may write besides a file descriptor or a text.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Takes the n bytes at data; false with errno set when it cannot.
  virtual bool put(const char* data, std::size_t n) = 0;
};

struct OutBuffer {
  // Writes to the file descriptor fd (through `calls`, when given).
  explicit OutBuffer(int fd, std::size_t buffer_size = kOutBufferSize,
                     SystemCalls* calls = nullptr);
  // Hands what it writes to *sink.
  explicit OutBuffer(ByteSink* sink, std::size_t buffer_size = kOutBufferSize);
  // Appends to *text, for tests and in-memory runs.
  explicit OutBuffer(std::string* text, std::size_t buffer_size = kOutBufferSize);

  // A place for at most n bytes; commit() says how many were used. A buffer holds at least
  // kMinOutBuffer bytes, and grows for a larger n.
  char* reserve(std::size_t n) {
    if (cap_ - len_ < n) make_room(n);
    return buf_.get() + len_;
  }
  void commit(std::size_t n) { len_ += n; }

  void put(char c) { *reserve(1) = c, ++len_; }
  void write(std::string_view text);

  // Starts again with no failed write remembered; what was held and not written out is
  // dropped.
  void reset() {
    len_ = 0;
    error_ = 0;
  }

  // Writes out what is buffered; false when this or an earlier write failed.
  bool flush();
  int failed() const { return error_; }

 private:
  void make_room(std::size_t n);

  std::unique_ptr<char[]> buf_;
  std::size_t cap_;
  std::size_t len_ = 0;
  int fd_ = -1;
  SystemCalls* calls_ = nullptr;
  std::string* text_ = nullptr;
  ByteSink* sink_ = nullptr;
  int error_ = 0;
};

}  // namespace korvex
