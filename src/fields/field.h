// A column of the record model: where its value stands in a block of a record, how it is stored
// and scaled, how wide its column is in the fixed-width table, and the first record layout that
// has it. Every output (the classic table, its header, and whatever reads values) takes these
// facts from the block tables and from nowhere else.
#pragma once

#include <cstdint>
#include <string_view>

#include "record/layouts.h"

namespace korvex {

// How a value is stored. Multi-byte values are little-endian.
enum class Storage : std::uint8_t {
  U8,
  S8,
  U16,
  S16,
  S32,
  ROTOR,       // an unsigned 16-bit value whose top bit is no part of it
  COORDINATE,  // a single-precision bit pattern whose sign bit is ignored
  MIN_SEC,     // unsigned 8-bit seconds, then signed 16-bit minutes
};

// The size of a stored value in bytes.
constexpr int storage_size(Storage s) {
  switch (s) {
    case Storage::U8:
    case Storage::S8:
      return 1;
    case Storage::U16:
    case Storage::S16:
    case Storage::ROTOR:
      return 2;
    case Storage::MIN_SEC:
      return 3;
    case Storage::S32:
    case Storage::COORDINATE:
      return 4;
  }
  return 0;
}

inline constexpr std::uint8_t SAME_OFFSET = 0xFF;
// The decimals every output shows a coordinate with.
inline constexpr std::uint8_t COORDINATE_DECIMALS = 5;

// 10 to the power of a number of decimals, up to 3: what a value in tenths or hundredths is
// divided by.
inline constexpr double DECIMAL_SCALE[] = {1, 10, 100, 1000};

struct Field {
  std::string_view label;
  std::uint8_t width;   // of the column in the fixed-width table, label and values alike
  std::uint8_t offset;  // from the start of the block: the payload, or the section body
  Storage storage;
  // The decimals a value is shown with: an integer stored in tenths (1) or hundredths (2), and
  // 5 for a coordinate; 0 for a plain integer.
  std::uint8_t decimals = 0;
  std::uint8_t first_layout = 0;  // records of an earlier layout lack the value
  bool negated = false;           // a coordinate whose value is shown with its sign reversed
  // Where the value stands in an engine monitor's short form (56-byte body), when elsewhere.
  std::uint8_t short_offset = SAME_OFFSET;
  // The column's name in the analysis tables where the label would repeat another column's.
  std::string_view analysis_name = {};

  constexpr int offset_in(bool long_form) const {
    return long_form || short_offset == SAME_OFFSET ? offset : short_offset;
  }
};

}  // namespace korvex
