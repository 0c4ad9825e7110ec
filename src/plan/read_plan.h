// The read plan: in which order the records of a log are read, computed from the survey, and the
// one loop that hands them to a consumer in that order.
//
// A circular log is read from its oldest record to the end of the file and then, when it has
// wrapped, from the start of the file up to the oldest record. A log whose timestamps fall into
// three or more groups is no single circular log: it is read in file order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "io/byte_stream.h"
#include "io/messages.h"
#include "plan/record_consumer.h"
#include "record/record_reader.h"
#include "survey/survey.h"

namespace korvex {

inline constexpr std::int64_t NO_LIMIT = INT64_MAX;

// One stretch of the file: records are read from `start` for as long as the position before a
// read lies below `limit`. A record whose read begins below the limit is read whole.
struct ReadRange {
  std::int64_t start = 0;
  std::int64_t limit = NO_LIMIT;
  std::string_view seek_failure;  // how a failed seek to `start` is reported
};

struct ReadPlan {
  bool file_order = false;   // three or more groups: the file is read from its start
  std::uint64_t groups = 1;  // groups of contiguous records
  int range_count = 0;
  ReadRange ranges[2];
  std::int64_t records_end = 0;  // where the survey's records ended
};

ReadPlan plan_reads(const SurveyResult& survey);

enum class ReadEnd {
  DONE,         // every record of the plan was read
  STOPPED,      // the consumer stopped the reading
  SEEK_FAILED,  // a seek to a range's start failed
  READ_FAILED,  // a read of the log failed
  CHANGED,      // the file ended before the records the survey found: it changed meanwhile
};

struct ReadOutcome {
  ReadEnd end = ReadEnd::DONE;
  std::size_t log = 0;            // of several logs read together, the one whose read ended it
  int error = 0;                  // the errno of a failed seek or read
  std::string_view reason;        // what failed, when the source says better than the errno
  std::string_view seek_failure;  // the failed seek's report prefix
  std::int64_t records = 0;       // handed to the consumer
  std::int64_t bad_packets = 0;   // passed over on the way
};

// Records handed out one at a time: those of a log file in its plan's order, or those a logbook
// holds.
class RecordSource {
 public:
  virtual ~RecordSource() = default;
  // The next record, valid until the next call, or nullptr when there is none left or the reading
  // failed: outcome() tells which.
  virtual const Record* next() = 0;
  // How the reading went so far: its end, the records handed out, the bad packets passed over.
  virtual ReadOutcome outcome() const = 0;
  // Makes it give its records again from the first, for another pass.
  virtual void restart() = 0;
};

// The records of one log in the plan's order, one at a time. With `progress`, the framing's
// dots go there, and with `announce` the progress text "Dumping packets, please wait" follows the
// first seek.
class PlanCursor final : public RecordSource {
 public:
  PlanCursor(ByteStream& in, const ReadPlan& plan, Messages* progress, bool announce = true);

  // nullptr when the plan is read or a seek or a read failed.
  const Record* next() override;
  ReadOutcome outcome() const override;
  void restart() override;

 private:
  bool next_range();

  ByteStream& in_;
  const ReadPlan& plan_;
  Messages* progress_;
  bool announce_;
  RecordReader reader_;
  int range_ = -1;  // the range being read
  std::int64_t limit_ = -1;
  ReadOutcome outcome_;
  std::int64_t bad_before_ = 0;  // the reader's bad packets of the passes before
};

// Hands every record of the plan to the consumer, in the plan's order. With `progress`, the
// progress text "Dumping packets, please wait" follows the first seek, and the framing's dots
// follow it; without, the pass is quiet.
ReadOutcome read_in_order(ByteStream& in, const ReadPlan& plan, Messages* progress,
                          RecordConsumer& consumer);

}  // namespace korvex
