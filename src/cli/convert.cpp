#include "cli/convert.h"

#include <sys/stat.h>

#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "cli/exit_status.h"
#include "fields/column_set.h"
#include "io/concat.h"
#include "output/csv/csv_table.h"
#include "output/flights/flights_table.h"
#include "output/report/report_output.h"
#include "output/split/split_output.h"
#include "output/table/table_rows.h"
#include "output/track/gpx_output.h"
#include "output/track/kml_output.h"
#include "plan/read_plan.h"
#include "record/timestamp.h"
#include "selection/flight_scan.h"
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

// What a track leaves out: positions beyond the earth's coordinates, or everything.
void print_track_notes(Messages& messages, std::int64_t points, const FlightScan& scan,
                       const FlightList& flights) {
  std::int64_t out_of_range = 0;
  for (const FlightSpan& span : scan.spans) {
    if (flights.contains(span.flight)) out_of_range += span.positions_out_of_range;
  }
  if (out_of_range > 0) {
    const bool one = out_of_range == 1;
    messages.say(
        concat({"Left out ", std::to_string(out_of_range), one ? " GPS position" : " GPS positions",
                " beyond 90 degrees of latitude or 180 of longitude.\n"}));
  }
  if (points == 0) messages.say("No GPS fix was found.\n");
}

// What the log does not have, or a file that would be replaced: nothing is written.
int refuse(Messages& messages, const std::string& error) {
  messages.say(concat({"KorvexLogDump: ", error, "\n"}));
  return EXIT_USAGE;
}

// A failed read or write ends the run. The report starts a line of its own, after the progress
// text and dots; the rows printed before a failed read are written out first.
int write_failed(Messages& messages, int err, const std::string& file) {
  messages.note("\n");
  messages.error_report(file.empty() ? "Error on write" : concat({"Error on write of ", file}),
                        err);
  return EXIT_WRITE;
}

int read_failed(int err, OutBuffer& out, Messages& messages) {
  messages.note("\n");
  messages.error_report("Error on read", err);
  if (!out.flush()) messages.error_report("Error on write", out.failed());
  return EXIT_READ;
}

int log_changed(OutBuffer& out, Messages& messages) {
  if (!out.flush()) return write_failed(messages, out.failed(), "");
  messages.say("\nError on read: the log changed while it was being read\n");
  return EXIT_READ;
}

// The status of a pass that did not read every record of the plan, or EXIT_DONE.
int pass_ended(const ReadOutcome& outcome, const LogOutput* output, OutBuffer& out,
               Messages& messages) {
  switch (outcome.end) {
    case ReadEnd::SEEK_FAILED:
      messages.error_report(outcome.seek_failure, outcome.error);
      if (!out.flush()) messages.error_report("Error on write", out.failed());
      return EXIT_SEEK;
    case ReadEnd::STOPPED:
      return write_failed(messages, output->write_error(), output->failed_file());
    case ReadEnd::READ_FAILED:
      return read_failed(outcome.error, out, messages);
    case ReadEnd::CHANGED:
      return log_changed(out, messages);
    case ReadEnd::DONE:
      break;
  }
  return EXIT_DONE;
}

DelimiterMode delimiter_of(Format format) {
  switch (format) {
    case Format::TAB:
    case Format::TSV:
      return DELIM_TAB;
    case Format::SPACE:
      return DELIM_SPACE;
    case Format::COMMA:
    case Format::CSV:
    case Format::GPX:
    case Format::KML:
    case Format::HTML:
      break;
  }
  return DELIM_COMMA;
}

bool is_analysis(Format format) {
  return format == Format::CSV || format == Format::TSV;
}

// What the report leaves out of a log of very many flights.
void print_report_notes(Messages& messages, const ReportOutput& report) {
  const std::string flights = std::to_string(report.flights());
  if (report.charted() < static_cast<std::size_t>(report.flights())) {
    messages.say(concat({"The report charts the last ", std::to_string(report.charted()), " of ",
                         flights, " flights; --flight, --from, --to or --split chart others.\n"}));
  }
  if (report.listed() < static_cast<std::size_t>(report.flights())) {
    messages.say(concat({"Its flights table lists the last ", std::to_string(report.listed()),
                         " of ", flights, " flights; --flights lists them all.\n"}));
  }
}

std::uint64_t span_seconds(const FlightSpan& span) {
  return std::uint64_t{span.last_time} - span.first_time + 1;
}

// The log's name for the report's heading.
std::string log_name(const std::string& path) {
  if (path == STANDARD_INPUT) return "standard input";
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos || slash + 1 == path.size() ? path : path.substr(slash + 1);
}

// `seconds`: about how long the records to come span (the report spreads its points over them).
std::unique_ptr<LogOutput> make_output(const Options& options, OutBuffer& out,
                                       const ColumnSet& columns, const FlightScan& scan,
                                       std::uint64_t seconds) {
  const DelimiterMode mode = delimiter_of(options.format);
  if (options.format == Format::HTML) {
    return std::make_unique<ReportOutput>(out, log_name(options.log_path), columns.sections,
                                          seconds);
  }
  if (options.format == Format::GPX) {
    return std::make_unique<GpxOutput>(out, scan, options.utc_offset);
  }
  if (options.format == Format::KML) {
    return std::make_unique<KmlOutput>(out, scan, options.utc_offset);
  }
  if (options.flights_table) {
    return std::make_unique<FlightsTable>(out, mode, is_analysis(options.format), columns.sections);
  }
  return std::make_unique<TableOutput>(
      out, is_analysis(options.format) ? ANALYSIS_TABLE : CLASSIC_TABLE, mode, columns);
}

