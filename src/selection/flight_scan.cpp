#include "selection/flight_scan.h"

#include <algorithm>

#include "record/timestamp.h"
#include "selection/flight_cutter.h"
#include "selection/flight_keys.h"

namespace korvex {

namespace {

class FlightSpans final : public RecordConsumer {
 public:
  FlightSpans(std::uint32_t gap, const TimeWindow& window, FlightScan& scan)
      : cutter_(gap), window_(window), scan_(scan) {}

  bool record(const Record& rec) override {
    const std::uint64_t ordinal = ordinal_++;
    const std::int64_t flight = cutter_.flight_of(rec.timestamp);
    scan_.flights = flight;
    if (!window_.contains(rec.timestamp)) return true;
    if (scan_.spans.empty() || scan_.spans.back().number != flight) {
      if (!scan_.spans.empty()) keys_.finish();
      FlightFacts facts;
      facts.number = flight;
      facts.first_time = rec.timestamp;
      facts.first_layout = rec.revision;
      facts.scanned = true;
      facts.first_record = ordinal;
      scan_.spans.push_back(facts);
    }
    FlightFacts& span = scan_.spans.back();
    span.last_time = rec.timestamp;
    span.last_layout = rec.revision;
    span.last_record = ordinal;
    ++span.records;
    keys_.add(rec);
    span.flight_id = keys_.key();
    const RecordEvent event(rec, flight);
    if (event.fix()) {
      ++span.fixes;
      if (rec.revision >= FIRST_DATED_LAYOUT) {
        if (!span.dated_fixes) span.first_fix_time = rec.timestamp;
        span.dated_fixes = true;
        span.last_fix_time = rec.timestamp;
      }
    } else if (event.fix_kind() == FixKind::OUT_OF_RANGE) {
      ++span.positions_out_of_range;
    }
    return true;
  }

 private:
  FlightCutter cutter_;
  const TimeWindow& window_;
  FlightScan& scan_;
  FlightKeys keys_;
  std::uint64_t ordinal_ = 0;
};

}  // namespace

const FlightFacts* FlightScan::facts(std::int64_t flight) const {
  const auto it =
      std::lower_bound(spans.begin(), spans.end(), flight,
                       [](const FlightFacts& s, std::int64_t f) { return s.number < f; });
  return it != spans.end() && it->number == flight ? &*it : nullptr;
}

FlightScan scan_flights(std::span<const LogRead> logs, std::uint32_t gap,
                        const TimeWindow& window) {
  FlightScan scan;
  FlightSpans spans(gap, window, scan);
  scan.outcome = read_logs(logs, nullptr, spans);
  return scan;
}

FlightScan scan_flights(ByteStream& in, const ReadPlan& plan, std::uint32_t gap,
                        const TimeWindow& window) {
  const LogRead log{&in, plan};
  return scan_flights(std::span<const LogRead>(&log, 1), gap, window);
}

}  // namespace korvex
