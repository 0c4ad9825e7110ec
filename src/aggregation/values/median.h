// The medians of several columns over a stretch of records, in bounded memory: the records'
// values are kept, a row each, until `capacity` rows are held; then every second row kept is
// dropped and from there on only every second record is taken, then every fourth, and so on.
// The rows kept are an even sample of the stretch: of its n records, those whose index (from 0)
// is a multiple of the stride, the smallest power of two s for which ceil(n / s) <= capacity. So
// the median of a stretch of at most `capacity` records is exact and that of a longer one is the
// median of the sample. One count decides for all the columns whether a
// record is kept. Nothing is allocated after construction.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace korvex {

class RowSample {
 public:
  static constexpr std::size_t kCapacity = 4096;

  explicit RowSample(std::size_t columns, std::size_t capacity = kCapacity)
      : columns_(columns), capacity_(capacity + capacity % 2), cells_(columns * capacity_) {}

  void clear() {
    kept_ = 0;
    stride_ = skip_ = 1;
    seen_ = 0;
  }
  // A record of the stretch: where its row's values go when it is kept (NaN for a value it
  // lacks), else nullptr.
  double* next() {
    ++seen_;
    if (--skip_ > 0) return nullptr;  // between two kept
    if (kept_ == capacity_) {
      // Every second row kept goes; of the records from here on, every (2 × stride)-th is kept:
      // this one is when it falls on the new stride.
      for (std::size_t r = 1; r < capacity_ / 2; ++r) {
        std::copy_n(&cells_[2 * r * columns_], columns_, &cells_[r * columns_]);
      }
      kept_ = capacity_ / 2;
      stride_ *= 2;
      if (((seen_ - 1) & (stride_ - 1)) != 0) {
        skip_ = stride_ / 2;
        return nullptr;
      }
    }
    skip_ = stride_;
    return &cells_[kept_++ * columns_];
  }
  std::int64_t records() const { return static_cast<std::int64_t>(seen_); }
  // The middle value of a column (or the mean of the two middle ones) over the rows that have
  // it; nothing without one. `scratch` holds a copy.
  std::optional<double> median(std::size_t column, std::vector<double>& scratch) const {
    scratch.clear();
    for (std::size_t r = 0; r < kept_; ++r) {
      const double v = cells_[r * columns_ + column];
      if (!std::isnan(v)) scratch.push_back(v);
    }
    if (scratch.empty()) return std::nullopt;
    const auto middle = scratch.begin() + static_cast<std::ptrdiff_t>(scratch.size() / 2);
    std::nth_element(scratch.begin(), middle, scratch.end());
    const double upper = *middle;
    if (scratch.size() % 2 == 1) return upper;
    const double lower = *std::max_element(scratch.begin(), middle);
    return (lower + upper) / 2;
  }

 private:
  std::size_t columns_;
  std::size_t capacity_;
  std::vector<double> cells_;  // the rows kept, one after another
  std::size_t kept_ = 0;
  std::uint64_t stride_ = 1;  // a power of two
  std::uint64_t skip_ = 1;    // records until the next one kept
  std::uint64_t seen_ = 0;
};

}  // namespace korvex
