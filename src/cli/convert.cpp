#include "cli/convert.h"

#include <cinttypes>
#include <cstdio>

#include <memory>
#include <string>

#include "cli/exit_status.h"
#include "output/csv/csv_table.h"
#include "output/table/table_rows.h"
#include "plan/read_plan.h"
#include "survey/survey.h"

namespace korvex {

namespace {

void print_section_line(Messages& messages, SectionFlags sections) {
  std::string line = "\nOptional record sections present:";
  for (int id = 1; id < SECTION_ID_COUNT; ++id) {
    if ((sections & section_flag(id)) != 0) (line += " ") += section_name[id];
  }
  messages.progress(line + "\n");
}

void print_groups_warning(Messages& messages, std::uint64_t groups) {
  char text[320];
  const int n = std::snprintf(
      text, sizeof text,
      "\nWARNING: the record timestamps are inconsistent, there are %" PRIu64
      " groups of\ncontiguous records. All records will be dumped in the order they appear in\n"
      "the file instead of from oldest to newest.\n\n",
      groups);
  messages.say(std::string_view(text, static_cast<std::size_t>(n)));
}

void print_summary(Messages& messages, std::int64_t rows, std::int64_t bad_packets) {
  char text[128];
  const int n = std::snprintf(text, sizeof text,
                              "\nRead %" PRId64 " packets, skipped %" PRId64 " bad packets.\n",
                              rows, bad_packets);
  messages.say(std::string_view(text, static_cast<std::size_t>(n)));
}

// What the output holds so far is written out; a failure to do so is reported.
void flush_output(OutBuffer& out, Messages& messages) {
  if (!out.flush()) messages.error_report("Error on write", out.failed());
}

// A failed read or write ends the run. The report starts a line of its own, after the progress
// text and dots; the rows printed before a failed read are written out first.
int write_failed(OutBuffer& out, Messages& messages) {
  messages.note("\n");
  messages.error_report("Error on write", out.failed());
  return EXIT_WRITE;
}

int read_failed(int err, OutBuffer& out, Messages& messages) {
  messages.note("\n");
  messages.error_report("Error on read", err);
  flush_output(out, messages);
  return EXIT_READ;
}

int log_changed(OutBuffer& out, Messages& messages) {
  if (!out.flush()) return write_failed(out, messages);
  messages.say("\nError on read: the log changed while it was being read\n");
  return EXIT_READ;
}

std::unique_ptr<LogOutput> make_output(Format format, OutBuffer& out, SectionFlags sections) {
  switch (format) {
    case Format::TAB:
      return std::make_unique<TableOutput>(out, CLASSIC_TABLE, DELIM_TAB, sections);
    case Format::COMMA:
      return std::make_unique<TableOutput>(out, CLASSIC_TABLE, DELIM_COMMA, sections);
    case Format::SPACE:
      return std::make_unique<TableOutput>(out, CLASSIC_TABLE, DELIM_SPACE, sections);
    case Format::CSV:
      return std::make_unique<TableOutput>(out, ANALYSIS_TABLE, DELIM_COMMA, sections);
    case Format::TSV:
      return std::make_unique<TableOutput>(out, ANALYSIS_TABLE, DELIM_TAB, sections);
  }
  return nullptr;
}

}  // namespace

int convert_log(ByteStream& in, OutBuffer& out, Format format, Messages& messages) {
  SourceStamp at_start;
  const bool stamped = in.stamp(at_start);
  messages.progress("Scanning for first and last record, please wait");
  SurveyResult survey;
  const int found = survey_log(in, messages, survey);
  if (found == SURVEY_SEEK_FAILED) {
    messages.error_report("seek to start", errno);
    return EXIT_SEEK;
  }
  if (in.failed() != 0) return read_failed(in.failed(), out, messages);
  if (found != SURVEY_FOUND) {
    messages.say("\nUnable to locating starting and/or ending record\n");
    return EXIT_NO_RECORDS;
  }
  print_section_line(messages, survey.sections_seen);
  const std::unique_ptr<LogOutput> output = make_output(format, out, survey.sections_seen);
  output->begin();

  const ReadPlan plan = plan_reads(survey);
  if (plan.file_order) print_groups_warning(messages, plan.groups);
  const ReadOutcome outcome = read_in_order(in, plan, messages, *output);
  switch (outcome.end) {
    case ReadEnd::SEEK_FAILED:
      messages.error_report(outcome.seek_failure, outcome.error);
      flush_output(out, messages);
      return EXIT_SEEK;
    case ReadEnd::STOPPED:
      return write_failed(out, messages);
    case ReadEnd::READ_FAILED:
      return read_failed(outcome.error, out, messages);
    case ReadEnd::CHANGED:
      return log_changed(out, messages);
    case ReadEnd::DONE:
      break;
  }
  if (!out.flush()) return write_failed(out, messages);
  SourceStamp at_end;
  if (stamped && in.stamp(at_end) && !(at_end == at_start)) return log_changed(out, messages);
  print_summary(messages, outcome.records, outcome.bad_packets);
  return EXIT_DONE;
}

}  // namespace korvex
