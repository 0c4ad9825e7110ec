// The phases of a flight: every record of a flight gets one, from the records around it. The
// records of a flight are held back until their phase is known (at most the seconds of the
// longest rule, a record being a second), then handed on in order with it.
//
// Seconds are records, as the instrument logs one a second; the thresholds are the profile's
// [phases]. A record is
//   - airborne when it lies in an airborne stretch: the records whose airborne column (ASI, or
//     the profile's) is at least its minimum form stretches, two with fewer than MERGE_GAP
//     records between them are one (from its first such record to its last), and a stretch of
//     at least MIN_FLIGHT_RECORDS records is airborne (as the landings figure counts them);
//   - else `ground` when an engine runs (its RPM at least its running RPM; without an engine
//     monitor always) and `stopped` when none does;
//   - of an airborne stretch: `takeoff` its first takeoff_seconds when a record of the flight
//     precedes it, `landing` its last landing_seconds when one follows it (a stretch the window
//     or the log cuts did not take off or land there; takeoff wins where the two meet);
//   - else `climb` (`descent`) when its vertical speed, the altitude's change over the
//     vertical_seconds centred on it (as far as the flight's records reach) in ft/min, is at
//     least vertical_speed (at most its negative);
//   - else `cruise` when it lies in a steady stretch of at least cruise_seconds: from a record
//     that is none of the above, each next such record joins while the stretch's altitude stays
//     within 2 × cruise_altitude from lowest to highest, its RPM within 2 × cruise_rpm and its
//     manifold pressure within 2 × cruise_map (of engine 1, else 2; a value a record lacks
//     counts not; without an engine monitor the altitude alone); a record that does not join
//     starts the next stretch;
//   - else `airborne`.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "fields/value.h"
#include "profile/phase.h"
#include "profile/profile.h"
#include "record/record.h"

namespace korvex {

// The stretches of airborne records that count (as the landings figure counts them).
inline constexpr std::int64_t MERGE_GAP = 30;
inline constexpr std::int64_t MIN_FLIGHT_RECORDS = 60;

class PhaseFinder {
 public:
  PhaseFinder(SectionFlags sections, const Profile& profile);

  // A new flight (every record of the last one handed on).
  void start();
  // Holds a copy of the flight's next record.
  void add(const Record& rec);
  // The flight ended: every record held gets its phase.
  void end();
  // The records held whose phase is known, the oldest first.
  std::size_t ready() const { return static_cast<std::size_t>(done_ - head_); }
  const Record& front() const { return slot(head_).rec; }
  Phase front_phase() const { return slot(head_).phase; }
  void pop() { ++head_; }

 private:
  struct Slot {
    Record rec;
    std::uint8_t bytes[MAX_RECORD_BODY + 8];
    double alt, rpm, map;
    bool air, running;
    bool airborne, takeoff, landing;
    Phase phase;
  };
  Slot& slot(std::int64_t i) { return ring_[static_cast<std::size_t>(i) & mask_]; }
  const Slot& slot(std::int64_t i) const { return ring_[static_cast<std::size_t>(i) & mask_]; }
  double value(const Record& rec, ColumnRef column, ValueDecoder decode,
               const Calibration* calibration) const;
  // The records of the open airborne stretch from air_done_ up to `end` get their air facts;
  // `after`: a record of the flight follows the stretch.
  void settle_stretch(std::int64_t end, bool after);
  void settle_air(std::int64_t i);
  // Phases of the records whose air facts and vertical speed are known.
  void advance(bool ended);
  void close_cruise(std::int64_t end);

  PhaseSetup setup_;
  struct Column {
    ColumnRef column;
    ValueDecoder decode = nullptr;
    const Calibration* calibration = nullptr;
  };
  Column alt_, airborne_, rpm_, map_;
  bool airborne_known_ = false;  // the log can have the airborne column
  double airborne_min_;
  struct Engine {
    Column rpm;
    double running_rpm;
  };
  std::vector<Engine> engines_;  // those the log has
  std::vector<Slot> ring_;
  std::size_t mask_ = 0;
  std::int64_t n_ = 0;     // records added
  std::int64_t head_ = 0;  // handed on
  std::int64_t done_ = 0;  // with a phase
  // The airborne stretch open: its first and last airborne record.
  bool open_ = false;
  std::int64_t first_ = 0, last_air_ = -1;
  std::int64_t air_done_ = 0;  // records with their air facts
  std::int64_t phased_ = 0;    // records whose phase is known or in the steady stretch below
  // The steady stretch open, and its lowest and highest values.
  bool steady_ = false;
  std::int64_t steady_first_ = 0;
  double low_[3] = {}, high_[3] = {};
};

}  // namespace korvex
