// Little-endian reading and writing of the fixed-width fields of the log format.
#pragma once

#include <cstdint>

namespace korvex {

inline std::uint16_t le_u16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::int16_t le_s16(const std::uint8_t* p) {
  return static_cast<std::int16_t>(le_u16(p));
}
inline std::uint32_t le_u32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::int32_t le_s32(const std::uint8_t* p) {
  return static_cast<std::int32_t>(le_u32(p));
}

inline void put_le16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void put_le32(std::uint8_t* p, std::uint32_t v) {
  put_le16(p, static_cast<std::uint16_t>(v));
  put_le16(p + 2, static_cast<std::uint16_t>(v >> 16));
}

}  // namespace korvex
