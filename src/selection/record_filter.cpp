#include "selection/record_filter.h"

namespace korvex {

bool RecordFilter::send_phased() {
  for (; phases_->ready() > 0; phases_->pop()) {
    const RecordEvent event(phases_->front(), open_, phases_->front_phase());
    if (!events_.record(event)) return false;
  }
  return true;
}

bool RecordFilter::end_open() {
  if (phases_ != nullptr) {
    phases_->end();
    if (!send_phased()) return false;
  }
  return events_.end_flight();
}

bool RecordFilter::begin(const FlightFacts& facts) {
  if (open_ != 0 && !end_open()) return false;
  open_ = facts.number;
  ++flights_;
  if (phases_ != nullptr) phases_->start();
  return events_.begin_flight(facts);
}

bool RecordFilter::record(const Record& rec) {
  std::int64_t flight = 0;
  if (scan_ != nullptr) {
    // The scan's flights hold exactly the records in the window: within a flight the timestamps
    // never fall, so its records in the window follow one another.
    const std::uint64_t ordinal = ordinal_++;
    const auto& spans = scan_->spans;
    while (span_ < spans.size() && (spans[span_].last_record < ordinal ||
                                    !selection_.flights.contains(spans[span_].number))) {
      ++span_;
    }
    if (span_ == spans.size() || ordinal < spans[span_].first_record) return true;
    const FlightFacts& facts = spans[span_];
    flight = facts.number;
    if (flight != open_ && !begin(facts)) return false;
  } else {
    flight = cutter_.flight_of(rec.timestamp);
    if (!selection_.window.contains(rec.timestamp) || !selection_.flights.contains(flight)) {
      return true;
    }
    if (flight != open_) {
      FlightFacts facts;
      facts.number = flight;
      facts.first_time = rec.timestamp;
      facts.first_layout = rec.revision;
      if (!begin(facts)) return false;
    }
  }
  ++selected_;
  if (phases_ != nullptr) {
    phases_->add(rec);
    return send_phased();
  }
  const RecordEvent event(rec, flight);
  return events_.record(event);
}

bool RecordFilter::finish() {
  if (open_ == 0) return true;
  const bool ended = end_open();
  open_ = 0;
  return ended;
}

}  // namespace korvex
