#include "plan/merged_read.h"

#include <cstdint>
#include <cstring>
#include <memory>

#include "record/timestamp.h"

namespace korvex {

namespace {

// The records last taken that are remembered, to drop the copies other logs give later. Logs
// whose records run forward give a copy at the timestamp of the original, so only the records of
// about one timestamp need remembering; the rest of the window covers logs whose clock stepped
// back, whose copies may come some records later.
constexpr std::size_t kRemembered = 4096;
constexpr std::size_t kSlots = 2 * kRemembered;  // of the hash table: a power of two
constexpr std::uint32_t kEmpty = UINT32_MAX;

// The records last taken, in a ring, found by a hash of their timestamp and layout.
class TakenRecords {
 public:
  explicit TakenRecords(std::size_t logs)
      : logs_(logs),
        entries_(kRemembered),
        bytes_(kRemembered * MAX_RECORD_BODY),
        counts_(kRemembered * logs),
        slots_(kSlots, kEmpty) {}

  // Whether `rec` of log `log` is to be taken: false when it is a copy of a record taken from
  // another log that this log has not yet matched. With `remember`, a record taken is kept for
  // comparison (another log still has records to give). With `givers`, the logs that gave the
  // same record before are marked in it.
  bool take(const Record& rec, std::size_t log, bool remember,
            std::vector<bool>* givers = nullptr) {
    for (std::size_t s = slot_of(rec);; s = (s + 1) & (kSlots - 1)) {
      const std::uint32_t e = slots_[s];
      if (e == kEmpty) break;
      if (!same(e, rec)) continue;
      if (givers != nullptr) {
        for (std::size_t l = 0; l < logs_; ++l) {
          if (l != log && counts_[e * logs_ + l] > 0) (*givers)[l] = true;
        }
      }
      std::uint32_t& seen = counts_[e * logs_ + log];
      if (++seen <= entries_[e].taken) return false;
      ++entries_[e].taken;
      return true;
    }
    if (remember) add(rec, log);
    return true;
  }

 private:
  struct Entry {
    std::uint32_t timestamp = 0;
    RecordLayout revision = 0;
    SectionFlags sections = 0;
    std::int32_t payload_len = 0;
    std::int32_t section_at[SECTION_ID_COUNT] = {};
    std::uint32_t taken = 1;  // copies taken
    bool used = false;
  };

  static std::size_t hash(std::uint32_t timestamp, RecordLayout revision, SectionFlags sections) {
    const std::uint64_t key = (std::uint64_t{timestamp} << 16) ^
                              (static_cast<std::uint64_t>(revision) << 8) ^
                              static_cast<std::uint64_t>(sections);
    return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ULL) >> 40) & (kSlots - 1);
  }
  static std::size_t slot_of(const Record& rec) {
    return hash(rec.timestamp, rec.revision, rec.sections);
  }

  void add(const Record& rec, std::size_t log) {
    const std::uint32_t e = next_;
    next_ = (next_ + 1) % kRemembered;
    if (entries_[e].used) forget(e);
    Entry& entry = entries_[e];
    entry.timestamp = rec.timestamp;
    entry.revision = rec.revision;
    entry.sections = rec.sections;
    entry.payload_len = rec.payload_len;
    std::memcpy(entry.section_at, rec.section_at, sizeof entry.section_at);
    entry.taken = 1;
    entry.used = true;
    std::memcpy(&bytes_[e * MAX_RECORD_BODY], rec.payload,
                static_cast<std::size_t>(rec.payload_len));
    std::memset(&counts_[e * logs_], 0, logs_ * sizeof counts_[0]);
    counts_[e * logs_ + log] = 1;
    std::size_t s = slot_of(rec);
    while (slots_[s] != kEmpty) s = (s + 1) & (kSlots - 1);
    slots_[s] = e;
  }

