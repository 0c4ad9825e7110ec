#include "selection/phases.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include "fields/column_set.h"

namespace korvex {

namespace {

constexpr int kBands = 3;  // altitude, RPM, manifold pressure

}  // namespace

PhaseFinder::PhaseFinder(SectionFlags sections, const Profile& profile)
    : setup_(profile.phases), airborne_min_(profile.airborne.min) {
  const auto column = [&](ColumnRef c) {
    return Column{c, value_decoder(c), profile.calibration(c)};
  };
  alt_ = column({BASE_BLOCK, known_field(BASE_BLOCK, "alt")});
  airborne_ = column(profile.airborne.column);
  airborne_known_ = shows_block(sections, profile.airborne.column.block);
  bool first = true;
  for (int n = 0; n < ENGINE_COUNT; ++n) {
    const int block = SECTION_ID_TELM1 + n;
    if ((sections & section_flag(block)) == 0) continue;
    engines_.push_back({column({block, known_field(SECTION_ID_TELM1, "RPM")}),
                        profile.engine(block)->running_rpm});
    if (first) {
      rpm_ = engines_.back().rpm;
      map_ = column({block, known_field(SECTION_ID_TELM1, "MAP")});
      first = false;
    }
  }
  // The most records held: a steady stretch not yet long enough, behind the airborne stretch's
  // last records and gap, and the vertical speed's records ahead; and as many behind for it.
  const auto held = static_cast<std::size_t>(
      setup_.cruise_seconds + std::max<std::int64_t>(MIN_FLIGHT_RECORDS, setup_.landing_seconds) +
      MERGE_GAP + std::int64_t{2} * setup_.vertical_seconds + 8);
  const std::size_t size = std::bit_ceil(held);
  ring_.resize(size);
  mask_ = size - 1;
}

double PhaseFinder::value(const Record& rec, ColumnRef column, ValueDecoder decode,
                          const Calibration* calibration) const {
  if (decode == nullptr) return std::numeric_limits<double>::quiet_NaN();
  const std::uint8_t* at = field_bytes(rec, column);
  if (at == nullptr) return std::numeric_limits<double>::quiet_NaN();
  const double v = decode(at);
  return calibration != nullptr ? calibration->apply(v) : v;
}

void PhaseFinder::start() {
  n_ = head_ = done_ = 0;
  open_ = false;
  first_ = 0;
  last_air_ = -1;  // no stretch: none of its records is airborne
  air_done_ = phased_ = 0;
  steady_ = false;
}

void PhaseFinder::add(const Record& rec) {
  const std::int64_t i = n_++;
  Slot& s = slot(i);
  // The record with its bytes, the timestamp and header before the payload included (a
  // section may start there).
  const std::uint8_t* body = rec.payload - RECORD_HEADER_LEN;
  const std::size_t size =
      static_cast<std::size_t>(rec.payload_len) + static_cast<std::size_t>(RECORD_HEADER_LEN);
  std::memcpy(s.bytes, body, std::min(size, sizeof s.bytes));
  s.rec = rec;
  s.rec.payload = s.bytes + RECORD_HEADER_LEN;
  s.alt = value(rec, alt_.column, alt_.decode, nullptr);
  s.rpm = value(rec, rpm_.column, rpm_.decode, rpm_.calibration);
  s.map = value(rec, map_.column, map_.decode, map_.calibration);
  s.air = airborne_known_ &&
          value(rec, airborne_.column, airborne_.decode, airborne_.calibration) >= airborne_min_;
  s.running = engines_.empty();
  for (const Engine& e : engines_) {
    s.running =
        s.running || value(rec, e.rpm.column, e.rpm.decode, e.rpm.calibration) >= e.running_rpm;
  }
  settle_air(i);
  advance(false);
}

void PhaseFinder::settle_stretch(std::int64_t end, bool after) {
  const bool kept = last_air_ - first_ + 1 >= MIN_FLIGHT_RECORDS;
  const bool before = first_ > 0;
  for (std::int64_t k = air_done_; k < end; ++k) {
    Slot& s = slot(k);
    s.airborne = kept && k >= first_ && k <= last_air_;
    s.takeoff = s.airborne && before && k - first_ < setup_.takeoff_seconds;
    s.landing = s.airborne && !s.takeoff && after && last_air_ - k < setup_.landing_seconds;
  }
  air_done_ = std::max(air_done_, end);
}

void PhaseFinder::settle_air(std::int64_t i) {
  const Slot& s = slot(i);
  if (s.air) {
    if (open_ && i - last_air_ - 1 < MERGE_GAP) {
      last_air_ = i;
    } else {
      if (open_) settle_stretch(i, true);
      open_ = true;
      first_ = last_air_ = i;
    }
  } else if (open_ && i - last_air_ >= MERGE_GAP) {
    settle_stretch(i + 1, true);  // i itself is after the stretch: not airborne
    open_ = false;
  }
  if (!open_) {
    settle_stretch(i + 1, true);
    return;
  }
  // A stretch long enough already: its records that cannot be among the last of it are settled.
  if (last_air_ - first_ + 1 >= MIN_FLIGHT_RECORDS) {
    settle_stretch(std::min(i + 1, last_air_ - setup_.landing_seconds + 1), true);
  }
}

void PhaseFinder::close_cruise(std::int64_t end) {
  const bool cruise = end - steady_first_ >= setup_.cruise_seconds;
  // Those of a long stretch before done_ are cruise, and handed on already.
  for (std::int64_t k = std::max(steady_first_, done_); k < end; ++k) {
    slot(k).phase = cruise ? Phase::CRUISE : Phase::AIRBORNE;
  }
  steady_ = false;
}

void PhaseFinder::advance(bool ended) {
  const std::int64_t half = setup_.vertical_seconds / 2;
  // The vertical speed of a record needs the records `half` ahead (or the flight's end).
  const std::int64_t known = std::min(air_done_, ended ? n_ : n_ - half);
  for (; phased_ < known; ++phased_) {
    const std::int64_t k = phased_;
    Slot& s = slot(k);
    bool candidate = false;
    if (!s.airborne) {
      s.phase = s.running ? Phase::GROUND : Phase::STOPPED;
    } else if (s.takeoff) {
      s.phase = Phase::TAKEOFF;
    } else if (s.landing) {
      s.phase = Phase::LANDING;
    } else {
      const Slot& from = slot(std::max<std::int64_t>(0, k - half));
      const Slot& to = slot(std::min(n_ - 1, k + half));
      const double seconds = static_cast<double>(to.rec.timestamp) - from.rec.timestamp;
      const double fpm = seconds > 0 ? (to.alt - from.alt) / seconds * 60 : 0;
      if (fpm >= setup_.vertical_speed) {
        s.phase = Phase::CLIMB;
      } else if (fpm <= -setup_.vertical_speed) {
        s.phase = Phase::DESCENT;
      } else {
        candidate = true;
        s.phase = Phase::AIRBORNE;
      }
    }
    const double values[kBands] = {s.alt, s.rpm, s.map};
    const double widths[kBands] = {2 * setup_.cruise_altitude, 2 * setup_.cruise_rpm,
                                   2 * setup_.cruise_map};
    if (steady_ && candidate) {
      bool joins = true;
      for (int b = 0; b < kBands && joins; ++b) {
        if (std::isnan(values[b])) continue;
        const double low = std::isnan(low_[b]) ? values[b] : std::min(low_[b], values[b]);
        const double high = std::isnan(high_[b]) ? values[b] : std::max(high_[b], values[b]);
        joins = high - low <= widths[b];
      }
      if (joins) {
        for (int b = 0; b < kBands; ++b) {
          if (std::isnan(values[b])) continue;
          low_[b] = std::isnan(low_[b]) ? values[b] : std::min(low_[b], values[b]);
          high_[b] = std::isnan(high_[b]) ? values[b] : std::max(high_[b], values[b]);
        }
        if (k - steady_first_ + 1 >= setup_.cruise_seconds) {
          // Long enough: cruise from its start, and each record that joins later.
          for (std::int64_t j = done_; j <= k; ++j) slot(j).phase = Phase::CRUISE;
          done_ = k + 1;
        }
        continue;
      }
    }
    if (steady_) {
      close_cruise(k);
      done_ = k;
    }
    if (candidate) {
      steady_ = true;
      steady_first_ = k;
      for (int b = 0; b < kBands; ++b) low_[b] = high_[b] = values[b];
      if (setup_.cruise_seconds <= 1) {
        s.phase = Phase::CRUISE;
        done_ = k + 1;
      }
      continue;
    }
    done_ = k + 1;
  }
  if (ended && steady_) {
    close_cruise(phased_);
    done_ = phased_;
  }
}

void PhaseFinder::end() {
  if (open_) settle_stretch(n_, last_air_ < n_ - 1);
  open_ = false;
  air_done_ = n_;
  advance(true);
}

}  // namespace korvex
