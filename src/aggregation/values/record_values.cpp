#include "aggregation/values/record_values.h"

#include <algorithm>

namespace korvex {

std::size_t ColumnValues::add(ColumnRef column) {
  const auto at = std::find(columns_.begin(), columns_.end(), column);
  if (at != columns_.end()) return static_cast<std::size_t>(at - columns_.begin());
  const Field& f = *column.field;
  columns_.push_back(column);
  slots_.push_back({&f, f.decimals < std::size(DECIMAL_SCALE) ? DECIMAL_SCALE[f.decimals] : 1,
                    static_cast<std::uint8_t>(column.block),
                    static_cast<std::uint8_t>(f.offset_in(true)),
                    static_cast<std::uint8_t>(f.offset_in(false)), f.first_layout, f.storage,
                    profile_.calibration(column)});
  values_.push_back(NO_VALUE);
  highest_.push_back(kNone);
  const Slot& s = slots_.back();
  const std::size_t place = columns_.size() - 1;
  const int kind = s.storage == Storage::U16   ? 0
                   : s.storage == Storage::S16 ? 1
                   : s.storage == Storage::S32 ? 2
                                               : -1;
  if (kind >= 0 && s.scale == 1 && s.calibration == nullptr && s.first_layout == 0) {
    plain_[kind][s.block].push_back({place, s.offset, s.short_offset});
  } else {
    others_.push_back(place);
  }
  return place;
}

void ColumnValues::start() {
  std::fill(highest_.begin(), highest_.end(), kNone);
}

}  // namespace korvex
