#include "aggregation/findings.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace korvex {

namespace {

constexpr double kAbsent = std::numeric_limits<double>::quiet_NaN();

std::uint32_t seconds_of(int min_seconds) {
  return static_cast<std::uint32_t>(std::max(min_seconds, 1));
}

bool engine_block(int block) {
  return block == SECTION_ID_TELM1 || block == SECTION_ID_TELM2;
}

}  // namespace

FindingDetector::FindingDetector(SectionFlags sections, const Profile& profile) {
  for (const int id : {SECTION_ID_TELM1, SECTION_ID_TELM2}) {
    if ((sections & section_flag(id)) == 0) continue;
    Engine& e = engines_[id - SECTION_ID_TELM1];
    e.present = true;
    e.rpm = {id, find_field(id, "RPM")};
    e.decode = value_decoder(e.rpm);
    e.running_rpm = profile.engine(id)->running_rpm;
  }
  int order = 0;
  for (const ColumnSetup& c : profile.columns) {
    if ((!c.min && !c.max) || !shows_block(sections, c.column.block)) continue;
    const bool engine_column = engine_block(c.column.block);
    const bool while_running = c.while_running.value_or(engine_column);
    int engine = -1;
    if (while_running) engine = engine_column ? c.column.block - SECTION_ID_TELM1 : 0;
    // A limit while an engine runs that the log has no monitor of never applies.
    if (engine >= 0 && !engines_[engine].present) continue;
    limits_.push_back({c.column,
                       value_decoder(c.column),
                       c.min,
                       c.max,
                       seconds_of(c.min_seconds),
                       engine,
                       order++,
                       {},
                       {}});
  }
  for (const int id : {SECTION_ID_TELM1, SECTION_ID_TELM2}) {
    const EngineSetup& setup = *profile.engine(id);
    if ((sections & section_flag(id)) == 0) continue;
    if (setup.egt_spread_max && setup.egt.size() >= 2) {
      Spread s{id - SECTION_ID_TELM1,         {},      {}, *setup.egt_spread_max,
               seconds_of(setup.min_seconds), order++, {}};
      for (const int tc : setup.egt) {
        s.egt.push_back(thermocouple_column(id, tc));
        s.decode.push_back(value_decoder(s.egt.back()));
      }
      spreads_.push_back(std::move(s));
    }
    if (setup.cht_cooling_max) {
      for (const int tc : setup.cht) {
        const ColumnRef cht = thermocouple_column(id, tc);
        Cooling cooling{
            cht, value_decoder(cht), *setup.cht_cooling_max, seconds_of(setup.min_seconds), order++,
            {}};
        cooling.past.resize(COOLING_MAX_SECONDS + 1);
        coolings_.push_back(std::move(cooling));
      }
    }
  }
}

void FindingDetector::start(const FlightFacts& facts) {
  flight_ = facts.number;
  count_ = 0;
  waiting_ = {};  // of an earlier flight, not taken
  for (Limit& l : limits_) l.above = l.below = Stretch{};
  for (Spread& s : spreads_) s.above = Stretch{};
  for (Cooling& c : coolings_) {
    c.drop = Stretch{};
    c.first = c.size = c.reached = 0;
  }
}

void FindingDetector::close(Stretch& s, ColumnRef column, FindingKind kind, double limit,
                            std::uint32_t min_seconds, int order) {
  if (!s.open) return;
  s.open = false;
  if (s.last_time - s.first_time + 1 < min_seconds) return;
  Finding f;
  f.flight = flight_;
  f.first_time = s.first_time;
  f.first_layout = s.first_layout;
  f.last_time = s.last_time;
  f.last_layout = s.last_layout;
  f.column = column;
  f.kind = kind;
  f.limit = limit;
  f.peak = s.peak;
  f.order = order;
  waiting_.push(f);
  ++count_;
}

void FindingDetector::step(Stretch& s, bool in, double value, bool highest,
                           const RecordEvent& event, ColumnRef column, FindingKind kind,
                           double limit, std::uint32_t min_seconds, int order) {
  if (!in) {
    close(s, column, kind, limit, min_seconds, order);
    return;
  }
  const Record& rec = event.rec;
  if (!s.open) {
    s.open = true;
    s.first_time = rec.timestamp;
    s.first_layout = rec.revision;
    s.peak = value;
  }
  s.last_time = rec.timestamp;
  s.last_layout = rec.revision;
  s.peak = highest ? std::max(s.peak, value) : std::min(s.peak, value);
}

