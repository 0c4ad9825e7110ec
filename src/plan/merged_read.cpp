#include "plan/merged_read.h"

#include <cstring>
#include <memory>

namespace korvex {

namespace {

// Distinct records of one timestamp that are remembered; the records of a timestamp beyond these
// are taken without being compared (only a log of stuck timestamps has so many).
constexpr std::size_t kMaxRemembered = 256;

// The records taken at the timestamp being taken, to drop the copies of other logs.
class TakenRecords {
 public:
  explicit TakenRecords(std::size_t logs)
      : logs_(logs), bytes_(kMaxRemembered * MAX_RECORD_BODY), counts_(kMaxRemembered * logs) {
    entries_.reserve(kMaxRemembered);
  }

  // Whether `rec` of log `log` is to be taken: false when it is a copy of a record taken from
  // another log that this log has not yet matched. With `remember`, a record taken is kept for
  // comparison (another log's next record has the same timestamp).
  bool take(const Record& rec, std::size_t log, bool remember) {
    if (rec.timestamp != time_ || entries_.empty()) start(rec.timestamp);
    for (std::size_t e = 0; e < entries_.size(); ++e) {
      if (!same(entries_[e], rec)) continue;
      std::uint32_t& seen = counts_[e * logs_ + log];
      if (++seen <= entries_[e].taken) return false;
      ++entries_[e].taken;
      return true;
    }
    if (remember && entries_.size() < kMaxRemembered) {
      const std::size_t e = entries_.size();
      Entry entry;
      entry.revision = rec.revision;
      entry.sections = rec.sections;
      entry.payload_len = rec.payload_len;
      std::memcpy(entry.section_at, rec.section_at, sizeof entry.section_at);
      std::memcpy(&bytes_[e * MAX_RECORD_BODY], rec.payload,
                  static_cast<std::size_t>(rec.payload_len));
      entries_.push_back(entry);
      counts_[e * logs_ + log] = 1;
    }
    return true;
  }

 private:
  struct Entry {
    RecordLayout revision = 0;
    SectionFlags sections = 0;
    std::int32_t payload_len = 0;
    std::int32_t section_at[SECTION_ID_COUNT] = {};
    std::uint32_t taken = 1;  // copies taken
  };

  void start(std::uint32_t time) {
    for (std::size_t e = 0; e < entries_.size(); ++e) {
      std::memset(&counts_[e * logs_], 0, logs_ * sizeof counts_[0]);
    }
    entries_.clear();
    time_ = time;
  }

  bool same(const Entry& entry, const Record& rec) const {
    if (entry.revision != rec.revision || entry.sections != rec.sections ||
        entry.payload_len != rec.payload_len) {
      return false;
    }
    for (int id = 1; id < SECTION_ID_COUNT; ++id) {
      if ((rec.sections & section_flag(id)) != 0 && entry.section_at[id] != rec.section_at[id]) {
        return false;
      }
    }
    const std::size_t e = static_cast<std::size_t>(&entry - entries_.data());
    return std::memcmp(&bytes_[e * MAX_RECORD_BODY], rec.payload,
                       static_cast<std::size_t>(rec.payload_len)) == 0;
  }

  std::size_t logs_;
  std::uint32_t time_ = 0;
  std::vector<Entry> entries_;
  std::vector<std::uint8_t> bytes_;    // the payload of entry e at e * MAX_RECORD_BODY
  std::vector<std::uint32_t> counts_;  // copies of entry e seen in log l at e * logs_ + l
};

constexpr std::size_t kNone = SIZE_MAX;

}  // namespace

ReadOutcome read_logs(std::span<const LogRead> logs, Messages* progress, RecordConsumer& consumer,
                      std::vector<LogTally>* tallies) {
  if (tallies != nullptr) tallies->assign(logs.size(), LogTally{});
  if (logs.size() == 1) {
    const ReadOutcome outcome = read_in_order(*logs[0].in, logs[0].plan, progress, consumer);
    if (tallies != nullptr) (*tallies)[0].records = outcome.records;
    return outcome;
  }
  const std::size_t n = logs.size();
  std::vector<std::unique_ptr<PlanCursor>> cursors;
  for (std::size_t i = 0; i < n; ++i) {
    cursors.push_back(std::make_unique<PlanCursor>(*logs[i].in, logs[i].plan, progress, i == 0));
  }
  std::vector<const Record*> heads(n, nullptr);
  std::vector<std::int64_t> dropped(n, 0);
  std::size_t failed = kNone;
  // The next record of log i; false when its reading failed.
  const auto advance = [&](std::size_t i) {
    heads[i] = cursors[i]->next();
    if (heads[i] == nullptr && cursors[i]->outcome().end != ReadEnd::DONE) failed = i;
    return failed == kNone;
  };
  bool stopped = false;
  for (std::size_t i = 0; i < n && advance(i); ++i) {
  }
  if (failed == kNone) {
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
      const Record& rec = *heads[next];
      bool shared = false;  // another log's next record has this timestamp too
      for (std::size_t i = 0; i < n; ++i) {
        shared =
            shared || (i != next && heads[i] != nullptr && heads[i]->timestamp == rec.timestamp);
      }
      if (!taken.take(rec, next, shared)) {
        ++dropped[next];
      } else if (!consumer.record(rec)) {
        stopped = true;
        break;
      }
      if (!advance(next)) break;
    }
  }

  ReadOutcome outcome;
  for (std::size_t i = 0; i < n; ++i) {
    const ReadOutcome one = cursors[i]->outcome();
    outcome.records += one.records - dropped[i];
    outcome.bad_packets += one.bad_packets;
    if (tallies != nullptr) (*tallies)[i] = {one.records, dropped[i]};
    if (i == failed) {
      outcome.end = one.end;
      outcome.error = one.error;
      outcome.seek_failure = one.seek_failure;
      outcome.log = i;
    }
  }
  if (stopped) outcome.end = ReadEnd::STOPPED;
  return outcome;
}

}  // namespace korvex
