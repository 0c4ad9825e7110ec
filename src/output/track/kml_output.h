// The KML 2.2 track document: one <Placemark> per flight with a fix, named "Flight N", with a
// <TimeSpan> from its first to its last dated fix (in UTC), a line style, and a <LineString>
// (a <Point> for a single fix) of the fixes' lon,lat,ele at absolute altitude (GPS altitude in
// metres).
#pragma once

#include "io/out_buffer.h"
#include "output/log_output.h"
#include "selection/flight_scan.h"

namespace korvex {

class KmlOutput final : public LogOutput {
 public:
  KmlOutput(OutBuffer& out, const FlightScan& scan, std::int32_t utc_offset)
      : out_(out), scan_(scan), utc_offset_(utc_offset) {}

  void begin() override;
  bool record(const Record& rec, std::int64_t flight) override;
  bool end() override;
  std::int64_t rows() const override { return rows_; }
  int write_error() const override { return out_.failed(); }

 private:
  void close_placemark();

  OutBuffer& out_;
  const FlightScan& scan_;
  std::int32_t utc_offset_;
  std::int64_t open_flight_ = 0;
  bool single_point_ = false;  // the open placemark is a <Point>
  std::int64_t points_ = 0;    // in the open placemark
  std::int64_t rows_ = 0;
};

}  // namespace korvex
