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
  return columns_.size() - 1;
}

void ColumnValues::start() {
  std::fill(highest_.begin(), highest_.end(), kNone);
}

}  // namespace korvex
