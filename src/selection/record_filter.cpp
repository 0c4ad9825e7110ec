#include "selection/record_filter.h"

namespace korvex {

bool RecordFilter::send_phased() {
  for (; phases_->ready() > 0; phases_->pop()) {
    const bool newest = ending_at_newest_ && phases_->ready() == 1;
    const RecordEvent event(phases_->front(), open_, phases_->front_phase(), oldest_held_, newest);
    oldest_held_ = false;
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
  const std::uint64_t ordinal = ordinal_++;
  if (scan_ != nullptr) {
    // The scan's flights hold exactly the records in the window: within a flight the timestamps
    // never fall, so its records in the window follow one another.
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
  last_selected_ = ordinal + 1;
  if (phases_ != nullptr) {
    oldest_held_ = oldest_held_ || (ordinal == 0 && selection_.flights_before == 0);
    phases_->add(rec);
    return send_phased();
  }
  const RecordEvent event(rec, flight);
  return events_.record(event);
}

bool RecordFilter::finish() {
  if (open_ == 0) return true;
  ending_at_newest_ = last_selected_ == ordinal_;
  const bool ended = end_open();
  ending_at_newest_ = false;
  open_ = 0;
  return ended;
}

}  // namespace korvex
