#include "plan/read_plan.h"

#include <cerrno>

#include "record/record_reader.h"

namespace korvex {

ReadPlan plan_reads(const SurveyResult& survey) {
  ReadPlan plan;
  plan.groups = survey.reversals + 1;
  plan.records_end = survey.end_pos;
  plan.file_order = survey.reversals >= 2;
  if (plan.file_order) {
    plan.ranges[plan.range_count++] = {0, NO_LIMIT, "seek to start"};
    return plan;
  }
  plan.ranges[plan.range_count++] = {survey.oldest_pos, NO_LIMIT, "seek to oldest"};
  // A wrapped log: the newest records lie ahead of the oldest one, from the start of the file.
  if (survey.newest_pos < survey.oldest_pos) {
    plan.ranges[plan.range_count++] = {0, survey.oldest_pos, "seek to start"};
  }
  return plan;
}

PlanCursor::PlanCursor(ByteStream& in, const ReadPlan& plan, Messages* progress, bool announce)
    : in_(in), plan_(plan), progress_(progress), announce_(announce), reader_(in, progress) {}

// Seeks to the start of the next range; false at the end of the plan or after a failed seek.
bool PlanCursor::next_range() {
  if (outcome_.end != ReadEnd::DONE || ++range_ >= plan_.range_count) {
    limit_ = -1;
    return false;
  }
  const ReadRange& range = plan_.ranges[range_];
  if (in_.seek(range.start) != 0) {
    outcome_.end = ReadEnd::SEEK_FAILED;
    outcome_.error = errno;
    outcome_.seek_failure = range.seek_failure;
    limit_ = -1;
    return false;
  }
  if (range_ == 0 && announce_ && progress_ != nullptr) {
    progress_->progress("Dumping packets, please wait");
  }
  limit_ = range.limit;
  return true;
}

const Record* PlanCursor::next() {
  for (;;) {
    while (in_.pos() >= limit_) {
      if (!next_range()) return nullptr;
    }
    const Record* rec = reader_.next();
    if (rec != nullptr) {
      ++outcome_.records;
      return rec;
    }
    if (in_.failed() != 0) {
      outcome_.end = ReadEnd::READ_FAILED;
      outcome_.error = in_.failed();
    } else if (in_.pos() < plan_.records_end) {
      outcome_.end = ReadEnd::CHANGED;
    }
    // The range ends with the file: the next one, if any, starts elsewhere.
    limit_ = -1;
  }
}

ReadOutcome PlanCursor::outcome() const {
  ReadOutcome outcome = outcome_;
  outcome.bad_packets = reader_.bad_packets() - bad_before_;
  return outcome;
}

void PlanCursor::restart() {
  range_ = -1;
  limit_ = -1;
  outcome_ = ReadOutcome{};
  bad_before_ = reader_.bad_packets();
}

ReadOutcome read_in_order(ByteStream& in, const ReadPlan& plan, Messages* progress,
                          RecordConsumer& consumer) {
  PlanCursor cursor(in, plan, progress);
  while (const Record* rec = cursor.next()) {
    if (!consumer.record(*rec)) {
      ReadOutcome outcome = cursor.outcome();
      outcome.end = ReadEnd::STOPPED;
      return outcome;
    }
  }
  return cursor.outcome();
}

}  // namespace korvex
