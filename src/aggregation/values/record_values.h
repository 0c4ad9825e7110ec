// What the analysis of a flight works out once per record for everything that needs it: the
// values of the columns its figures and findings read (each read once), whether each engine
// runs, the spread of its EGTs, whether the aircraft is airborne.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "fields/value.h"
#include "profile/profile.h"
#include "selection/flight_events.h"

namespace korvex {

// The value of a column that the record at hand lacks.
inline constexpr double NO_VALUE = std::numeric_limits<double>::quiet_NaN();

// The columns read, each once per record, with the highest value of each in the flight so far;
// a column's place is its index among them. Values are calibrated as the profile says.
class ColumnValues {
 public:
  explicit ColumnValues(const Profile& profile) : profile_(profile) {}

  // The place of `column`, added when it is new.
  std::size_t add(ColumnRef column);
  // A new flight: no highest values.
  void start();
  // Reads every column of the record the view shows: where its bytes stand as field_bytes()
  // says, and its value as field_value() makes it, with both unrolled for the loop.
  void read(const RecordView& view) {
    const Slot* slot = slots_.data();
    double* values = values_.data();
    double* highest = highest_.data();
    // The most common columns first, a loop for each block and kind of integer: whole, as
    // logged, in every layout that has their block.
    for (int b = 0; b < BLOCK_COUNT; ++b) {
      read_plain<Storage::U16>(view, b, plain_[0][b]);
      read_plain<Storage::S16>(view, b, plain_[1][b]);
      read_plain<Storage::S32>(view, b, plain_[2][b]);
    }
    for (const std::size_t i : others_) {
      const Slot& s = slot[i];
      const std::uint8_t* block = view.bytes[s.block];
      double v = NO_VALUE;
      if (block != nullptr && view.revision >= s.first_layout) {
        const std::uint8_t* at = block + (view.long_form[s.block] ? s.offset : s.short_offset);
        switch (s.storage) {
          case Storage::U8:
            v = static_cast<double>(load_integer<Storage::U8>(at)) / s.scale;
            break;
          case Storage::U16:
            v = static_cast<double>(load_integer<Storage::U16>(at)) / s.scale;
            break;
          case Storage::S16:
            v = static_cast<double>(load_integer<Storage::S16>(at)) / s.scale;
            break;
          case Storage::S32:
            v = static_cast<double>(load_integer<Storage::S32>(at)) / s.scale;
            break;
          default:
            v = field_value(*s.field, at);
            break;
        }
        if (s.calibration != nullptr) v = s.calibration->apply(v);
      }
      values[i] = v;
      highest[i] = std::max(highest[i], v);  // a NaN leaves it
    }
  }
  // The value of the column at place i in the record at hand; NaN when the record lacks it.
  double operator[](std::size_t i) const { return values_[i]; }
  // Its highest value in the flight so far, when a record had it.
  std::optional<double> highest(std::size_t i) const {
    return highest_[i] != kNone ? std::optional<double>(highest_[i]) : std::nullopt;
  }
  std::size_t size() const { return slots_.size(); }

 private:
  static constexpr double kNone = -std::numeric_limits<double>::infinity();
  // A column of integers without decimals or calibration, in every layout of its block, and
  // its place.
  struct Plain {
    std::size_t index;
    std::uint8_t offset, short_offset;
  };
  template <Storage kStorage>
  void read_plain(const RecordView& view, int b, const std::vector<Plain>& plain) {
    if (plain.empty()) return;
    const std::uint8_t* block = view.bytes[b];
    if (block == nullptr) {
      for (const Plain& p : plain) values_[p.index] = NO_VALUE;
      return;
    }
    const bool long_form = view.long_form[b];
    for (const Plain& p : plain) {
      const auto v = static_cast<double>(
          load_integer<kStorage>(block + (long_form ? p.offset : p.short_offset)));
      values_[p.index] = v;
      highest_[p.index] = std::max(highest_[p.index], v);
    }
  }
  // A column as the loop reads it.
  struct Slot {
    const Field* field;
    double scale;  // 10 to the power of its decimals
    std::uint8_t block;
    std::uint8_t offset, short_offset;  // in the block's long and short form
    std::uint8_t first_layout;
    Storage storage;
    const Calibration* calibration;  // nullptr: as logged
  };
  const Profile& profile_;
  std::vector<ColumnRef> columns_;
  std::vector<Slot> slots_;
  std::vector<Plain> plain_[3][BLOCK_COUNT];  // U16, S16 and S32, by block
  std::vector<std::size_t> others_;           // the places of the rest
  std::vector<double> values_;
  std::vector<double> highest_;  // kNone: no record had it yet
};

// One record as the figures and findings of its flight see it.
struct RecordFacts {
  const RecordEvent& event;
  const ColumnValues& values;
  // Each engine runs: its RPM is at least its running RPM.
  bool running[ENGINE_COUNT] = {};
  // The highest less the lowest EGT of each engine's cylinders, in a record with the engine
  // running and every EGT present; NaN otherwise.
  double egt_spread[ENGINE_COUNT] = {NO_VALUE, NO_VALUE};
  // The airborne column's value, NaN when the record lacks it.
  double airborne = NO_VALUE;

  std::uint32_t time() const { return event.rec.timestamp; }
};

}  // namespace korvex
