// The plan view of a flight's GPS track, as inline SVG (it needs no script, and prints as it is):
// longitude scaled by the cosine of the mean latitude so that the shape is true, a grid of round
// degrees, the start a green dot and the end a red square. The track is reduced as it comes: its
// time is cut into at most MAX_TRACK_BUCKETS buckets, each keeping its last fix, the buckets
// merged and twice as wide whenever a long flight fills them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace korvex {

inline constexpr std::size_t MAX_TRACK_BUCKETS = 1000;

class TrackLine {
 public:
  explicit TrackLine(std::uint32_t start = 0) : start_(start) {}
  // The fix of a record at `time` (not before the one before); `pause`: a pause lies before it.
  void add(std::uint32_t time, double lat, double lon, bool pause);
  // The record at hand has no fix: the track breaks.
  void lack() { broken_ = count_ > 0; }

  bool empty() const { return count_ == 0; }
  double mean_lat() const { return count_ > 0 ? lat_sum_ / static_cast<double>(count_) : 0; }

  struct Fix {
    double lat, lon;
    bool starts_stretch;  // not joined to the fix before
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
  void halve();

  std::uint32_t start_;
  std::uint32_t width_ = 1;
  std::vector<Bucket> buckets_;
  std::int64_t count_ = 0;
  double lat_sum_ = 0;
  bool broken_ = false;
  Fix first_{}, last_{};
};

// Appends the plan view to `out` (nothing for an empty track); `id` and `title` name it.
void write_track_chart(std::string& out, const std::string& id, const std::string& title,
                       const TrackLine& track);

// The width of the plan view, in SVG units.
inline constexpr int TRACK_WIDTH = 760;

}  // namespace korvex
