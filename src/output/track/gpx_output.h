// The GPX 1.1 track document: one <trk> per flight with a fix, named "Flight N" and described by
// the flight's first and last time as the table shows them, holding one <trkseg> with a
// <trkpt> per fix: lat and lon as the table prints them, <ele> (GPS altitude in metres), <time>
// (UTC, dated records only) and <sat> (where the layout has it).
#pragma once

#include "io/out_buffer.h"
#include "output/log_output.h"
#include "output/track/track_point.h"
#include "selection/flight_scan.h"

namespace korvex {

class GpxOutput final : public LogOutput {
 public:
  // `scan` gives each flight's times; `utc_offset`: how far the clock runs ahead of UTC.
  GpxOutput(OutBuffer& out, const FlightScan& scan, std::int32_t utc_offset)
      : out_(out), scan_(scan), utc_offset_(utc_offset) {}

  void begin() override;
  bool record(const Record& rec, std::int64_t flight) override;
  bool end() override;
  std::int64_t rows() const override { return rows_; }
  int write_error() const override { return out_.failed(); }

 private:
  void close_track();

  OutBuffer& out_;
  const FlightScan& scan_;
  std::int32_t utc_offset_;
  std::int64_t open_flight_ = 0;  // the flight whose <trk> is open, or 0
  UtcDateCache dates_;
  std::int64_t rows_ = 0;
};

}  // namespace korvex
