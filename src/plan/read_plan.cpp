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

ReadOutcome read_in_order(ByteStream& in, const ReadPlan& plan, Messages* progress,
                          RecordConsumer& consumer) {
  ReadOutcome outcome;
  RecordReader reader(in, progress);
  for (int i = 0; i < plan.range_count; ++i) {
    const ReadRange& range = plan.ranges[i];
    if (in.seek(range.start) != 0) {
      outcome.end = ReadEnd::SEEK_FAILED;
      outcome.error = errno;
      outcome.seek_failure = range.seek_failure;
      break;
    }
    if (i == 0 && progress != nullptr) progress->progress("Dumping packets, please wait");
    while (in.pos() < range.limit) {
      const Record* rec = reader.next();
      if (rec == nullptr) {
        if (in.failed() != 0) {
          outcome.end = ReadEnd::READ_FAILED;
          outcome.error = in.failed();
        } else if (in.pos() < plan.records_end) {
          outcome.end = ReadEnd::CHANGED;
        }
        break;
      }
      ++outcome.records;
      if (!consumer.record(*rec)) {
        outcome.end = ReadEnd::STOPPED;
        break;
      }
    }
    if (outcome.end != ReadEnd::DONE) break;
  }
  outcome.bad_packets = reader.bad_packets();
  return outcome;
}

}  // namespace korvex
