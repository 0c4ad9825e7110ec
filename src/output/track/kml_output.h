// The KML 2.2 track document: one <Placemark> per flight with a fix, named "Flight N", with a
// <TimeSpan> from its first to its last dated fix (in UTC), a line style, and a <LineString>
// (a <Point> for a single fix) of the fixes' lon,lat,ele at absolute altitude (GPS altitude in
// metres).
#pragma once

#include <memory>

#include "io/out_buffer.h"
#include "output/format/log_output.h"

namespace korvex {

class KmlOutput final : public LogOutput {
 public:
  // Each flight's facts must come from a flight scan (its fixes).
  KmlOutput(OutBuffer& out, std::int32_t utc_offset) : out_(out), utc_offset_(utc_offset) {}

  bool begin() override;
  bool begin_flight(const FlightFacts& facts) override;
  bool record(const RecordEvent& event) override;
  bool end_flight() override;
  bool end() override;
  std::int64_t rows() const override { return rows_; }
  int write_error() const override { return out_.failed(); }

 private:
  OutBuffer& out_;
  std::int32_t utc_offset_;
  FlightFacts flight_;
  bool open_ = false;          // the flight's placemark is open: it has a fix
  bool single_point_ = false;  // the open placemark is a <Point>
  std::int64_t points_ = 0;    // in the open placemark
  std::int64_t rows_ = 0;
};

struct OutputSetup;
std::unique_ptr<LogOutput> make_kml(const OutputSetup& setup);

}  // namespace korvex
