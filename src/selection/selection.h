// What the user picked: the gap that cuts flights, the flights, and the time window; and the
// consumer that applies it between the reader and an output.
#pragma once

#include <cstdint>

#include "output/log_output.h"
#include "plan/record_consumer.h"
#include "selection/flight_cutter.h"
#include "selection/flight_list.h"
#include "selection/time_window.h"

namespace korvex {

struct Selection {
  std::uint32_t gap = DEFAULT_GAP;
  FlightList flights;  // every flight when empty
  TimeWindow window;
};

// Cuts the records into flights and hands on the ones the selection holds, with their flight.
class RecordFilter final : public RecordConsumer {
 public:
  RecordFilter(const Selection& selection, LogOutput& output)
      : selection_(selection), cutter_(selection.gap), output_(output) {}

  bool record(const Record& rec) override {
    const std::int64_t flight = cutter_.flight_of(rec.timestamp);
    if (!selection_.window.contains(rec.timestamp) || !selection_.flights.contains(flight)) {
      return true;
    }
    return output_.record(rec, flight);
  }

 private:
  const Selection& selection_;
  FlightCutter cutter_;
  LogOutput& output_;
};

}  // namespace korvex
