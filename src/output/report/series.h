// The lines of a chart, reduced for drawing without hiding peaks: a flight's time is cut into
// buckets, and each keeps the minimum and the maximum of its values (with their times), so a
// line has at most two points per bucket. Buckets start a second wide; when a long flight fills
// MAX_BUCKETS of them (or the report runs over its budget of points), neighbouring buckets are
// merged and the width doubles, so a line never holds more than about 1,000 points. A value
// that a record lacks, or a pause of more than a few seconds between records, breaks the line:
// the next value starts a new stretch instead of being joined to the one before.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace korvex {

inline constexpr std::uint32_t BREAK_SECONDS = 5;
inline constexpr std::size_t MAX_BUCKETS = 500;

// The buckets of a flight's time, shared by all its lines.
class BucketClock {
 public:
  // A flight from `start`, in buckets of `width` seconds (at least 1).
  void reset(std::uint32_t start, std::uint32_t width);
  // The bucket of the next record's time, and whether a pause lies before it. When the bucket
  // would be MAX_BUCKETS or beyond, the width doubles as often as needed: `halvings` tells the
  // lines how often to merge theirs.
  std::size_t tick(std::uint32_t time, bool& pause, int& halvings);
  // Doubles the width of the buckets (the lines merge theirs).
  void widen() { width_ *= 2; }

 private:
  std::uint32_t start_ = 0;
  std::uint32_t width_ = 1;
  bool ticked_ = false;
  std::uint32_t last_ = 0;
};

class Series {
 public:
  void reset() {
    buckets_.clear();
    current_ = NONE;
    has_last_ = broken_ = false;
  }
  // A value of the record at `time` in `bucket`; `pause`: a pause lies before the record.
  void add(std::size_t bucket, std::uint32_t time, double value, bool pause) {
    if (bucket != current_ || pause || broken_) [[unlikely]] {
      add_slowly(bucket, time, value, pause);
      return;
    }
    // The bucket at hand, the common case: kept apart from the others, and without branches,
    // for speed.
    const bool lower = value < cur_.min;
    const bool higher = value > cur_.max;
    cur_.min = lower ? value : cur_.min;
    cur_.min_time = lower ? time : cur_.min_time;
    cur_.max = higher ? value : cur_.max;
    cur_.max_time = higher ? time : cur_.max_time;
  }
  // The record at hand lacks the value: the line breaks.
  void lack() { broken_ = has_last_; }
  // Merges each two neighbouring buckets into one.
  void halve();

  bool empty() const { return !has_last_; }
  // The least and the greatest value.
  double min() const;
  double max() const;

  struct Point {
    std::uint32_t time;
    double value;
    bool starts_stretch;  // not joined to the point before
  };
  // The points to draw, in time order.
  std::vector<Point> points() const;

 private:
  struct Bucket {
    bool has = false;
    bool breaks = false;  // a break lies before this bucket's first value
    std::uint32_t min_time = 0, max_time = 0;
    double min = 0, max = 0;
  };
  static constexpr std::size_t NONE = SIZE_MAX;

  void add_slowly(std::size_t bucket, std::uint32_t time, double value, bool pause);
  // Puts the bucket at hand back among the others.
  void settle() {
    if (current_ != NONE) buckets_[current_] = cur_;
  }
  // Calls f with each bucket, in order.
  template <typename F>
  void for_each_bucket(F f) const {
    for (std::size_t i = 0; i < buckets_.size(); ++i) f(i == current_ ? cur_ : buckets_[i]);
  }

  std::vector<Bucket> buckets_;
  std::size_t current_ = NONE;  // the bucket at hand, which cur_ holds
  Bucket cur_;
  bool has_last_ = false;
  bool broken_ = false;
};

// The GPS track of a flight, reduced like a Series: each bucket keeps its last fix. The mean
// latitude is that of every fix.
class TrackLine {
 public:
  void reset();
  void add(std::size_t bucket, double lat, double lon, bool pause);
  void lack() { broken_ = count_ > 0; }
  void halve();

  bool empty() const { return count_ == 0; }
  double mean_lat() const { return count_ > 0 ? lat_sum_ / static_cast<double>(count_) : 0; }

  struct Fix {
    double lat, lon;
    bool starts_stretch;
  };
  std::vector<Fix> fixes() const;
  // The flight's first and last fix.
  Fix first() const { return first_; }
  Fix last() const { return last_; }

 private:
  struct Bucket {
    bool has = false;
    bool breaks = false;
    double lat = 0, lon = 0;
  };
  std::vector<Bucket> buckets_;
  std::int64_t count_ = 0;
  double lat_sum_ = 0;
  bool broken_ = false;
  Fix first_{}, last_{};
};

}  // namespace korvex