  // Takes entry e out of the hash table, moving back the entries after it that its slot had
  // pushed on.
  void forget(std::uint32_t e) {
    const Entry& old = entries_[e];
    std::size_t s = hash(old.timestamp, old.revision, old.sections);
    while (slots_[s] != e) s = (s + 1) & (kSlots - 1);
    for (std::size_t next = (s + 1) & (kSlots - 1); slots_[next] != kEmpty;
         next = (next + 1) & (kSlots - 1)) {
      const Entry& moved = entries_[slots_[next]];
      const std::size_t home = hash(moved.timestamp, moved.revision, moved.sections);
      // The entry at `next` may fill the hole at `s` when its home is not between them.
      if (((next - home) & (kSlots - 1)) >= ((next - s) & (kSlots - 1))) {
        slots_[s] = slots_[next];
        s = next;
      }
    }
    slots_[s] = kEmpty;
    entries_[e].used = false;
  }

  bool same(std::uint32_t e, const Record& rec) const {
    const Entry& entry = entries_[e];
    if (entry.timestamp != rec.timestamp || entry.revision != rec.revision ||
        entry.sections != rec.sections || entry.payload_len != rec.payload_len) {
      return false;
    }
    for (int id = 1; id < SECTION_ID_COUNT; ++id) {
      if ((rec.sections & section_flag(id)) != 0 && entry.section_at[id] != rec.section_at[id]) {
        return false;
      }
    }
    return std::memcmp(&bytes_[e * MAX_RECORD_BODY], rec.payload,
                       static_cast<std::size_t>(rec.payload_len)) == 0;
  }

  std::size_t logs_;
  std::vector<Entry> entries_;  // a ring; next_ is the one to fill next
  std::uint32_t next_ = 0;
  std::vector<std::uint8_t> bytes_;    // the payload of entry e at e * MAX_RECORD_BODY
  std::vector<std::uint32_t> counts_;  // copies of entry e seen in log l at e * logs_ + l
  std::vector<std::uint32_t> slots_;   // entries by hash, linear probing
};

constexpr std::size_t kNone = SIZE_MAX;

// The records of all the sources as one stream, the lowest timestamp first (of equal ones, that
// of the source given first): `visit(rec, log, copy)` for each, `copy` when it is identical to a
// record taken from another source; false from visit stops the reading. Returns the dropped
// copies of each source and the source whose reading failed, if any.
template <typename Visit>
std::size_t merge_sources(std::span<RecordSource* const> sources, std::vector<LogTally>& counted,
                          std::vector<std::int64_t>& dropped, bool& stopped, Visit visit,
                          std::vector<bool>* givers = nullptr) {
  const std::size_t n = sources.size();
  std::vector<const Record*> heads(n, nullptr);
  std::size_t failed = kNone;
  // The next record of source i; false when its reading failed.
  const auto advance = [&](std::size_t i) {
    heads[i] = sources[i]->next();
    if (heads[i] != nullptr) {
      counted[i].add(*heads[i]);
    } else if (sources[i]->outcome().end != ReadEnd::DONE) {
      failed = i;
    }
    return failed == kNone;
  };
  for (std::size_t i = 0; i < n && advance(i); ++i) {
  }
  if (failed == kNone && n == 1) {
    while (heads[0] != nullptr) {
      if (!visit(*heads[0], 0, false)) {
        stopped = true;
        break;
      }
      if (!advance(0)) break;
    }
  } else if (failed == kNone) {
    TakenRecords taken(n);
    for (;;) {
      std::size_t next = kNone;
      for (std::size_t i = 0; i < n; ++i) {
        if (heads[i] != nullptr &&
            (next == kNone || heads[i]->timestamp < heads[next]->timestamp)) {
          next = i;
        }
      }
      if (next == kNone) break;
      Record rec = *heads[next];
      rec.log = static_cast<std::uint32_t>(next);
      bool others = false;  // another log has records to give yet
      for (std::size_t i = 0; i < n; ++i) others = others || (i != next && heads[i] != nullptr);
      const bool copy = !taken.take(rec, next, others, givers);
      if (copy) ++dropped[next];
      if (!visit(rec, next, copy)) {
        stopped = true;
        break;
      }
      if (!advance(next)) break;
    }
  }
  return failed;
}

