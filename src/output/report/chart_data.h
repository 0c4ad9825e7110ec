// What the report's charts draw of a flight: its time cut into buckets shared by all its lines,
// each line keeping in a bucket the lowest and the highest of its values in the order they came,
// so that no peak is lost however far the buckets are merged. Buckets start one second wide, so
// that a flight of one record a second keeps every record; merging each two neighbouring buckets
// doubles their width. Values are kept as the whole numbers of their decimals (a value of 12.5
// with one decimal as 125), as the page writes them.
//
// The page reads a flight's data as JSON: {"x0":T,"w":W,"x":[...],"y":[...]}: the times of its
// points as differences (in seconds, from T), and per line null when it has no value in the
// flight, else [decimals, the first value, then differences], null where the line lacks a value
// (a gap in it). A bucket whose lines each have one value is one point at its start; any other
// is two, at its start and half-way through it. A pause of more than BREAK_SECONDS between
// records is a point of nulls, a gap in every line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvex {

inline constexpr std::uint32_t BREAK_SECONDS = 5;

class FlightSamples {
 public:
  // A flight from `start` of `lines` lines with these decimals each.
  FlightSamples(std::uint32_t start, std::vector<int> decimals);

  // The bucket of a record at `time` (not before the one before): call before its values.
  void tick(std::uint32_t time);
  // The record's value of line `line`, in its decimals (125 for 12.5 with one decimal).
  void add(std::size_t line, std::int32_t value) {
    Extremes& e = cells_[row_ + line];
    if (e.first == NONE) [[unlikely]] {
      e = {value, value};
      return;
    }
    // The new value comes last: where it is a new extreme, the other extreme stays before it.
    const std::int32_t low = e.first < e.second ? e.first : e.second;
    const std::int32_t high = e.first < e.second ? e.second : e.first;
    if (value < low) e = {high, value};
    if (value > high) e = {low, value};
  }
  // A value in a line's decimals (`scale`: 10 to their power), rounded half away from zero and
  // clamped to what the page keeps; 0 for NaN.
  static std::int32_t scaled(double value, double scale) {
    const double v = value * scale;
    constexpr double kHigh = 2147483647.0;  // and its negative: the least value is NONE
    if (v > -kHigh && v < kHigh) return static_cast<std::int32_t>(v + (v < 0 ? -0.5 : 0.5));
    if (v != v) return 0;
    return v < 0 ? -INT32_MAX : INT32_MAX;
  }
  // 10 to the power of a number of decimals, up to the four a calibrated value has at most.
  static double scale_of(int decimals) {
    constexpr double kScale[] = {1, 10, 100, 1000, 10000};
    return kScale[decimals < 0 ? 0 : decimals > 4 ? 4 : decimals];
  }

  // Merges each two neighbouring buckets: twice as wide, half as many.
  void halve();

  std::size_t buckets() const { return flags_.size(); }
  std::uint32_t start() const { return start_; }
  std::uint32_t width() const { return width_; }
  // Whether the flight has any value of a line.
  bool has(std::size_t line) const;

  // The flight's data as the page reads it (see above), its times `shift` seconds on (the
  // clock the page shows).
  std::string json(std::int64_t shift = 0) const;

 private:
  static constexpr std::int32_t NONE = INT32_MIN;
  struct Extremes {
    std::int32_t first = NONE, second = NONE;  // in time order
  };
  // Two neighbouring buckets' extremes as one bucket's.
  static Extremes merge(Extremes a, Extremes b);
  static constexpr std::uint8_t HAS = 1;    // the bucket holds a record
  static constexpr std::uint8_t PAUSE = 2;  // a pause lies before its first record

  std::uint32_t start_;
  std::uint32_t width_ = 1;
  std::vector<int> decimals_;
  std::size_t lines_;
  std::vector<std::uint8_t> flags_;  // per bucket
  // The extremes of each bucket's lines, a bucket after the other (a record's values side by
  // side).
  std::vector<Extremes> cells_;
  std::size_t current_ = 0;
  std::size_t row_ = 0;  // of the current bucket, in cells_
  bool ticked_ = false;
  std::uint32_t last_ = 0;
};

// Text as a JSON string inside a page's script element: quoted, with ", \\ and control
// characters escaped, and <, > and & too, so that no text closes the element.
std::string json_string(std::string_view text);
// A number as JSON: its shortest form, null when it is none.
std::string json_number(double v);

}  // namespace korvex
