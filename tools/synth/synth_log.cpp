#include "synth_log.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <set>

#include "flight_model.h"
#include "io/little_endian.h"
#include "random.h"
#include "record/framing.h"
#include "record/timestamp.h"

namespace korvex::synth {

namespace {

// Seconds since 2000-01-01 00:00:00 of a calendar date.
std::uint32_t date_seconds(int year, int month, int day) {
  const std::chrono::sys_days date = std::chrono::year_month_day{
      std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
      std::chrono::day{static_cast<unsigned>(day)}};
  return static_cast<std::uint32_t>((date - LOG_EPOCH).count()) * SECONDS_PER_DAY;
}

// The timeline of the flights: when each one starts, with ground time between them and nights
// between the days.
struct Schedule {
  std::uint32_t next_start;
  void after_flight(std::uint32_t end, Random& rng) {
    std::uint32_t start = end + static_cast<std::uint32_t>(rng.between(40, 150)) * 60;
    if (start % SECONDS_PER_DAY > 17 * 3600) {
      start = (start / SECONDS_PER_DAY + 1) * SECONDS_PER_DAY + 8 * 3600 +
              static_cast<std::uint32_t>(rng.between(0, 90)) * 60;
    }
    next_start = start;
  }
};

// The exceedances of --exceedances: what, and from which second of a flight to which.
struct Injection {
  const char* what;
  int first, last;
};
constexpr Injection kInjections[] = {{"oil temperature", 600, 719},
                                     {"oil pressure", 900, 919},
                                     {"hot cylinder", 1200, 1499},
                                     {"cooling", 1700, 1819}};
constexpr std::uint16_t kHotOil = 260;  // F
constexpr int kHotEgtSeconds = 100;
constexpr int kCoolingSeconds = 60;  // down, then as long back up

// Puts the exceedances of second `s` of a flight into both engine monitors' fields.
void inject(int s, RecordFields& fields) {
  auto clip = [](double v) { return static_cast<std::uint16_t>(std::clamp(v, 0.0, 65535.0)); };
  for (std::optional<TelmFields>* telm : {&fields.telm1, &fields.telm2}) {
    if (!*telm) continue;
    TelmFields& t = **telm;
    if (s >= kInjections[0].first && s <= kInjections[0].last) t.oil_t = kHotOil;
    if (s >= kInjections[1].first && s <= kInjections[1].last) t.oil_p = 150;
    if (s >= kInjections[2].first && s <= kInjections[2].last) {
      t.tc[8] = clip(t.tc[8] + 90.0);  // CHT of cylinder 3
      if (s < kInjections[2].first + kHotEgtSeconds) t.tc[2] = clip(t.tc[2] + 200.0);  // its EGT
    }
    if (s >= kInjections[3].first && s <= kInjections[3].last) {
      const int into = s - kInjections[3].first + 1;  // CHT of cylinder 5 down, then back
      const int down = into <= kCoolingSeconds ? into : 2 * kCoolingSeconds - into;
      t.tc[10] = clip(t.tc[10] - 2.5 * down);
    }
  }
}

// Puts the wear of --drift into both engine monitors' fields of a second of flight `flight`.
void wear(const Drift& drift, std::int64_t flight, RecordFields& fields) {
  if (drift.first_flight == 0 || flight < drift.first_flight) return;
  auto clip = [](double v) { return static_cast<std::uint16_t>(std::clamp(v, 0.0, 65535.0)); };
  const auto c = static_cast<std::size_t>(drift.cylinder - 1);
  for (std::optional<TelmFields>* telm : {&fields.telm1, &fields.telm2}) {
    if (!*telm) continue;
    TelmFields& t = **telm;
    t.tc[c] = clip(t.tc[c] + drift.egt(flight));          // EGTs are tc1 to tc6
    t.tc[c + 6] = clip(t.tc[c + 6] + drift.cht(flight));  // CHTs tc7 to tc12
    t.oil_p = clip(t.oil_p + 10 * drift.oil(flight));     // tenths of a psi
  }
}

// The cruise segments of a flight as flown, from the true values of its seconds.
class CruiseTracker {
 public:
  void second(std::uint32_t t, Phase phase, const Aircraft& aircraft) {
    if (phase != Phase::CRUISE) {
      close();
      return;
    }
    if (seconds_.empty()) first_ = t;
    last_ = t;
    seconds_.push_back(true_values(aircraft));
  }
  void close() {
    if (seconds_.empty()) return;
    CruiseTruth c{first_, last_, {}};
    const auto median = [&](auto member) {
      std::vector<double> v;
      for (const TrueValues& s : seconds_) v.push_back(member(s));
      std::sort(v.begin(), v.end());
      const std::size_t n = v.size();
      return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    };
    TrueValues& m = c.median;
    m.alt = median([](const TrueValues& s) { return s.alt; });
    m.tas = median([](const TrueValues& s) { return s.tas; });
    m.rpm = median([](const TrueValues& s) { return s.rpm; });
    m.map = median([](const TrueValues& s) { return s.map; });
    m.flow = median([](const TrueValues& s) { return s.flow; });
    m.oil_temp = median([](const TrueValues& s) { return s.oil_temp; });
    for (int i = 0; i < 6; ++i) {
      m.egt[i] = median([i](const TrueValues& s) { return s.egt[i]; });
      m.cht[i] = median([i](const TrueValues& s) { return s.cht[i]; });
    }
    segments.push_back(c);
    seconds_.clear();
  }
  std::vector<CruiseTruth> segments;

