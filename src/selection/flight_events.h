// What the record filter tells an output: a flight begins (with what is known of it), its
// selected records one by one, the flight ends. Outputs learn of flights from these events
// alone; none compares timestamps to find one.
#pragma once

#include <cstdint>
#include <optional>

#include "fields/gps_fix.h"
#include "fields/value.h"
#include "record/record.h"
#include "selection/phases.h"

namespace korvex {

// What is known of a flight when it begins: its number and its first selected record; after a
// flight scan (`scanned`) also the rest, over the flight's selected records.
struct FlightFacts {
  std::int64_t number = 0;
  std::int64_t flight_id = 0;  // its key, when a flight scan worked it out (else 0)
  std::uint32_t first_time = 0;
  RecordLayout first_layout = 0;
  bool scanned = false;
  std::uint32_t last_time = 0;
  RecordLayout last_layout = 0;
  std::int64_t records = 0;
  std::int64_t fixes = 0;
  std::int64_t positions_out_of_range = 0;  // GPS positions beyond the earth's coordinates
  bool dated_fixes = false;                 // the first and last time of the fixes of dated records
  std::uint32_t first_fix_time = 0;
  std::uint32_t last_fix_time = 0;
  // The first and last selected record, counted from 0 in the order the records are read.
  std::uint64_t first_record = 0;
  std::uint64_t last_record = 0;
};

// One selected record of a flight, with its blocks and its GPS fix worked out when first asked
// for, once per record for every output and figure that reads it.
class RecordEvent {
 public:
  RecordEvent(const Record& record, std::int64_t flight_number)
      : rec(record), flight(flight_number) {}
  RecordEvent(const Record& record, std::int64_t flight_number, Phase record_phase,
              bool oldest_record = false, bool newest_record = false)
      : rec(record),
        flight(flight_number),
        phase(record_phase),
        phased(true),
        oldest(oldest_record),
        newest(newest_record) {}
  RecordEvent(const RecordEvent&) = delete;
  RecordEvent& operator=(const RecordEvent&) = delete;

  const Record& rec;
  const std::int64_t flight;
  // Its phase, when the run finds phases (`phased`).
  const Phase phase = Phase::GROUND;
  const bool phased = false;
  // When phases are found: it is the first record read of all the run reads (the oldest the
  // logs and the logbook hold), or the last (the newest).
  const bool oldest = false;
  const bool newest = false;

  const std::optional<GpsFix>& fix() const {
    if (!fix_found_) {
      fix_ = gps_fix(rec, &fix_kind_);
      fix_found_ = true;
    }
    return fix_;
  }
  // Why the record has no fix.
  FixKind fix_kind() const {
    fix();
    return fix_kind_;
  }
  // The record's blocks, found when first asked for: for many values of the record.
  const RecordView& view() const {
    if (!view_found_) {
      view_.find(rec);
      view_found_ = true;
    }
    return view_;
  }

 private:
  mutable bool view_found_ = false;
  mutable RecordView view_;
  mutable bool fix_found_ = false;
  mutable std::optional<GpsFix> fix_;
  mutable FixKind fix_kind_ = FixKind::NONE;
};

class FlightEvents {
 public:
  virtual ~FlightEvents() = default;
  // Each returns false when the receiver cannot go on (a write failed): the reading stops.
  virtual bool begin_flight(const FlightFacts& facts) = 0;
  virtual bool record(const RecordEvent& event) = 0;
  virtual bool end_flight() = 0;
};

}  // namespace korvex
