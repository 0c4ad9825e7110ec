#include "io/out_buffer.h"

#include <cerrno>

namespace korvex {

namespace {
std::size_t capacity_for(std::size_t requested) {
  return requested < kMinOutBuffer ? kMinOutBuffer : requested;
}
}  // namespace

OutBuffer::OutBuffer(int fd, std::size_t buffer_size, SystemCalls* calls)
    : buf_(new char[capacity_for(buffer_size)]),
      cap_(capacity_for(buffer_size)),
      fd_(fd),
      calls_(calls) {}

OutBuffer::OutBuffer(std::string* text, std::size_t buffer_size)
    : buf_(new char[capacity_for(buffer_size)]), cap_(capacity_for(buffer_size)), text_(text) {}

OutBuffer::OutBuffer(ByteSink* sink, std::size_t buffer_size)
    : buf_(new char[capacity_for(buffer_size)]), cap_(capacity_for(buffer_size)), sink_(sink) {}

void OutBuffer::write(std::string_view text) {
  while (!text.empty()) {
    std::size_t room = cap_ - len_;
    if (room == 0) {
      flush();
      room = cap_;
    }
    const std::size_t n = text.size() < room ? text.size() : room;
    std::memcpy(buf_.get() + len_, text.data(), n);
    len_ += n;
    text.remove_prefix(n);
  }
}

void OutBuffer::make_room(std::size_t n) {
  flush();
  if (n <= cap_) return;
  buf_.reset(new char[n]);
  cap_ = n;
}

bool OutBuffer::flush() {
  const char* data = buf_.get();
  std::size_t left = len_;
  len_ = 0;
  if (error_ != 0) return false;
  if (text_ != nullptr) {
    text_->append(data, left);
    return true;
  }
  if (sink_ != nullptr) {
    if (sink_->put(data, left)) return true;
    error_ = errno != 0 ? errno : EIO;
    return false;
  }
  while (left > 0) {
    const ssize_t put = write_call(calls_, fd_, data, left);
    if (put < 0) {
      if (errno == EINTR) continue;
      error_ = errno;
      return false;
    }
    data += put;
    left -= static_cast<std::size_t>(put);
  }
  return true;
}

}  // namespace korvex
