// What the user picked (the gap that cuts flights, the flights, the time window) and the
// consumer that applies it between the reader and an output: it cuts the records into flights
// once and sends the selected ones on as flight events.
#pragma once

#include <cstdint>

#include "plan/record_consumer.h"
#include "selection/flight_cutter.h"
#include "selection/flight_events.h"
#include "selection/flight_list.h"
#include "selection/flight_scan.h"
#include "selection/phases.h"
#include "selection/time_window.h"

namespace korvex {

struct Selection {
  std::uint32_t gap = DEFAULT_GAP;
  // Flights before the records read, that the run does not read: the flights read are numbered
  // after them, and the first record read is not the oldest.
  std::int64_t flights_before = 0;
  FlightList flights;  // every flight when empty
  TimeWindow window;
};

class RecordFilter final : public RecordConsumer {
 public:
  // `scan`: a flight scan of the same records in the same order (with this selection's gap and
  // window), whose flights the filter takes instead of cutting them again; nullptr: the filter
  // cuts them itself.
  // `phases`: what finds the phase of each record sent (of the flight's selected records), or
  // nullptr: records are sent without one.
  RecordFilter(const Selection& selection, FlightEvents& events, const FlightScan* scan = nullptr,
               PhaseFinder* phases = nullptr)
      : selection_(selection),
        events_(events),
        scan_(scan),
        phases_(phases),
        cutter_(selection.gap, selection.flights_before) {}

  bool record(const Record& rec) override;
  // Ends the open flight, after the last record; false when the receiver failed.
  bool finish();
  // The flights begun so far.
  std::int64_t flights() const { return flights_; }
  // The records sent on so far.
  std::int64_t selected() const { return selected_; }
  // The flights of every record read so far, selected or not (of the scan's, every flight).
  std::int64_t flights_read() const {
    return scan_ != nullptr ? scan_->flights : cutter_.flights();
  }

 private:
  bool begin(const FlightFacts& facts);
  // Ends the open flight: its records held for their phases first.
  bool end_open();
  // Sends the records whose phase is known.
  bool send_phased();

  const Selection& selection_;
  FlightEvents& events_;
  const FlightScan* scan_;
  PhaseFinder* phases_;
  FlightCutter cutter_;
  std::uint64_t ordinal_ = 0;  // of the next record
  std::size_t span_ = 0;       // the scan's flight at or after the next record
  std::int64_t open_ = 0;      // the flight begun and not yet ended, or 0
  std::int64_t flights_ = 0;
  std::int64_t selected_ = 0;
  bool oldest_held_ = false;         // the first record read is held for its phase
  std::uint64_t last_selected_ = 0;  // the ordinal of the last record sent on, plus 1
  bool ending_at_newest_ = false;    // the open flight ends with the last record read
};

}  // namespace korvex
