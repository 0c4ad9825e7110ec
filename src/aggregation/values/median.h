// The median of a column over a stretch of records, in bounded memory: the values are kept until
// `capacity` of them are held; then every second one kept is dropped and from there on only every
// second value is taken, then every fourth, and so on. The values kept are an even sample of
// the stretch (its first value and then every `stride`-th one), so the median of a stretch of
// at most `capacity` values is exact and that of a longer one is the median of the sample.
// Nothing is allocated after construction.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace korvex {

class MedianSample {
 public:
  static constexpr std::size_t kCapacity = 4096;

  explicit MedianSample(std::size_t capacity = kCapacity) : capacity_(capacity + capacity % 2) {
    kept_.reserve(capacity_);
  }

  void clear() {
    kept_.clear();
    stride_ = 1;
    seen_ = 0;
  }
  // A NaN (a record that lacks the column) is no value.
  void add(double v) {
    if (std::isnan(v)) return;
    if (seen_++ % stride_ != 0) return;
    if (kept_.size() == capacity_) {
      for (std::size_t i = 0; i < capacity_ / 2; ++i) kept_[i] = kept_[2 * i];
      kept_.resize(capacity_ / 2);
      stride_ *= 2;
      if ((seen_ - 1) % stride_ != 0) return;
    }
    kept_.push_back(v);
  }
  std::int64_t count() const { return static_cast<std::int64_t>(seen_); }
  // The middle value, or the mean of the two middle ones; nothing without a value. `scratch`
  // holds a copy (the values stay in order of their records).
  std::optional<double> median(std::vector<double>& scratch) const {
    if (kept_.empty()) return std::nullopt;
    scratch.assign(kept_.begin(), kept_.end());
    const auto middle = scratch.begin() + static_cast<std::ptrdiff_t>(scratch.size() / 2);
    std::nth_element(scratch.begin(), middle, scratch.end());
    const double upper = *middle;
    if (scratch.size() % 2 == 1) return upper;
    const double lower = *std::max_element(scratch.begin(), middle);
    return (lower + upper) / 2;
  }

 private:
  std::size_t capacity_;
  std::vector<double> kept_;
  std::uint64_t stride_ = 1;
  std::uint64_t seen_ = 0;
};

}  // namespace korvex
