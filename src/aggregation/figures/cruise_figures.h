// The steady figures of cruise: each cruise figure of the table is the median of its column (or
// of its engine's EGT spread) over the records in cruise, in the profile's units. A cruise
// segment is a stretch of consecutive records in cruise, and its figures are the medians over it
// (over an even sample of RowSample::kCapacity records, for a segment longer than that). A
// flight's cruise figures are the medians over all its cruise records together (every segment,
// each record a second, so a long segment weighs more than a short one), over an even sample of
// FLIGHT_CRUISE_SAMPLE records: the median of a steady cruise moves little with the sample, and
// the flights table costs less.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "aggregation/figures/figure_table.h"
#include "aggregation/values/median.h"
#include "aggregation/values/record_values.h"

namespace korvex {

inline constexpr std::size_t FLIGHT_CRUISE_SAMPLE = 512;

// The medians of the cruise figures over some records.
class CruiseMedians {
 public:
  // The cruise figures among `figures`; the columns they read are added to `values`. Over an
  // even sample of at most `capacity` records.
  CruiseMedians(const std::vector<FigureId>& figures, ColumnValues& values,
                std::size_t capacity = RowSample::kCapacity);

  bool empty() const { return items_.empty(); }
  void clear();
  void add(const RecordFacts& facts);
  // Each cruise figure's median, nothing where no record had its value.
  void fill(std::array<std::optional<double>, FIGURE_COUNT>& figures) const;

 private:
  struct Item {
    FigureId figure;
    std::size_t value;  // its column's place among the values read
    int spread_engine;  // the engine of an EGT spread, or -1
  };
  std::vector<Item> items_;
  RowSample sample_;  // a column per item
  mutable std::vector<double> scratch_;
};

// A stretch of consecutive records in cruise and its figures.
struct CruiseSegment {
  std::int64_t flight = 0;
  std::uint32_t first_time = 0;
  std::uint32_t last_time = 0;
  RecordLayout first_layout = 0;
  RecordLayout last_layout = 0;
  std::int64_t records = 0;
  std::array<std::optional<double>, FIGURE_COUNT> figures;  // the cruise figures

  std::uint32_t seconds() const { return last_time - first_time + 1; }
};

// The cruise segments of a flight, each ready when its last record has come.
class CruiseSegments {
 public:
  CruiseSegments(const std::vector<FigureId>& figures, ColumnValues& values)
      : medians_(figures, values) {}

  void start(std::int64_t flight);
  void add(const RecordFacts& facts);
  // The flight ended: a segment still open is closed.
  void finish();
  // Moves the segments closed into `out`, in order.
  void take(std::vector<CruiseSegment>& out);

 private:
  void close();

  CruiseMedians medians_;
  CruiseSegment open_;
  bool is_open_ = false;
  std::vector<CruiseSegment> ready_;
};

}  // namespace korvex
