// The GPX 1.1 track document: one <trk> per flight with a fix, named "Flight N" and described by
// the flight's first and last time as the table shows them, holding one <trkseg> with a
// <trkpt> per fix: lat and lon as the table prints them, <ele> (GPS altitude in metres), <time>
// (UTC, dated records only) and <sat> (where the layout has it).
#pragma once

#include <memory>

#include "io/out_buffer.h"
#include "output/format/log_output.h"
#include "output/track/track_point.h"

namespace korvex {

class GpxOutput final : public LogOutput {
 public:
  // `utc_offset`: how far the clock runs ahead of UTC. Each flight's facts must come from a
  // flight scan (its last time).
  GpxOutput(OutBuffer& out, std::int32_t utc_offset) : out_(out), utc_offset_(utc_offset) {}

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
  bool open_ = false;  // the flight's <trk> is open: it has a fix
  UtcDateCache dates_;
  std::int64_t rows_ = 0;
};

struct OutputSetup;
std::unique_ptr<LogOutput> make_gpx(const OutputSetup& setup);

}  // namespace korvex
