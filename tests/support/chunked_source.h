// A byte source over memory that delivers at most a few bytes per read (1 to 7, varying), so
// that every stream refill falls somewhere new: a conversion through it must print exactly what
// it prints through a plain memory source.
#pragma once

#include <cstdint>

#include "io/byte_stream.h"

namespace korvex::test {

struct ChunkedSource {
  MemorySource mem;
  std::uint32_t turn = 0;

  ByteSource source() { return ByteSource{this, read, seek, nullptr}; }

  static std::int64_t read(void* ctx, std::uint8_t* dst, std::size_t n) {
    auto* self = static_cast<ChunkedSource*>(ctx);
    const std::size_t chunk = 1 + (self->turn++ * 5 + self->mem.pos) % 7;
    return memory_source(&self->mem).read(&self->mem, dst, n < chunk ? n : chunk);
  }
  static int seek(void* ctx, std::int64_t offset) {
    auto* self = static_cast<ChunkedSource*>(ctx);
    return memory_source(&self->mem).seek(&self->mem, offset);
  }
};

}  // namespace korvex::test
