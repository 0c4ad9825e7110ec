// Several logs read as one: downloads of the same instrument made on different days, each
// holding the newest records and part of what an earlier download already had.
//
// Each log is read in the order of its own plan. The records of all of them form one stream: a
// merge that always takes the record with the lowest timestamp next (of equal ones, that of the
// log given first), and that drops a record identical to one already taken from another log (the
// same timestamp, layout, sections and payload bytes). A log may hold the same record more than
// once; another log's copies are dropped only as often as the record was taken. The last 4,096
// records taken are remembered (a copy comes at the timestamp of its original where the logs run
// forward in time, and within that many records where a clock stepped back), so memory does not
// grow with the logs.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "io/byte_stream.h"
#include "io/messages.h"
#include "plan/read_plan.h"
#include "plan/record_consumer.h"

namespace korvex {

// One log of a run: its stream and the order in which it is read, or a source of records of its
// own (a logbook's records, in the order of their timestamps).
struct LogRead {
  ByteStream* in = nullptr;
  ReadPlan plan;
  RecordSource* source = nullptr;  // when given, `in` and `plan` are not used
};

// What a pass took of each log.
struct LogTally {
  std::int64_t records = 0;  // read from it
  std::int64_t dropped = 0;  // of them, identical to a record already taken from another log
  // The lowest and the highest timestamp of the records read, with their layouts (when records
  // is not 0).
  std::uint32_t first_time = 0, last_time = 0;
  RecordLayout first_layout = 0, last_layout = 0;

  void add(const Record& rec) {
    if (records == 0 || rec.timestamp < first_time) {
      first_time = rec.timestamp;
      first_layout = rec.revision;
    }
    if (records == 0 || rec.timestamp > last_time) {
      last_time = rec.timestamp;
      last_layout = rec.revision;
    }
    ++records;
  }
};

// Hands the records of all the logs to the consumer as one stream, each marked with the log it
// comes from. With one log this is read_in_order. `tallies`, when given, receives a tally per log.
// Progress as in read_in_order, the text once for the pass. The outcome's records and bad packets
// are the sums over the logs; its `log` names the log whose seek or read failed.
ReadOutcome read_logs(std::span<const LogRead> logs, Messages* progress, RecordConsumer& consumer,
                      std::vector<LogTally>* tallies = nullptr);

// A stretch of time that two logs both hold records in, and what they hold there: one
// instrument's downloads share the records of the stretch; two instruments' share none.
struct CommonStretch {
  std::size_t logs[2] = {};
  std::uint32_t from = 0, to = 0;  // timestamps, both in the stretch
  std::int64_t records[2] = {};    // of each log, dated, in the stretch
  bool shared = false;             // a record of one is identical to a record of the other
};

// Reads the logs as read_logs does, quietly, counting the records of each stretch and telling
// whether its two logs share one. A source may give only the records of its stretches.
ReadOutcome compare_stretches(std::span<const LogRead> logs, std::span<CommonStretch> stretches);

}  // namespace korvex