 private:
  std::vector<TrueValues> seconds_;
  std::uint32_t first_ = 0, last_ = 0;
};

// Runs the flights, calling emit(timestamp, fields) for every second the instrument logs; each
// flight as flown goes to `flown` when given, and the exceedances injected to `injected`.
template <typename Emit>
std::int64_t fly(const SynthOptions& o, std::vector<FlownFlight>* flown,
                 std::vector<Exceedance>* injected, Emit&& emit) {
  Random rng{o.seed};
  Drift drift;
  drift.first_flight = o.drift_from;
  drift.cylinder = o.drift_cylinder;
  Aircraft aircraft;
  aircraft.lat = 47.0 + rng.uniform(-1, 1);
  aircraft.lon_west = 122.0 + rng.uniform(-1, 1);
  aircraft.ground_oat = rng.uniform(12, 26);
  aircraft.engine.fuel_on_board = 48;
  double elevation = std::round(rng.uniform(50, 1200));
  Schedule schedule{date_seconds(o.start_year, o.start_month, o.start_day) + 8 * 3600 +
                    static_cast<std::uint32_t>(rng.between(0, 90)) * 60};
  std::int64_t flights = 0;
  std::int64_t seconds_logged = 0;
  for (;;) {
    if (o.hours > 0 ? static_cast<double>(seconds_logged) >= o.hours * 3600 : flights >= o.flights)
      break;
    Flight flight = plan_flight(aircraft, elevation, rng);
    std::uint32_t t = schedule.next_start;
    const std::uint32_t first = t;
    std::vector<Phase> phases;
    CruiseTracker cruise;
    while (step_flight(flight, aircraft, rng)) {
      if (o.keep_records) {
        phases.push_back(flown_phase(flight, aircraft));
        cruise.second(t, phases.back(), aircraft);
      }
      RecordFields fields = sample_instruments(flight, aircraft, rng);
      wear(drift, flights + 1, fields);
      if (o.exceedances) {
        inject(flight.seconds, fields);
        for (const Injection& j : kInjections) {
          if (injected == nullptr || flight.seconds != j.last) continue;
          injected->push_back(
              {flights + 1, j.what, t - static_cast<std::uint32_t>(j.last - j.first), t});
        }
      }
      emit(t, fields);
      ++t;
      ++seconds_logged;
    }
    mark_takeoff_and_landing(phases, FLOWN_TAKEOFF_SECONDS);
    cruise.close();
    if (flown != nullptr && t > first) {
      flown->push_back({first, t - 1, flight.truth, std::move(phases), std::move(cruise.segments)});
    }
    elevation = flight.to_elevation;
    ++flights;
    schedule.after_flight(t, rng);
  }
  return flights;
}

// Picks `count` distinct record numbers in [1, total - 2] that no other fault has taken.
std::set<std::int64_t> pick(int count, std::int64_t total, std::set<std::int64_t>& taken,
                            Random& rng) {
  std::set<std::int64_t> chosen;
  if (total < 3) return chosen;
  const std::int64_t room = total - 2 - static_cast<std::int64_t>(taken.size());
  const auto want = std::min<std::int64_t>(count, std::max<std::int64_t>(room, 0));
  while (static_cast<std::int64_t>(chosen.size()) < want) {
    const std::int64_t n = rng.between(1, total - 2);
    if (taken.insert(n).second) chosen.insert(n);
  }
  return chosen;
}

// A reader joins a packet that is no record with at most this many packets after it.
constexpr std::size_t kMaxJoinedPackets = 3;

bool holds_marker(const std::uint8_t* bytes, std::size_t n) {
  for (std::size_t i = 0; i + 1 < n; ++i) {
    if (bytes[i] == MARKER_FIRST && bytes[i + 1] == MARKER_SECOND) return true;
  }
  return false;
}

// The circular file: what has been written where, and which records still stand whole.
struct CircularFile {
  struct Entry {
    std::uint32_t length;
    bool record;  // a record written whole (not a cut one)
    std::uint32_t timestamp;
    std::int64_t kept;  // index into the kept records, or -1
  };
  std::int64_t capacity;
  std::vector<std::uint8_t> image;
  std::int64_t pos = 0;
  std::int64_t wraps = 0;
  std::map<std::int64_t, Entry> entries;  // by offset

