#include "output/report/series.h"

namespace korvex {

void BucketClock::reset(std::uint32_t start, std::uint32_t width) {
  start_ = start;
  width_ = std::max<std::uint32_t>(width, 1);
  ticked_ = false;
}

std::size_t BucketClock::tick(std::uint32_t time, bool& pause, int& halvings) {
  pause = ticked_ && time - last_ > BREAK_SECONDS;
  ticked_ = true;
  last_ = time;
  halvings = 0;
  std::size_t bucket = (time - start_) / width_;
  while (bucket >= MAX_BUCKETS) {
    width_ *= 2;
    bucket = (time - start_) / width_;
    ++halvings;
  }
  return bucket;
}

void Series::add_slowly(std::size_t bucket, std::uint32_t time, double value, bool pause) {
  const bool breaks = broken_ || (pause && has_last_);
  broken_ = false;
  has_last_ = true;
  if (bucket != current_) {
    settle();
    if (bucket >= buckets_.size()) buckets_.resize(bucket + 1);
    current_ = bucket;
    cur_ = buckets_[bucket];
  }
  if (!cur_.has) {
    cur_ = Bucket{true, breaks, time, time, value, value};
    return;
  }
  cur_.breaks = cur_.breaks || breaks;
  if (value < cur_.min) {
    cur_.min = value;
    cur_.min_time = time;
  }
  if (value > cur_.max) {
    cur_.max = value;
    cur_.max_time = time;
  }
}

void Series::halve() {
  settle();
  current_ = NONE;
  std::vector<Bucket> merged((buckets_.size() + 1) / 2);
  for (std::size_t i = 0; i < buckets_.size(); ++i) {
    const Bucket& b = buckets_[i];
    Bucket& m = merged[i / 2];
    if (!b.has) continue;
    if (!m.has) {
      m = b;
      continue;
    }
    if (b.min < m.min) m.min = b.min, m.min_time = b.min_time;
    if (b.max > m.max) m.max = b.max, m.max_time = b.max_time;
  }
  buckets_ = std::move(merged);
}

double Series::min() const {
  double least = 0;
  bool any = false;
  for_each_bucket([&](const Bucket& b) {
    if (b.has && (!any || b.min < least)) least = b.min;
    any = any || b.has;
  });
  return least;
}

double Series::max() const {
  double greatest = 0;
  bool any = false;
  for_each_bucket([&](const Bucket& b) {
    if (b.has && (!any || b.max > greatest)) greatest = b.max;
    any = any || b.has;
  });
  return greatest;
}

std::vector<Series::Point> Series::points() const {
  std::vector<Point> points;
  bool starts = true;
  for_each_bucket([&](const Bucket& b) {
    if (!b.has) return;
    const bool starts_here = starts || b.breaks;
    starts = false;
    const bool min_first = b.min_time <= b.max_time;
    points.push_back({min_first ? b.min_time : b.max_time, min_first ? b.min : b.max, starts_here});
    if (b.min_time != b.max_time) {
      points.push_back({min_first ? b.max_time : b.min_time, min_first ? b.max : b.min, false});
    }
  });
  return points;
}

void TrackLine::reset() {
  buckets_.clear();
  count_ = 0;
  lat_sum_ = 0;
  broken_ = false;
}

void TrackLine::add(std::size_t bucket, double lat, double lon, bool pause) {
  if (bucket >= buckets_.size()) buckets_.resize(bucket + 1);
  Bucket& b = buckets_[bucket];
  if (broken_ || (pause && count_ > 0)) b.breaks = true;
  broken_ = false;
  b.has = true;
  b.lat = lat;
  b.lon = lon;
  if (count_ == 0) first_ = {lat, lon, true};
  last_ = {lat, lon, false};
  ++count_;
  lat_sum_ += lat;
}

void TrackLine::halve() {
  std::vector<Bucket> merged((buckets_.size() + 1) / 2);
  for (std::size_t i = 0; i < buckets_.size(); ++i) {
    const Bucket& b = buckets_[i];
    if (!b.has) continue;
    Bucket& m = merged[i / 2];
    const bool breaks = m.has ? m.breaks : b.breaks;
    m = b;  // the later fix of the two
    m.breaks = breaks;
  }
  buckets_ = std::move(merged);
}

std::vector<TrackLine::Fix> TrackLine::fixes() const {
  std::vector<Fix> fixes;
  bool starts = true;
  for (const Bucket& b : buckets_) {
    if (!b.has) continue;
    fixes.push_back({b.lat, b.lon, starts || b.breaks});
    starts = false;
  }
  return fixes;
}

}  // namespace korvex