// flight-NNN_ and the flight's start (YYYY-MM-DD_HHMMSS, or the raw seconds), and the format's
// extension.
std::string split_path(const std::string& dir, const FlightSpan& span, Format format) {
  char name[96];
  const std::string extension(format_word(format).extension);
  if (span.first_layout >= FIRST_DATED_LAYOUT) {
    const CivilTime t = civil_time(span.first_time);
    std::snprintf(name, sizeof name, "flight-%03" PRId64 "_%04d-%02u-%02u_%02u%02u%02u.%s",
                  span.flight, t.year, t.month, t.day, t.hour, t.minute, t.second,
                  extension.c_str());
  } else {
    std::snprintf(name, sizeof name, "flight-%03" PRId64 "_%u.%s", span.flight, span.first_time,
                  extension.c_str());
  }
  return concat({dir, dir.back() == '/' ? "" : "/", name});
}

// The files of --split for the flights selected, none of which may exist; the folder is made.
int plan_split(const Options& options, const FlightScan& scan, const FlightList& flights,
               std::vector<SplitFile>& files, Messages& messages) {
  std::string existing;
  int count = 0;
  for (const FlightSpan& span : scan.spans) {
    // A track needs a fix: a flight without one gets no file.
    if (!flights.contains(span.flight) || (is_track(options.format) && span.fixes == 0)) continue;
    files.push_back({span.flight, split_path(options.split_dir, span, options.format)});
    struct stat st {};
    if (::lstat(files.back().path.c_str(), &st) == 0 && count++ == 0) existing = files.back().path;
  }
  if (count > 0) {
    const std::string more =
        count > 1 ? concat({" and ", std::to_string(count - 1), " more"}) : std::string();
    return refuse(messages,
                  concat({"--split would replace ", existing, more, "; nothing was written"}));
  }
  std::error_code error;
  std::filesystem::create_directories(options.split_dir, error);
  if (error) return write_failed(messages, error.value(), options.split_dir);
  return EXIT_DONE;
}

}  // namespace

int convert_log(ByteStream& in, OutBuffer& out, Format format, Messages& messages) {
  Options options;
  options.format = format;
  return convert_log(in, out, options, messages);
}

int convert_log(ByteStream& in, OutBuffer& out, const Options& options, Messages& messages) {
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
  ColumnSet columns(survey.sections_seen);
  std::string error;
  if (options.columns_given &&
      !choose_columns(options.columns, survey.sections_seen, columns, error)) {
    return refuse(messages, error);
  }

  const ReadPlan plan = plan_reads(survey);
  if (plan.file_order) print_groups_warning(messages, plan.groups);
  Selection selection = options.selection;
  std::vector<SplitFile> files;
  FlightScan scan;
  // Without a scan, about a record a second.
  std::uint64_t seconds = survey.records;
  const bool report = options.format == Format::HTML;
  if (!selection.flights.all() || !options.split_dir.empty() || is_track(options.format) ||
      (report && !selection.window.all())) {
    scan = scan_flights(in, plan, selection.gap, selection.window);
    if (const int status = pass_ended(scan.outcome, nullptr, out, messages); status != EXIT_DONE) {
      return status;
    }
    if (!selection.flights.resolve(scan.flights, error)) return refuse(messages, error);
    if (!options.split_dir.empty()) {
      if (const int status = plan_split(options, scan, selection.flights, files, messages);
          status != EXIT_DONE) {
        return status;
      }
    }
    seconds = 0;
    for (const FlightSpan& span : scan.spans) {
      if (selection.flights.contains(span.flight)) seconds += span_seconds(span);
    }
  }

  std::unique_ptr<LogOutput> output;
  SplitOutput* split = nullptr;
  if (options.split_dir.empty()) {
    output = make_output(options, out, columns, scan, seconds);
  } else {
    auto split_output =
        std::make_unique<SplitOutput>(std::move(files), [&](OutBuffer& file, std::int64_t flight) {
          const FlightSpan* span = scan.span(flight);
          return make_output(options, file, columns, scan, span ? span_seconds(*span) : 0);
        });
    split = split_output.get();
    output = std::move(split_output);
  }
  output->begin();
  RecordFilter filter(selection, *output);
  const ReadOutcome outcome = read_in_order(in, plan, &messages, filter);
  if (const int status = pass_ended(outcome, output.get(), out, messages); status != EXIT_DONE) {
    return status;
  }
  if (!output->end()) return write_failed(messages, output->write_error(), output->failed_file());
  SourceStamp at_end;
  if (stamped && in.stamp(at_end) && !(at_end == at_start)) return log_changed(out, messages);
  print_summary(messages, output->rows(), outcome.bad_packets);
  if (is_track(options.format)) {
    print_track_notes(messages, output->rows(), scan, selection.flights);
  }
  if (const auto* report_output = dynamic_cast<const ReportOutput*>(output.get())) {
    print_report_notes(messages, *report_output);
  }
  if (split != nullptr) {
    for (const std::string& path : split->written()) messages.say(concat({"Wrote ", path, "\n"}));
  }
  return EXIT_DONE;
}

}  // namespace korvex