  // Writes bytes at the write position, starting again at 0 when they do not fit.
  std::int64_t put(const std::uint8_t* bytes, std::size_t n) {
    if (capacity > 0 && pos + static_cast<std::int64_t>(n) > capacity && pos > 0) {
      pos = 0;
      ++wraps;
    }
    const std::int64_t at = pos;
    const std::int64_t end = at + static_cast<std::int64_t>(n);
    // Whatever these bytes land on is no longer whole.
    auto it = entries.lower_bound(at);
    if (it != entries.begin()) {
      auto before = std::prev(it);
      if (before->first + before->second.length > at) it = before;
    }
    while (it != entries.end() && it->first < end) it = entries.erase(it);
    if (static_cast<std::int64_t>(image.size()) < end) image.resize(static_cast<std::size_t>(end));
    std::memcpy(image.data() + at, bytes, n);
    pos = end;
    return at;
  }
};

}  // namespace

SynthResult synthesize(const SynthOptions& o) {
  SynthResult result;
  SynthReport& report = result.report;

  // A first run of the same flights counts the records, so that faults can be placed.
  std::int64_t total = 0;
  std::vector<FlownFlight> all_flights;
  fly(o, &all_flights, nullptr, [&total](std::uint32_t, const RecordFields&) { ++total; });
  // A download before the last flight holds the records up to the end of its last flight.
  std::uint32_t download_time = UINT32_MAX;
  if (o.download_after > 0 && o.download_after < static_cast<int>(all_flights.size())) {
    download_time = all_flights[static_cast<std::size_t>(o.download_after) - 1].last_timestamp;
  }
  Random fault_rng{o.seed ^ 0x6B6F727665785FULL};
  std::set<std::int64_t> taken;
  const auto garbage_at = pick(o.garbage, total, taken, fault_rng);
  const auto cut_at = pick(o.power_cuts, total, taken, fault_rng);
  const auto stray_aa_at = pick(o.stray_aa, total, taken, fault_rng);
  const auto stray_marker_at = pick(o.stray_markers, total, taken, fault_rng);
  const auto mixed_at = pick(o.mixed_count, total, taken, fault_rng);

  CircularFile file{o.capacity, {}, 0, 0, {}};
  file.image.reserve(static_cast<std::size_t>(o.capacity > 0 ? o.capacity : total * 210));
  std::vector<WrittenRecord> kept;
  std::int64_t n = 0;
  std::int64_t skip_until = -1;  // records lost while the instrument restarts after a power cut
  std::uint8_t bytes[2 + MAX_RECORD_BODY];
  bytes[0] = MARKER_FIRST;
  bytes[1] = MARKER_SECOND;

  std::vector<Exceedance>* injected = &report.exceedances;
  report.drift.first_flight = o.drift_from;
  report.drift.cylinder = o.drift_cylinder;
  report.flights = fly(o, &report.flown, injected, [&](std::uint32_t t, RecordFields fields) {
    const std::int64_t i = n++;
    if (i < skip_until || t > download_time) return;
    if (report.records_written == 0) report.first_timestamp = t;
    report.last_timestamp = t;
    fields.timestamp = t;
    if (!(o.sections & SECTION_TELM1)) fields.telm1.reset();
    if (!(o.sections & SECTION_TELM2)) fields.telm2.reset();
    if (!(o.sections & SECTION_ATTITUDE)) fields.attitude.reset();
    if (!(o.sections & SECTION_GPS)) fields.gps.reset();
    RecordLayout layout = o.layout;
    if (mixed_at.count(i)) {
      layout = o.mixed_layout;
      ++report.mixed_records;
    }
    if (stray_marker_at.count(i)) {
      fields.base.baro = static_cast<std::int16_t>(0x55AA);  // stored as AA 55
      ++report.stray_markers;
    }
    if (stray_aa_at.count(i)) {
      // A 0xAA as the low byte of the altitude, unless a 0x55 would follow it.
      const auto alt = static_cast<std::uint32_t>(fields.base.alt);
      if (((alt >> 8) & 0xFFU) != 0x55) {
        fields.base.alt = static_cast<std::int32_t>((alt & ~0xFFU) | 0xAAU);
        ++report.stray_aa;
      }
    }
    const std::size_t length = 2 + encode_record(fields, layout, bytes + 2);
    ++report.records_written;
    if (cut_at.count(i)) {
      // Power lost while writing: part of the record, then nothing for a few seconds.
      const auto cut =
          static_cast<std::size_t>(fault_rng.between(2, static_cast<std::int64_t>(length) - 1));
      const std::int64_t at = file.put(bytes, cut);
      file.entries[at] = {static_cast<std::uint32_t>(cut), false, t, -1};
      skip_until = i + 1 + fault_rng.between(5, 15);
      ++report.power_cuts;
      return;
    }
    std::int64_t kept_index = -1;
    if (o.keep_records) {
      kept_index = static_cast<std::int64_t>(kept.size());
      kept.push_back({fields, layout, 0, static_cast<std::uint32_t>(length)});
    }
    const std::int64_t at = file.put(bytes, length);
    file.entries[at] = {static_cast<std::uint32_t>(length), true, t, kept_index};
    if (kept_index >= 0) kept[static_cast<std::size_t>(kept_index)].offset = at;
    if (garbage_at.count(i)) {
      // Bytes without a start marker (and without 0xAA or 0x55 at all) behind the record.
      std::uint8_t junk[64];
      const auto len = static_cast<std::size_t>(fault_rng.between(5, 64));
      for (std::size_t k = 0; k < len; ++k) {
        std::uint8_t b;
        do {
          b = static_cast<std::uint8_t>(fault_rng.next());
        } while (b == MARKER_FIRST || b == MARKER_SECOND);
        junk[k] = b;
      }
      file.put(junk, len);
      ++report.garbage_runs;
    }
  });

  // The flights and exceedances of the download.
  if (download_time != UINT32_MAX) {
    report.flights = o.download_after;
    report.flown.resize(static_cast<std::size_t>(o.download_after));
    std::erase_if(report.exceedances,
                  [&](const Exceedance& e) { return e.first_timestamp > download_time; });
  }
  report.wraps = file.wraps;
  report.file_size = static_cast<std::int64_t>(file.image.size());

  // What a reader finds: every 0xAA 0x55 pair starts a packet that runs to the next one.
  const std::uint8_t* img = file.image.data();
  const std::int64_t size = report.file_size;
  std::vector<std::int64_t> markers;
  for (std::int64_t k = 0; k + 1 < size; ++k) {
    const void* aa = std::memchr(img + k, MARKER_FIRST, static_cast<std::size_t>(size - 1 - k));
    if (aa == nullptr) break;
    k = static_cast<const std::uint8_t*>(aa) - img;
    if (img[k + 1] == MARKER_SECOND) markers.push_back(k);
  }
  auto packet_end = [&](std::size_t m) { return m + 1 < markers.size() ? markers[m + 1] : size; };
  // The end of the record written whole at marker m, or -1.
  auto record_end = [&](std::size_t m) -> std::int64_t {
    const auto e = file.entries.find(markers[m]);
    return e != file.entries.end() && e->second.record ? markers[m] + e->second.length : -1;
  };
  std::set<std::int64_t> read_whole;
  for (std::size_t m = 0; m < markers.size();) {
    const std::int64_t end = record_end(m);
    std::size_t packets = 0;  // the packets that make the record at m, when it is read whole
    if (end == packet_end(m)) {
      packets = 1;
    } else if (end > packet_end(m)) {
      // A record split by pairs in its own bytes is joined from up to three more packets, none
      // of which may be a whole record on its own.
      for (std::size_t k = 1; k <= kMaxJoinedPackets && m + k < markers.size(); ++k) {
        if (record_end(m + k) == packet_end(m + k) || packet_end(m + k) > end) break;
        if (packet_end(m + k) == end) {
          packets = k + 1;
          break;
        }
      }
    }
    if (packets > 0) {
      read_whole.insert(markers[m]);
      ++report.expected_rows;
      m += packets;
    } else {
      ++report.expected_bad_packets;
      ++m;
    }
  }
  std::uint32_t oldest = 0xFFFFFFFF;
  for (const auto& [offset, entry] : file.entries) {
    if (!entry.record) continue;
    ++report.records_whole;
    if (entry.timestamp < oldest) {
      oldest = entry.timestamp;
      report.oldest_offset = offset;
    }
    const bool split = holds_marker(img + offset + 2, entry.length - 2);
    if (read_whole.count(offset)) {
      if (entry.kept >= 0) result.records.push_back(kept[static_cast<std::size_t>(entry.kept)]);
      if (split) report.rejoined_timestamps.push_back(entry.timestamp);
    } else if (split) {
      report.split_timestamps.push_back(entry.timestamp);
    } else {
      report.joined_timestamps.push_back(entry.timestamp);
    }
  }
  if (report.wraps == 0)
    report.oldest_offset = report.records_whole > 0 ? file.entries.begin()->first : -1;
  result.image = std::move(file.image);
  return result;
}

namespace {

std::string date_text(std::uint32_t t) {
  const std::chrono::year_month_day d = log_date(t / SECONDS_PER_DAY);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u %02u:%02u:%02u", static_cast<int>(d.year()),
                static_cast<unsigned>(d.month()), static_cast<unsigned>(d.day()),
                t % SECONDS_PER_DAY / 3600, t % 3600 / 60, t % 60);
  return text;
}

std::string stamps(const std::vector<std::uint32_t>& list) {
  std::string text;
  for (std::size_t i = 0; i < list.size() && i < 10; ++i)
    text += (i ? ", " : " (timestamps ") + std::to_string(list[i]);
  if (list.size() > 10) text += ", ...";
  if (!list.empty()) text += ")";
  return text;
}

}  // namespace