// The drop of the cylinder's value at `time` from the latest record at least 60 and at most 70
// seconds before it, and the record remembered. The seconds kept are in time order, the first
// `reached` of them at least 60 seconds back; both ends only move forward.
std::optional<double> FindingDetector::drop(Cooling& c, std::uint32_t time, double value) {
  const std::size_t capacity = c.past.size();
  auto at = [&](std::size_t i) -> Past& { return c.past[(c.first + i) % capacity]; };
  // Forget the seconds that no later record can reach back to.
  while (c.size > 0 && time - at(0).time > COOLING_MAX_SECONDS) {
    c.first = (c.first + 1) % capacity;
    --c.size;
    if (c.reached > 0) --c.reached;
  }
  while (c.reached < c.size && time - at(c.reached).time >= COOLING_MIN_SECONDS) ++c.reached;
  std::optional<double> drop;
  if (c.reached > 0) {
    const double then = at(c.reached - 1).value;  // the latest record far enough back
    if (!std::isnan(then) && !std::isnan(value)) drop = then - value;
  }
  // One entry a second: a later record of the same second takes its place.
  if (c.size > 0 && at(c.size - 1).time == time) {
    at(c.size - 1).value = value;
  } else {
    if (c.size == capacity) {  // cannot happen: the seconds kept span at most 71
      c.first = (c.first + 1) % capacity;
      --c.size;
      if (c.reached > 0) --c.reached;
    }
    at(c.size) = {time, value};
    ++c.size;
  }
  return drop;
}

void FindingDetector::add(const RecordEvent& event) {
  const RecordView& view = event.view();
  for (Engine& e : engines_) {
    if (!e.present) continue;
    const std::optional<double> rpm = read_value(view, e.rpm, e.decode);
    e.running = rpm && *rpm >= e.running_rpm;
  }
  for (Limit& l : limits_) {
    const std::uint8_t* at = field_bytes(view, l.column);
    const bool applies = at != nullptr && (l.engine < 0 || engines_[l.engine].running);
    const double value = applies ? l.decode(at) : 0;
    // Most records are in no stretch and close none: a comparison each.
    if (l.max) {
      const bool in = applies && value > *l.max;
      if (in || l.above.open) {
        step(l.above, in, value, true, event, l.column, FindingKind::ABOVE_MAX, *l.max,
             l.min_seconds, l.order);
      }
    }
    if (l.min) {
      const bool in = applies && value < *l.min;
      if (in || l.below.open) {
        step(l.below, in, value, false, event, l.column, FindingKind::BELOW_MIN, *l.min,
             l.min_seconds, l.order);
      }
    }
  }
  for (Spread& s : spreads_) {
    bool complete = engines_[s.engine].running;
    double low = 0, high = 0;
    for (std::size_t i = 0; complete && i < s.egt.size(); ++i) {
      const std::optional<double> v = read_value(view, s.egt[i], s.decode[i]);
      complete = v.has_value();
      if (!complete) break;
      low = i == 0 ? *v : std::min(low, *v);
      high = i == 0 ? *v : std::max(high, *v);
    }
    const double spread = high - low;
    step(s.above, complete && spread > s.limit, spread, true, event,
         {SECTION_ID_TELM1 + s.engine, nullptr}, FindingKind::ABOVE_MAX, s.limit, s.min_seconds,
         s.order);
  }
  for (Cooling& c : coolings_) {
    const std::optional<double> v = read_value(view, c.cht, c.decode);
    const std::optional<double> d = drop(c, event.rec.timestamp, v.value_or(kAbsent));
    step(c.drop, d && *d > c.limit, d.value_or(0), true, event, c.cht, FindingKind::COOLING,
         c.limit, c.min_seconds, c.order);
  }
}

void FindingDetector::finish() {
  for (Limit& l : limits_) {
    if (l.max) close(l.above, l.column, FindingKind::ABOVE_MAX, *l.max, l.min_seconds, l.order);
    if (l.min) close(l.below, l.column, FindingKind::BELOW_MIN, *l.min, l.min_seconds, l.order);
  }
  for (Spread& s : spreads_) {
    close(s.above, {SECTION_ID_TELM1 + s.engine, nullptr}, FindingKind::ABOVE_MAX, s.limit,
          s.min_seconds, s.order);
  }
  for (Cooling& c : coolings_) {
    close(c.drop, c.cht, FindingKind::COOLING, c.limit, c.min_seconds, c.order);
  }
}

void FindingDetector::take_ready(std::vector<Finding>& out) {
  if (waiting_.empty()) return;
  // A stretch still open may become a finding that starts before those waiting: they wait for
  // it, and so do those that start with the record at hand.
  std::uint32_t bound = std::numeric_limits<std::uint32_t>::max();
  bool open = false;
  auto earliest = [&](const Stretch& s) {
    if (s.open) bound = std::min(bound, s.first_time), open = true;
  };
  for (const Limit& l : limits_) earliest(l.above), earliest(l.below);
  for (const Spread& s : spreads_) earliest(s.above);
  for (const Cooling& c : coolings_) earliest(c.drop);
  while (!waiting_.empty() && (!open || waiting_.top().first_time < bound)) {
    out.push_back(waiting_.top());
    waiting_.pop();
  }
}

}  // namespace korvex
