#include "selection/flight_scan.h"

#include <algorithm>

#include "fields/gps_fix.h"
#include "record/timestamp.h"

namespace korvex {

namespace {

class FlightSpans final : public RecordConsumer {
 public:
  FlightSpans(std::uint32_t gap, const TimeWindow& window, FlightScan& scan)
      : cutter_(gap), window_(window), scan_(scan) {}

  bool record(const Record& rec) override {
    const std::int64_t flight = cutter_.flight_of(rec.timestamp);
    scan_.flights = flight;
    if (!window_.contains(rec.timestamp)) return true;
    if (scan_.spans.empty() || scan_.spans.back().flight != flight) {
      scan_.spans.push_back({flight, rec.timestamp, rec.revision, 0, 0});
    }
    FlightSpan& span = scan_.spans.back();
    span.last_time = rec.timestamp;
    span.last_layout = rec.revision;
    FixKind kind = FixKind::NONE;
    if (gps_fix(rec, &kind)) {
      ++span.fixes;
      if (rec.revision >= FIRST_DATED_LAYOUT) {
        if (!span.dated_fixes) span.first_fix_time = rec.timestamp;
        span.dated_fixes = true;
        span.last_fix_time = rec.timestamp;
      }
    } else if (kind == FixKind::OUT_OF_RANGE) {
      ++span.positions_out_of_range;
    }
    return true;
  }

 private:
  FlightCutter cutter_;
  const TimeWindow& window_;
  FlightScan& scan_;
};

}  // namespace

const FlightSpan* FlightScan::span(std::int64_t flight) const {
  const auto it =
      std::lower_bound(spans.begin(), spans.end(), flight,
                       [](const FlightSpan& s, std::int64_t f) { return s.flight < f; });
  return it != spans.end() && it->flight == flight ? &*it : nullptr;
}

FlightScan scan_flights(ByteStream& in, const ReadPlan& plan, std::uint32_t gap,
                        const TimeWindow& window) {
  FlightScan scan;
  FlightSpans spans(gap, window, scan);
  scan.outcome = read_in_order(in, plan, nullptr, spans);
  return scan;
}

}  // namespace korvex
