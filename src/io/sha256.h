// SHA-256 (FIPS 180-4) of bytes given in pieces of any size: what names a log file beyond its
// name and size, so that the same download imported twice is known as the same.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace korvex {

class Sha256 {
 public:
  using Digest = std::array<std::uint8_t, 32>;

  Sha256();
  // Adds n bytes.
  void update(const void* data, std::size_t n);
  // The digest of every byte added; the object is spent.
  Digest finish();

  // The digest as 64 lowercase hexadecimal digits.
  static std::string hex(const Digest& digest);

 private:
  void compress(const std::uint8_t* block);

  std::array<std::uint32_t, 8> state_;
  std::array<std::uint8_t, 64> block_{};
  std::size_t held_ = 0;      // bytes of block_ in use
  std::uint64_t length_ = 0;  // bytes added
};

// The digest of every byte of the open file `fd`, read from its start without moving its
// position, and the file's size; false with errno set when a read fails.
bool sha256_of_file(int fd, Sha256::Digest& digest, std::int64_t& size);

}  // namespace korvex