// The sources of the logs: a cursor over each log file's plan, or the log's own.
std::vector<RecordSource*> sources_of(std::span<const LogRead> logs, Messages* progress,
                                      std::vector<std::unique_ptr<PlanCursor>>& cursors) {
  std::vector<RecordSource*> sources;
  bool announce = true;  // the progress text once, by the first log read from a file
  for (const LogRead& log : logs) {
    if (log.source != nullptr) {
      log.source->restart();
      sources.push_back(log.source);
      continue;
    }
    cursors.push_back(std::make_unique<PlanCursor>(*log.in, log.plan, progress, announce));
    sources.push_back(cursors.back().get());
    announce = false;
  }
  return sources;
}

// The outcome of a merged reading: the sums over the sources, the failed one's end.
ReadOutcome merged_outcome(std::span<RecordSource* const> sources, std::vector<LogTally>& counted,
                           const std::vector<std::int64_t>& dropped, std::size_t failed,
                           bool stopped) {
  ReadOutcome outcome;
  for (std::size_t i = 0; i < sources.size(); ++i) {
    const ReadOutcome one = sources[i]->outcome();
    outcome.records += one.records - dropped[i];
    outcome.bad_packets += one.bad_packets;
    counted[i].records = one.records;
    counted[i].dropped = dropped[i];
    if (i == failed) {
      outcome.end = one.end;
      outcome.error = one.error;
      outcome.reason = one.reason;
      outcome.seek_failure = one.seek_failure;
      outcome.log = i;
    }
  }
  if (stopped) outcome.end = ReadEnd::STOPPED;
  return outcome;
}

}  // namespace

ReadOutcome read_logs(std::span<const LogRead> logs, Messages* progress, RecordConsumer& consumer,
                      std::vector<LogTally>* tallies) {
  std::vector<std::unique_ptr<PlanCursor>> cursors;
  const std::vector<RecordSource*> sources = sources_of(logs, progress, cursors);
  std::vector<LogTally> counted(sources.size());
  std::vector<std::int64_t> dropped(sources.size(), 0);
  bool stopped = false;
  const std::size_t failed = merge_sources(
      sources, counted, dropped, stopped,
      [&](const Record& rec, std::size_t, bool copy) { return copy || consumer.record(rec); });
  ReadOutcome outcome = merged_outcome(sources, counted, dropped, failed, stopped);
  if (tallies != nullptr) *tallies = std::move(counted);
  return outcome;
}

ReadOutcome compare_stretches(std::span<const LogRead> logs, std::span<CommonStretch> stretches) {
  std::vector<std::unique_ptr<PlanCursor>> cursors;
  const std::vector<RecordSource*> sources = sources_of(logs, nullptr, cursors);
  std::vector<LogTally> counted(sources.size());
  std::vector<std::int64_t> dropped(sources.size(), 0);
  std::vector<bool> givers(sources.size(), false);
  bool stopped = false;
  const std::size_t failed = merge_sources(
      sources, counted, dropped, stopped,
      [&](const Record& rec, std::size_t log, bool) {
        for (CommonStretch& s : stretches) {
          const int side = s.logs[0] == log ? 0 : s.logs[1] == log ? 1 : -1;
          if (side < 0 || rec.revision < FIRST_DATED_LAYOUT || rec.timestamp < s.from ||
              rec.timestamp > s.to) {
            continue;
          }
          ++s.records[side];
          if (givers[s.logs[1 - side]]) s.shared = true;
        }
        givers.assign(givers.size(), false);
        return true;
      },
      &givers);
  return merged_outcome(sources, counted, dropped, failed, stopped);
}

}  // namespace korvex