std::string format_report(const SynthOptions& o, const SynthReport& r, const std::string& path) {
  std::string sections;
  for (int id = 1; id < SECTION_ID_COUNT; ++id) {
    if (o.sections & section_flag(id)) (sections += " ") += section_name[id];
  }
  if (sections.empty()) sections = " none";
  char line[512];
  std::string text;
  std::snprintf(line, sizeof line,
                "korvex-synth: wrote %s: %lld bytes, layout %d, sections:%s, seed %llu\n",
                path.c_str(), static_cast<long long>(r.file_size), o.layout, sections.c_str(),
                static_cast<unsigned long long>(o.seed));
  text += line;
  std::snprintf(line, sizeof line,
                "records: %lld in %lld flights, from %s (timestamp %u) to %s (timestamp %u)\n",
                static_cast<long long>(r.records_written), static_cast<long long>(r.flights),
                date_text(r.first_timestamp).c_str(), r.first_timestamp,
                date_text(r.last_timestamp).c_str(), r.last_timestamp);
  text += line;
  if (r.wraps > 0) {
    std::snprintf(line, sizeof line,
                  "wrapped: %lld times at a capacity of %lld bytes; the oldest whole record starts "
                  "at offset %lld\n",
                  static_cast<long long>(r.wraps), static_cast<long long>(o.capacity),
                  static_cast<long long>(r.oldest_offset));
  } else {
    std::snprintf(line, sizeof line, "wrapped: no\n");
  }
  text += line;
  std::snprintf(line, sizeof line,
                "faults injected: %lld garbage runs, %lld power cuts, %lld stray 0xAA bytes, %lld "
                "stray start "
                "markers, %lld records of layout %d\n",
                static_cast<long long>(r.garbage_runs), static_cast<long long>(r.power_cuts),
                static_cast<long long>(r.stray_aa), static_cast<long long>(r.stray_markers),
                static_cast<long long>(r.mixed_records), o.mixed_layout);
  text += line;
  text += "records whole in the file: " + std::to_string(r.records_whole) + "\n";
  text += "of them split by 0xAA 0x55 in their own bytes and read back whole: " +
          std::to_string(r.rejoined_timestamps.size()) + stamps(r.rejoined_timestamps) + "\n";
  text += "of them split by 0xAA 0x55 in their own bytes and lost: " +
          std::to_string(r.split_timestamps.size()) + stamps(r.split_timestamps) + "\n";
  text += "of them joined to the bytes after them (garbage or a torn remainder): " +
          std::to_string(r.joined_timestamps.size()) + stamps(r.joined_timestamps) + "\n";
  std::snprintf(line, sizeof line, "a reader finds: %lld records and %lld bad packets\n",
                static_cast<long long>(r.expected_rows),
                static_cast<long long>(r.expected_bad_packets));
  text += line;
  for (const Exceedance& e : r.exceedances) {
    std::snprintf(line, sizeof line, "exceedance in flight %lld: %s, timestamps %u to %u\n",
                  static_cast<long long>(e.flight), e.what.c_str(), e.first_timestamp,
                  e.last_timestamp);
    text += line;
  }
  if (r.drift.first_flight > 0 && r.drift.first_flight <= r.flights) {
    std::snprintf(line, sizeof line,
                  "drift from flight %d: cylinder %d CHT +%g F and EGT +%g F a flight (at most %g "
                  "and %g), oil pressure -%g psi a flight (at most %g)\n",
                  r.drift.first_flight, r.drift.cylinder, Drift::kChtPerFlight,
                  Drift::kEgtPerFlight, Drift::kMostCht, Drift::kMostEgt, Drift::kOilPerFlight,
                  Drift::kMostOil);
    text += line;
  }
  return text;
}

}  // namespace korvex::synth
