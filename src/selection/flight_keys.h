// A flight's key (its flight_id), which stays the flight's once a logbook holds it: the first key
// a logbook kept among the flight's records, else the clock of its first record; moved on by one
// while an earlier flight of the run holds it.
#pragma once

#include <cstdint>
#include <set>

#include "record/record.h"

namespace korvex {

class FlightKeys {
 public:
  // A flight begins.
  void start() {
    key_ = 0;
    begun_ = kept_ = false;
  }
  // The flight's next record.
  void add(const Record& rec) {
    if (kept_ || (begun_ && rec.stored_flight_id == 0)) return;
    begun_ = true;
    kept_ = rec.stored_flight_id != 0;
    std::int64_t key = kept_ ? rec.stored_flight_id : rec.timestamp;
    while (taken_.count(key) != 0) ++key;
    key_ = key;
  }
  // The flight's key after the records so far (0 before its first).
  std::int64_t key() const { return key_; }
  // The flight has ended: its key is taken.
  void finish() {
    taken_.insert(key_);
    start();
  }

 private:
  std::int64_t key_ = 0;
  bool begun_ = false;            // the flight has had a record
  bool kept_ = false;             // the key is one a logbook kept
  std::set<std::int64_t> taken_;  // the keys of the run's earlier flights
};

}  // namespace korvex
