#include "selection/flight_scan.h"

namespace korvex {

namespace {

class StartsOfFlights final : public RecordConsumer {
 public:
  StartsOfFlights(std::uint32_t gap, const TimeWindow& window, FlightScan& scan)
      : cutter_(gap), window_(window), scan_(scan) {}

  bool record(const Record& rec) override {
    const std::int64_t flight = cutter_.flight_of(rec.timestamp);
    scan_.flights = flight;
    if (window_.contains(rec.timestamp) &&
        (scan_.starts.empty() || scan_.starts.back().flight != flight)) {
      scan_.starts.push_back({flight, rec.timestamp, rec.revision});
    }
    return true;
  }

 private:
  FlightCutter cutter_;
  const TimeWindow& window_;
  FlightScan& scan_;
};

}  // namespace

FlightScan scan_flights(ByteStream& in, const ReadPlan& plan, std::uint32_t gap,
                        const TimeWindow& window) {
  FlightScan scan;
  StartsOfFlights starts(gap, window, scan);
  scan.outcome = read_in_order(in, plan, nullptr, starts);
  return scan;
}

}  // namespace korvex
