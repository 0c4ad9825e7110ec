// Byte sources for tests: one that fails part way, one that stands for a huge file.
#pragma once

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

#include "io/byte_stream.h"
#include "support/log_builder.h"

namespace korvex::test {

// Delivers a log's bytes until `fail_at` bytes have been read, then fails with EIO.
struct FailingSource {
  MemorySource mem;
  std::size_t fail_at;

  ByteSource source() { return ByteSource{this, read, seek}; }

  static std::int64_t read(void* ctx, std::uint8_t* dst, std::size_t n) {
    auto* self = static_cast<FailingSource*>(ctx);
    if (self->mem.pos >= self->fail_at) {
      errno = EIO;
      return -1;
    }
    const std::size_t left = self->fail_at - self->mem.pos;
    return memory_source(&self->mem).read(&self->mem, dst, n < left ? n : left);
  }
  static int seek(void* ctx, std::int64_t offset) {
    auto* self = static_cast<FailingSource*>(ctx);
    return memory_source(&self->mem).seek(&self->mem, offset);
  }
};

// A file of `size` zero bytes with pieces of log laid over it at given offsets, without holding
// the zeros in memory.
struct SparseSource {
  struct Piece {
    std::int64_t offset;
    Bytes bytes;
  };
  std::int64_t size;
  std::vector<Piece> pieces;
  std::int64_t pos = 0;

  ByteSource source() { return ByteSource{this, read, seek}; }

  static std::int64_t read(void* ctx, std::uint8_t* dst, std::size_t n) {
    auto* self = static_cast<SparseSource*>(ctx);
    const std::int64_t left = self->size - self->pos;
    const std::int64_t count =
        left < static_cast<std::int64_t>(n) ? left : static_cast<std::int64_t>(n);
    if (count <= 0) return 0;
    std::memset(dst, 0, static_cast<std::size_t>(count));
    for (const Piece& p : self->pieces) {
      const std::int64_t from = std::max(p.offset, self->pos);
      const std::int64_t to =
          std::min(p.offset + static_cast<std::int64_t>(p.bytes.size()), self->pos + count);
      if (from < to) {
        std::memcpy(dst + (from - self->pos), p.bytes.data() + (from - p.offset),
                    static_cast<std::size_t>(to - from));
      }
    }
    self->pos += count;
    return count;
  }
  static int seek(void* ctx, std::int64_t offset) {
    static_cast<SparseSource*>(ctx)->pos = offset;
    return 0;
  }
};

}  // namespace korvex::test
