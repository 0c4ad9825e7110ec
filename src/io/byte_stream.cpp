#include "io/byte_stream.h"

#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstring>

namespace korvex {

namespace {

std::int64_t fd_read(void* ctx, std::uint8_t* dst, std::size_t n) {
  const int fd = *static_cast<const int*>(ctx);
  for (;;) {
    const ssize_t got = ::read(fd, dst, n);
    if (got >= 0 || errno != EINTR) return got;
  }
}

int fd_seek(void* ctx, std::int64_t offset) {
  const int fd = *static_cast<const int*>(ctx);
  return ::lseek(fd, static_cast<off_t>(offset), SEEK_SET) < 0 ? -1 : 0;
}

std::int64_t memory_read(void* ctx, std::uint8_t* dst, std::size_t n) {
  auto* mem = static_cast<MemorySource*>(ctx);
  const std::size_t left = mem->pos < mem->size ? mem->size - mem->pos : 0;
  const std::size_t count = n < left ? n : left;
  if (count > 0) std::memcpy(dst, mem->data + mem->pos, count);
  mem->pos += count;
  return static_cast<std::int64_t>(count);
}

bool fd_stamp(void* ctx, SourceStamp& stamp) {
  struct stat st {};
  if (::fstat(*static_cast<const int*>(ctx), &st) != 0) return false;
  stamp.size = static_cast<std::int64_t>(st.st_size);
  stamp.modified_ns =
      static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
  return true;
}

int memory_seek(void* ctx, std::int64_t offset) {
  if (offset < 0) {
    errno = EINVAL;
    return -1;
  }
  static_cast<MemorySource*>(ctx)->pos = static_cast<std::size_t>(offset);
  return 0;
}

}  // namespace

ByteSource fd_source(const int* fd) {
  return ByteSource{const_cast<int*>(fd), fd_read, fd_seek, fd_stamp, fd};
}

ByteSource memory_source(MemorySource* mem) {
  return ByteSource{mem, memory_read, memory_seek, nullptr};
}

ByteStream::ByteStream(ByteSource source, std::size_t buffer_size)
    : source_(source),
      buf_(new std::uint8_t[std::max(buffer_size, kMinStreamBuffer)]),
      cap_(std::max(buffer_size, kMinStreamBuffer)) {}

bool ByteStream::stamp(SourceStamp& stamp) const {
  return source_.stamp != nullptr && source_.stamp(source_.ctx, stamp);
}

int ByteStream::refill_and_get() {
  if (at_end_ || error_ != 0) return -1;
  if (len_ == cap_) {
    // A full buffer starts again, keeping the last bytes read so they can be stepped back over.
    const std::size_t keep = std::min(len_, kMaxStepBack);
    std::memmove(buf_.get(), buf_.get() + len_ - keep, keep);
    buf_pos_ += static_cast<std::int64_t>(len_ - keep);
    cur_ = keep;
    len_ = keep;
  }
  const std::int64_t got = source_.read(source_.ctx, buf_.get() + len_, cap_ - len_);
  if (got < 0) {
    error_ = errno != 0 ? errno : EIO;
    return -1;
  }
  if (got == 0) {
    at_end_ = true;
    return -1;
  }
  len_ += static_cast<std::size_t>(got);
  return buf_[cur_++];
}

int ByteStream::seek(std::int64_t offset) {
  if (seekable_ && offset >= buf_pos_ && offset <= buf_pos_ + static_cast<std::int64_t>(len_)) {
    cur_ = static_cast<std::size_t>(offset - buf_pos_);
    at_end_ = false;
    return 0;
  }
  if (source_.seek(source_.ctx, offset) != 0) return -1;
  seekable_ = true;
  buf_pos_ = offset;
  cur_ = 0;
  len_ = 0;
  at_end_ = false;
  return 0;
}

}  // namespace korvex
