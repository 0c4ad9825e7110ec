#include "cli/convert.h"

#include <sys/stat.h>

#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <future>
#include <memory>
#include <string>
#include <system_error>

#include "aggregation/flight_analysis.h"
#include "cli/exit_status.h"
#include "cli/log_file.h"
#include "fields/column_set.h"
#include "io/ascii.h"
#include "io/concat.h"
#include "io/sha256.h"
#include "output/cells/time_cell.h"
#include "output/describe/describe.h"
#include "output/flights/flight_columns.h"
#include "output/registry.h"
#include "output/split/split_output.h"
#include "output/sqlite/sqlite_output.h"
#include "plan/merged_read.h"
#include "plan/read_plan.h"
#include "profile/profile_file.h"
#include "record/timestamp.h"
#include "selection/flight_scan.h"
#include "selection/phases.h"
#include "store/logbook.h"
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

// A count with its digits in groups of three: "4,901".
std::string grouped(std::int64_t n) {
  const std::string digits = std::to_string(n);
  std::string text;
  const std::size_t sign = n < 0 ? 1 : 0;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > sign && (digits.size() - i) % 3 == 0) text += ',';
    text += digits[i];
  }
  return text;
}

// A count and the word it counts: "1 flight", "4,901 records".
std::string counted(std::int64_t n, std::string_view one, std::string_view many) {
  return concat({grouped(n), " ", n == 1 ? one : many});
}

// What the run wrote, in words ("2 flights from 4,901 records"), after the records and flights
// it read; the classic tables keep their "Read N packets, skipped N bad packets.".
struct WrittenTotals {
  std::int64_t rows = 0;     // the output's
  std::int64_t records = 0;  // selected
  std::int64_t flights = 0;  // with selected records
  std::int64_t bad_packets = 0;
};

// `table`: what the output wrote instead of records: its --flights, --findings or --cruise.
enum class Table { RECORDS, FLIGHTS, FINDINGS, CRUISE, TRENDS };

void print_summary(Messages& messages, const FormatEntry& format, Table table,
                   const WrittenTotals& t) {
  if (format.row_word.empty()) {
    char text[128];
    const int n = std::snprintf(text, sizeof text,
                                "\nRead %" PRId64 " packets, skipped %" PRId64 " bad packets.\n",
                                t.rows, t.bad_packets);
    messages.say(std::string_view(text, static_cast<std::size_t>(n)));
    return;
  }
  const std::string flights = counted(t.flights, "flight", "flights");
  const std::string records = counted(t.records, "record", "records");
  std::string text;
  if (table == Table::FLIGHTS || table == Table::TRENDS) {
    text = concat({counted(t.rows, "flight", "flights"), " from ", records});
  } else if (table == Table::FINDINGS) {
    text = concat({counted(t.rows, "finding", "findings"), " in ", flights});
  } else if (table == Table::CRUISE) {
    text = concat({counted(t.rows, "cruise segment", "cruise segments"), " in ", flights});
  } else if ((format.needs & ADDS_TO_OUTPUT_FILE) != 0) {
    text = concat(
        {counted(t.rows, "new record", "new records"), "; ", flights, " made anew from ", records});
  } else if (format.row_word == "report") {  // one page, whatever its records
    text = concat({"A report of ", flights, " from ", records});
  } else {
    text = concat({counted(t.rows, format.row_word, format.rows_word), " in ", flights});
  }
  if (t.bad_packets > 0) {
    append(text, {"; skipped ", counted(t.bad_packets, "bad packet", "bad packets")});
  }
  messages.say(concat({"\n", text, "\n"}));
}

void print_findings(Messages& messages, const FindingCount& count) {
  messages.say(concat({counted(count.findings, "finding", "findings"), " in ",
                       counted(count.flights, "flight", "flights"), "\n"}));
}

// Words as choices: "a or b", "a, b or c".
std::string either(std::span<const std::string_view> words) {
  std::string text;
  for (std::size_t i = 0; i < words.size(); ++i) {
    text += concat({i == 0 ? "" : i + 1 == words.size() ? " or " : ", ", words[i]});
  }
  return text;
}

// --findings with a profile that gives no limit this log could exceed: there is nothing to find.
void print_no_limits(Messages& messages, const std::string& profile_path) {
  messages.say(
      profile_path.empty()
          ? "No profile, so no limits and no findings: give one with --profile FILE "
            "(--profile-template shows one, with limits).\n"
          : concat({"The profile ", profile_path,
                    " gives no limit for this log's columns, so there are no findings: give ",
                    either(COLUMN_LIMIT_KEYS), " in [columns.NAME], or ", either(ENGINE_LIMIT_KEYS),
                    " in [engines.N].\n"}));
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

// What an output could not write: its own file, or else `out_name` (empty: standard output).
std::string written_file(const LogOutput& output, const std::string& out_name) {
  std::string file = output.failed_file();
  return file.empty() ? out_name : file;
}

// The output failed: its file, and what failed (its own words, or the system's for its errno).
int output_failed(Messages& messages, const LogOutput& output, const std::string& out_name) {
  const std::string reason = output.failure_reason();
  if (reason.empty())
    return write_failed(messages, output.write_error(), written_file(output, out_name));
  const std::string file = written_file(output, out_name);
  messages.note("\n");
  messages.say(concat({file.empty() ? "Error on write" : concat({"Error on write of ", file}), ": ",
                       reason, "\n"}));
  return EXIT_WRITE;
}

// `log`: the name of the log read, when the run reads several; else empty.
int read_failed(int err, OutBuffer& out, Messages& messages, const std::string& log) {
  messages.note("\n");
  messages.error_report(log.empty() ? "Error on read" : concat({"Error on read of ", log}), err);
  if (!out.flush()) messages.error_report("Error on write", out.failed());
  return EXIT_READ;
}

int log_changed(OutBuffer& out, Messages& messages, const std::string& log) {
  if (!out.flush()) return write_failed(messages, out.failed(), "");
  messages.say(concat({"\nError on read: the log ", log, log.empty() ? "" : " ",
                       "changed while it was being read\n"}));
  return EXIT_READ;
}

// The status of a pass that did not read every record of the plan, or EXIT_DONE. `logs`: the
// names of the logs read together (one: not named); `out_name`: the file of the output.
int pass_ended(const ReadOutcome& outcome, const LogOutput* output, OutBuffer& out,
               Messages& messages, const std::vector<std::string>& logs,
               const std::string& out_name) {
  const std::string log = logs.size() > 1 ? logs[outcome.log] : std::string();
  switch (outcome.end) {
    case ReadEnd::SEEK_FAILED:
      messages.error_report(log.empty() ? std::string(outcome.seek_failure)
                                        : concat({outcome.seek_failure, " in ", log}),
                            outcome.error);
      if (!out.flush()) messages.error_report("Error on write", out.failed());
      return EXIT_SEEK;
    case ReadEnd::STOPPED:
      // Only an output stops a pass.
      if (output == nullptr) return write_failed(messages, EIO, out_name);
      return output_failed(messages, *output, out_name);
    case ReadEnd::READ_FAILED:
      if (!outcome.reason.empty()) {
        messages.note("\n");
        messages.say(concat({log.empty() ? "Error on read" : concat({"Error on read of ", log}),
                             ": ", outcome.reason, "\n"}));
        if (!out.flush()) messages.error_report("Error on write", out.failed());
        return EXIT_READ;
      }
      return read_failed(outcome.error, out, messages, log);
    case ReadEnd::CHANGED:
      return log_changed(out, messages, log);
    case ReadEnd::DONE:
      break;
  }
  return EXIT_DONE;
}

// A selection that left no record: where the log's records are, so that the user can pick again.
void print_empty_selection(Messages& messages, const Selection& selection,
                           const std::vector<LogTally>& tallies, std::int64_t flights) {
  const LogTally* first = nullptr;
  const LogTally* last = nullptr;
  for (const LogTally& t : tallies) {
    if (t.records == 0) continue;
    if (first == nullptr || t.first_time < first->first_time) first = &t;
    if (last == nullptr || t.last_time > last->last_time) last = &t;
  }
  if (first == nullptr) return;
  // The window's ends as the log's times are: dates, or the raw clock's seconds.
  const RecordLayout layout = first->first_layout;
  const auto end = [&](std::uint32_t t, bool open) {
    return open ? std::string("…") : time_text(t, layout, TimeForm::READABLE);
  };
  const TimeWindow& w = selection.window;
  std::string what = "No records";
  if (!selection.flights.all()) what += " of the flights chosen";
  if (!w.all())
    what += concat({" from ", end(w.from, w.from == 0), " to ", end(w.to, w.to == UINT32_MAX)});
  messages.say(concat({what, "; the log runs from ",
                       time_text(first->first_time, first->first_layout, TimeForm::PLAIN), " to ",
                       time_text(last->last_time, last->last_layout, TimeForm::PLAIN), " (",
                       std::to_string(flights), flights == 1 ? " flight" : " flights", ").\n"}));
}

// How many records of each log were already taken from another.
void print_tallies(Messages& messages, const std::vector<std::string>& names,
                   const std::vector<LogTally>& tallies) {
  if (names.size() < 2) return;
  for (std::size_t i = 0; i < names.size(); ++i) {
    char counts[96];
    const int n =
        std::snprintf(counts, sizeof counts,
                      ": %" PRId64 " records, %" PRId64 " already taken from another log\n",
                      tallies[i].records, tallies[i].dropped);
    messages.say(concat({names[i], std::string_view(counts, static_cast<std::size_t>(n))}));
  }
}

// What became of the files of --split, in flight order; true when any was written.
bool report_files(Messages& messages, const SplitOutput& split) {
  std::int64_t unchanged = 0;
  bool written = false;
  for (std::size_t i = 0; i < split.files().size(); ++i) {
    const std::string& path = split.files()[i].path;
    switch (split.fates()[i]) {
      case FileFate::NONE:
        continue;
      case FileFate::WRITTEN:
        messages.say(concat({"Wrote ", path, "\n"}));
        written = true;
        break;
      case FileFate::REPLACED:
        messages.say(concat({"Replaced ", path, "\n"}));
        written = true;
        break;
      case FileFate::KEPT:
        messages.say(concat({path, ": kept: differs; --force replaces it\n"}));
        break;
      case FileFate::UNCHANGED:
        ++unchanged;
        break;
    }
  }
  if (unchanged > 0) {
    messages.say(
        concat({std::to_string(unchanged), unchanged == 1 ? " file" : " files", " unchanged\n"}));
  }
  return written;
}

// The digest of a log file's bytes and its size, worked out beside the run.
struct FileHash {
  bool done = false;
  int error = 0;
  Sha256::Digest digest{};
  std::int64_t size = -1;
};

std::future<FileHash> hash_file(int fd) {
  return std::async(std::launch::async, [fd] {
    FileHash hash;
    hash.done = sha256_of_file(fd, hash.digest, hash.size);
    if (!hash.done) hash.error = errno;
    return hash;
  });
}

// A log of the run: where it is read from, what its survey found and the order it is read in;
// or a logbook, read as a log.
struct RunLog {
  ByteStream* in = nullptr;
  std::string name;  // as messages name it
  SourceStamp at_start;
  bool stamped = false;
  SurveyResult survey;
  ReadPlan reads;
  std::unique_ptr<Logbook> book;  // when the file is a logbook: its records, not a survey
};

// The first bytes of every SQLite database file.
constexpr std::string_view kDatabaseHeader{"SQLite format 3\0", 16};

// The stream begins as a SQLite database does.
bool is_database(ByteStream& in) {
  if (in.seek(0) != 0) return false;
  for (const char c : kDatabaseHeader) {
    if (in.get() != static_cast<unsigned char>(c)) return false;
  }
  return true;
}

// The same file as the one named `path`.
bool same_file(int fd, const std::string& path) {
  struct stat a {
  }, b{};
  return fd >= 0 && ::fstat(fd, &a) == 0 && ::stat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
         a.st_ino == b.st_ino;
}

// A log that is a SQLite database: opened as a logbook to read. EXIT_DONE with `log.book`, or
// the status that ends the run; the classic command line reads a database that is no logbook
// as bytes, as it always has.
int open_book(const std::string& path, const Options& options, Messages& messages, RunLog& log) {
  if (path == STANDARD_INPUT) {
    return refuse(messages,
                  "standard input holds a SQLite database: give a logbook by its file name");
  }
  if ((options.format->needs & ADDS_TO_OUTPUT_FILE) != 0 &&
      same_file(log.in->fd(), options.output_path)) {
    return refuse(messages, concat({log.name, " is a logbook: add to it with -o ", log.name, " ",
                                    options.format->word, " LOGFILE, or read it as a log"}));
  }
  auto book = std::make_unique<Logbook>();
  switch (book->open(path, Logbook::Use::READ)) {
    case Logbook::Opened::EXISTING:
      log.book = std::move(book);
      return EXIT_DONE;
    case Logbook::Opened::ABSENT:
    case Logbook::Opened::REFUSED:
      if (options.classic) return EXIT_DONE;
      messages.say(concat({"KorvexLogDump: ", book->message(), "\n"}));
      return EXIT_NO_RECORDS;
    case Logbook::Opened::FAILED:
      break;
  }
  messages.error_report(book->message(), book->error());
  return EXIT_OPEN;
}

// The survey of each log, under a heading that names it when there are several; EXIT_DONE, or
// the status that ends the run.
int survey_logs(std::span<ByteStream* const> ins, const Options& options, OutBuffer& out,
                Messages& messages, std::vector<RunLog>& logs) {
  for (std::size_t i = 0; i < ins.size(); ++i) {
    RunLog& log = logs.emplace_back();
    log.in = ins[i];
    const std::string path =
        i < options.log_paths.size() ? options.log_paths[i] : std::string(STANDARD_INPUT);
    log.name = log_name(path);
    if (ins.size() > 1) messages.heading(log_heading(i, ins.size(), path));
    log.stamped = log.in->stamp(log.at_start);
    if (is_database(*log.in)) {
      if (const int status = open_book(path, options, messages, log); status != EXIT_DONE) {
        return status;
      }
      if (log.book) {
        print_section_line(messages, log.book->sections());
        messages.heading("");
        continue;
      }
    }
    messages.progress("Scanning for first and last record, please wait");
    const int found = survey_log(*log.in, messages, log.survey);
    if (found == SURVEY_SEEK_FAILED) {
      messages.error_report("seek to start", errno);
      return EXIT_SEEK;
    }
    if (log.in->failed() != 0) return read_failed(log.in->failed(), out, messages, "");
    if (found != SURVEY_FOUND) {
      messages.say(options.classic
                       ? std::string("\nUnable to locating starting and/or ending record\n")
                       : concat({"\n", log.name, " holds no record of the instrument's log\n"}));
      return EXIT_NO_RECORDS;
    }
    print_section_line(messages, log.survey.sections_seen);
    log.reads = plan_reads(log.survey);
    if (log.reads.file_order) print_groups_warning(messages, log.reads.groups);
    messages.heading("");
  }
  return EXIT_DONE;
}

// What a run does, worked out from the options and the surveys before the records are read
// again: what is read, which columns, which flights, which output, which files. Nothing changes
// it afterwards.
struct RunPlan {
  const FormatEntry* format = nullptr;
  std::vector<LogRead> reads;      // a log each, read as one (a logbook's records first)
  std::vector<std::string> names;  // of the logs read
  std::string title;               // the log files' names, each once
  SectionFlags sections = 0;       // seen in any log
  ColumnSet columns;
  Selection selection;
  bool scan = false;    // a flight scan before the output's pass
  bool limits = false;  // the profile gives a limit that the logs can exceed
  bool describe = false;
  bool findings_asked = false;  // --findings
  bool cruise = false;          // --cruise
  bool trends = false;          // --trends
  bool flights_table = false;   // --flights
  std::string flight_columns;   // --columns with --flights: the list, checked
  bool calibrated = false;      // --calibrated
  bool phases = false;          // the records' phases are found
  TimeZone zone;
  const Profile* profile = nullptr;
  std::string profile_path;
  std::string split_dir;
  std::string out_name;  // the FILE of -o, or empty
  bool replace = false;  // --force
  // Adding to a logbook: only its flights from recut_from on are read and cut anew.
  bool recut = false;
  std::uint32_t recut_from = 0;
};

// The plan of a run; false with `error` for a column the logs do not have. `history`: the
// logbook the run adds to, or nullptr.
// A --columns list without the word phase (in any case), and whether it held it.
std::string without_phase(std::string_view list, bool& phase) {
  std::string rest;
  for (std::size_t at = 0; at <= list.size();) {
    const std::size_t comma = std::min(list.find(',', at), list.size());
    const std::string_view item = list.substr(at, comma - at);
    at = comma + 1;
    if (equal_ignoring_case(item, "phase")) {
      phase = true;
      continue;
    }
    if (!rest.empty()) rest += ',';
    rest += item;
  }
  return rest;
}

bool plan_run(const Options& options, const std::vector<RunLog>& logs, Logbook* history,
              RunPlan& plan, std::string& error) {
  plan.format = options.format;
  if (history != nullptr) {
    // The records the logbook holds are read first: a record a log gives again is a copy.
    plan.reads.push_back({nullptr, {}, &history->records()});
    plan.names.push_back(log_name(options.output_path));
    plan.sections |= history->sections();
  }
  for (std::size_t i = 0; i < logs.size(); ++i) {
    const RunLog& log = logs[i];
    if (log.book) {
      plan.reads.push_back({nullptr, {}, &log.book->records()});
      plan.sections |= log.book->sections();
    } else {
      plan.reads.push_back({log.in, log.reads});
      plan.sections |= log.survey.sections_seen;
    }
    plan.names.push_back(log.name);
    // The logs' names, each once (a log given twice is named once).
    bool named = false;
    for (std::size_t j = 0; j < i; ++j) named = named || logs[j].name == log.name;
    if (!named) plan.title += (plan.title.empty() ? "" : ", ") + log.name;
  }
  plan.limits =
      FlightAnalysis(plan.sections, options.profile, FlightAnalysis::FINDING_COUNT).finds();
  plan.columns = ColumnSet(plan.sections);
  if (options.columns_given && options.flights_table) {
    // The flights table's columns.
    if (chosen_flight_columns(flight_columns(log_figures(plan.sections, options.profile),
                                             plan.limits, options.profile.aircraft.registration),
                              options.columns, error)
            .empty()) {
      return false;
    }
    plan.flight_columns = options.columns;
  } else if (options.columns_given) {
    bool phase = false;
    const std::string list = without_phase(options.columns, phase);
    if (phase && (plan.format->needs & TAKES_PHASE_COLUMN) == 0) {
      error =
          concat({"the phase is a column of csv and tsv (and of the logbook's records), not of ",
                  plan.format->word});
      return false;
    }
    if (std::string names; list.empty()) {
      plan.columns.all = false;
    } else if (!profile_column_names(list, options.profile, names, error) ||
               !choose_columns(names, plan.sections, plan.columns, error)) {
      return false;
    }
    plan.columns.phase = phase;
  }
  plan.selection = options.selection;
  const unsigned needs = plan.format->needs;
  plan.scan = !plan.selection.flights.all() || !options.split_dir.empty() ||
              (needs & NEEDS_FLIGHT_SCAN) != 0 ||
              ((needs & NEEDS_SPAN_OF_WINDOW) != 0 && !plan.selection.window.all());
  plan.describe = options.describe;
  plan.findings_asked = options.findings;
  plan.cruise = options.cruise;
  plan.trends = options.trends;
  plan.flights_table = options.flights_table;
  plan.calibrated = options.calibrated;
  // The findings need the phases for the cruise their drift is found in.
  plan.phases = (needs & NEEDS_PHASES) != 0 || plan.columns.phase || options.flights_table ||
                options.findings || options.cruise || options.trends;
  plan.zone = TimeZone{options.utc_offset_given, options.utc_offset};
  plan.profile = &options.profile;
  plan.profile_path = options.profile.path;
  plan.split_dir = options.split_dir;
  plan.out_name = options.output_path;
  plan.replace = options.force;
  return true;
}

// What the flight scan found: the flights, the selection with "last" known, and the files of
// --split.
struct ScanResult {
  FlightScan flights;
  Selection selection;
  std::vector<SplitFile> files;
};

// The flight scan, the flights the list names, and the files of --split; the folder is made.
// EXIT_DONE, or the status that ends the run.
int scan(const RunPlan& plan, ScanResult& result, OutBuffer& out, Messages& messages) {
  result.flights = scan_flights(plan.reads, plan.selection.gap, plan.selection.window);
  if (const int status =
          pass_ended(result.flights.outcome, nullptr, out, messages, plan.names, plan.out_name);
      status != EXIT_DONE) {
    return status;
  }
  result.selection = plan.selection;
  std::string error;
  if (!result.selection.flights.resolve(result.flights.flights, result.flights.spans, error)) {
    return refuse(messages, error);
  }
  if (plan.split_dir.empty()) return EXIT_DONE;
  result.files = split_files(plan.split_dir, result.flights, result.selection.flights,
                             (plan.format->needs & NEEDS_A_FIX) != 0, plan.format->extension);
  std::error_code failure;
  std::filesystem::create_directories(plan.split_dir, failure);
  if (failure) return write_failed(messages, failure.value(), plan.split_dir);
  return EXIT_DONE;
}

// What the run holds beside the plan: the logbook it adds to, the digests being worked out, the
// seam of its files.
struct RunInputs {
  std::unique_ptr<Logbook> history;
  std::unique_ptr<RecordSource> recut_records;  // of the history, from the flights cut anew
  std::vector<std::future<FileHash>> digests;
  SystemCalls* calls = nullptr;
};

// Two logs that hold records over this many seconds in common, and at least this many records
// each there, come from one instrument only when they share a record.
constexpr std::uint32_t kCommonSeconds = 300;
constexpr std::int64_t kCommonRecords = 120;

// A date and time on the instrument's clock, to the minute: "06/14/2026 12:13"; `day` leaves
// out the date when it is that of `day`.
std::string minute_text(std::uint32_t timestamp, const std::uint32_t* day = nullptr) {
  const CivilTime t = civil_time(timestamp);
  char text[32];
  int n = 0;
  if (day != nullptr && *day / SECONDS_PER_DAY == timestamp / SECONDS_PER_DAY) {
    n = std::snprintf(text, sizeof text, "%02u:%02u", t.hour, t.minute);
  } else {
    n = std::snprintf(text, sizeof text, "%02u/%02u/%04d %02u:%02u", t.month, t.day, t.year, t.hour,
                      t.minute);
  }
  return {text, static_cast<std::size_t>(n)};
}

// Logs of two instruments are not read as one: where two of the run's logs (or a log and the
// logbook added to) hold records over a common stretch of time but share none of them, the run
// ends before anything is written. EXIT_DONE, or the status that ends the run.
int check_instruments(const RunPlan& plan, std::vector<RunLog>& logs, RunInputs& inputs,
                      const Options& options, OutBuffer& out, Messages& messages) {
  if (options.merge_instruments || plan.reads.size() < 2) return EXIT_DONE;
  struct Span {
    bool dated = false;
    std::uint32_t first = 0, last = 0;
    Logbook* book = nullptr;
  };
  std::vector<Span> spans;
  if (inputs.history) {
    Span& span = spans.emplace_back();
    span.book = inputs.history.get();
    span.dated = span.book->dated_span(span.first, span.last);
  }
  for (RunLog& log : logs) {
    Span& span = spans.emplace_back();
    if (log.book) {
      span.book = log.book.get();
      span.dated = span.book->dated_span(span.first, span.last);
    } else {
      span.dated = log.survey.dated > 0;
      span.first = log.survey.first_dated;
      span.last = log.survey.last_dated;
    }
  }
  std::vector<CommonStretch> stretches;
  for (std::size_t b = 1; b < spans.size(); ++b) {
    for (std::size_t a = 0; a < b; ++a) {
      if (!spans[a].dated || !spans[b].dated) continue;
      const std::uint32_t from = std::max(spans[a].first, spans[b].first);
      const std::uint32_t to = std::min(spans[a].last, spans[b].last);
      if (to < from || to - from < kCommonSeconds) continue;
      CommonStretch& s = stretches.emplace_back();
      s.logs[0] = a;
      s.logs[1] = b;
      s.from = from;
      s.to = to;
    }
  }
  if (stretches.empty()) return EXIT_DONE;
  // A logbook gives only the records of its stretches.
  std::vector<LogRead> reads = plan.reads;
  std::vector<std::unique_ptr<RecordSource>> parts;
  for (std::size_t i = 0; i < spans.size(); ++i) {
    if (spans[i].book == nullptr) continue;
    std::uint32_t from = UINT32_MAX, to = 0;
    for (const CommonStretch& s : stretches) {
      if (s.logs[0] != i && s.logs[1] != i) continue;
      from = std::min(from, s.from);
      to = std::max(to, s.to);
    }
    parts.push_back(spans[i].book->records_between(from, to));
    reads[i].source = parts.back().get();
  }
  const ReadOutcome outcome = compare_stretches(reads, stretches);
  if (const int status = pass_ended(outcome, nullptr, out, messages, plan.names, plan.out_name);
      status != EXIT_DONE) {
    return status;
  }
  for (const CommonStretch& s : stretches) {
    if (s.shared || s.records[0] < kCommonRecords || s.records[1] < kCommonRecords) continue;
    return refuse(messages,
                  concat({plan.names[s.logs[1]], " and ", plan.names[s.logs[0]], " both hold ",
                          minute_text(s.from), " to ", minute_text(s.to, &s.from),
                          " but share no record: they come from two instruments; give each "
                          "aircraft's logs apart (or --merge-instruments, when they are one "
                          "aircraft's)"}));
  }
  return EXIT_DONE;
}

// The profile of the run and whose aircraft it is. Without --profile, a logbook read or added
// to gives the profile of its latest import (said on standard error); a registration that a
// logbook keeps and the profile lacks is taken; two registrations (the profile's and a
// logbook's, or two logbooks') refuse the run. EXIT_DONE, or the status that ends the run.
int settle_profile(const Options& options, const RunInputs& inputs, const std::vector<RunLog>& logs,
                   Messages& messages, Profile& profile) {
  struct Book {
    const Logbook* book;
    std::string name;
  };
  std::vector<Book> books;
  if (inputs.history) books.push_back({inputs.history.get(), log_name(options.output_path)});
  for (const RunLog& log : logs) {
    if (log.book) books.push_back({log.book.get(), log.name});
  }
  if (options.profile_path.empty() && !options.no_profile) {
    for (const Book& b : books) {
      if (b.book->profile_text().empty()) continue;
      std::string error;
      if (!parse_profile(b.book->profile_text(), b.book->profile_path(), profile, error)) {
        return refuse(messages,
                      concat({"the profile of ", b.name, "'s latest import reads no more (", error,
                              "): give one with --profile FILE"}));
      }
      messages.say(concat(
          {"Using the profile of ", b.name, "'s latest import (", b.book->profile_path(), ")\n"}));
      break;
    }
  }
  std::string registration = profile.aircraft.registration;
  std::string whose = concat({"the profile ", profile.path, " names ", registration});
  for (const Book& b : books) {
    const std::string& theirs = b.book->registration();
    if (theirs.empty()) continue;
    const std::string named = concat({b.name, " is the logbook of ", theirs});
    if (registration.empty()) {
      registration = theirs;
      whose = named;
    } else if (theirs != registration) {
      return refuse(messages, concat({whose, ", but ", named,
                                      ": give each aircraft's logbook, logs and profile apart"}));
    }
  }
  profile.aircraft.registration = registration;
  return EXIT_DONE;
}

// An import into a logbook reads of it only the flights its logs' records could touch: those
// from the first that ends at most the gap before the logs' first record. It does so when the
// logbook's flights were cut as this run cuts them (the same gap, profile and columns) and the
// logs are dated and in time order; else every record is read and every flight cut anew.
bool plan_recut(RunPlan& plan, const std::vector<RunLog>& logs, RunInputs& inputs) {
  if (!inputs.history) return true;
  Logbook& book = *inputs.history;
  if (book.gap() != plan.selection.gap || book.latest_profile() != plan.profile->text ||
      book.columns_of("cruise").empty() || (plan.limits && book.columns_of("findings").empty()) ||
      book.columns_of("flights") != logbook_flight_names(flight_columns(
                                        log_figures(plan.sections, *plan.profile), plan.limits,
                                        plan.profile->aircraft.registration, true))) {
    return true;
  }
  std::uint32_t first = UINT32_MAX;
  for (const RunLog& log : logs) {
    if (log.book || log.reads.file_order || log.survey.dated != log.survey.records) return true;
    first = std::min(first, log.survey.first_dated);
  }
  std::uint32_t from = 0;
  std::int64_t before = 0;
  if (!book.flights_after(first, plan.selection.gap, from, before)) return false;
  plan.recut = true;
  plan.recut_from = from;
  plan.selection.flights_before = before;
  inputs.recut_records = book.records_between(from, UINT32_MAX);
  plan.reads[0].source = inputs.recut_records.get();
  return true;
}

std::unique_ptr<LogOutput> make_output(const RunPlan& plan, const RunInputs& inputs, OutBuffer& out,
                                       std::string_view name) {
  const OutputSetup setup{out,
                          *plan.format,
                          plan.columns,
                          plan.flights_table,
                          plan.findings_asked,
                          plan.cruise,
                          plan.zone,
                          name,
                          *plan.profile,
                          plan.out_name,
                          plan.replace,
                          inputs.history.get(),
                          inputs.calls,
                          plan.flight_columns,
                          plan.calibrated,
                          plan.selection.gap,
                          plan.recut,
                          plan.recut_from,
                          plan.trends};
  return plan.format->make(setup);
}

// Opens the logbook that a format adds to (the FILE of -o, unless --force makes it anew) and
// starts the digests of the logs a format keeps; EXIT_DONE, or the status that ends the run.
int open_inputs(const Options& options, std::span<ByteStream* const> ins, RunInputs& inputs,
                Messages& messages) {
  const unsigned needs = options.format->needs;
  if ((needs & ADDS_TO_OUTPUT_FILE) != 0 && !options.force) {
    inputs.history = std::make_unique<Logbook>();
    switch (inputs.history->open(options.output_path)) {
      case Logbook::Opened::ABSENT:
        inputs.history.reset();
        break;
      case Logbook::Opened::EXISTING:
        break;
      case Logbook::Opened::REFUSED:
        return refuse(messages, inputs.history->message());
      case Logbook::Opened::FAILED:
        messages.error_report(inputs.history->message(), inputs.history->error());
        return EXIT_WRITE;
    }
  }
  if ((needs & NEEDS_LOG_DIGESTS) != 0) {
    for (ByteStream* in : ins) {
      inputs.digests.push_back(in->fd() >= 0 ? hash_file(in->fd()) : std::future<FileHash>());
    }
  }
  return EXIT_DONE;
}

// What the output learns of the log files when it keeps where its records came from: names,
// sizes, digests and tallies (after the logbook's own, when one was read first).
int tell_logs(LogOutput& output, const std::vector<RunLog>& logs, RunInputs& inputs,
              const std::vector<LogTally>& tallies, Messages& messages, OutBuffer& out) {
  std::vector<LogFacts> facts;
  const std::size_t first = tallies.size() - logs.size();
  for (std::size_t i = 0; i < logs.size(); ++i) {
    LogFacts& log = facts.emplace_back();
    log.read = first + i;
    log.name = logs[i].name;
    log.tally = tallies[first + i];
    if (i < inputs.digests.size() && inputs.digests[i].valid()) {
      const FileHash hash = inputs.digests[i].get();
      if (!hash.done) return read_failed(hash.error, out, messages, logs[i].name);
      log.size = hash.size;
      log.sha256 = Sha256::hex(hash.digest);
    }
  }
  output.logs_read(facts);
  return EXIT_DONE;
}

// The pass: the records of every log through the selection into the output (or the files of
// --split), then the summary and the notes. EXIT_DONE, or the status that ends the run.
int run_pass(const RunPlan& plan, const ScanResult* scanned, const std::vector<RunLog>& logs,
             RunInputs& inputs, OutBuffer& out, Messages& messages, bool& named) {
  const std::string& out_name = plan.out_name;
  std::unique_ptr<LogOutput> output;
  SplitOutput* split = nullptr;
  // --split comes with a flight scan, whose flights name the files.
  if (plan.split_dir.empty() || scanned == nullptr) {
    output = make_output(plan, inputs, out, plan.title);
  } else {
    auto split_output = std::make_unique<SplitOutput>(
        scanned->files,
        [&](OutBuffer& out_file, const SplitFile& file) {
          // Named by its file, not by the logs: the same whichever download it comes from.
          const std::string stem = std::filesystem::path(file.path).stem().string();
          return make_output(plan, inputs, out_file, stem);
        },
        plan.replace, inputs.calls);
    split = split_output.get();
    output = std::move(split_output);
  }
  // A run that fails keeps the files of --split completed before, and names them.
  const auto failed = [&](int status) {
    named = output->named_though_failed();
    if (split != nullptr && (split->settle(), report_files(messages, *split))) {
      messages.say("The files written are complete; run again to write the others.\n");
    }
    return status;
  };
  if (!output->begin()) return failed(output_failed(messages, *output, out_name));
  const Selection& selection = scanned != nullptr ? scanned->selection : plan.selection;
  std::unique_ptr<PhaseFinder> phases;
  if (plan.phases) phases = std::make_unique<PhaseFinder>(plan.sections, *plan.profile);
  RecordFilter filter(selection, *output, scanned != nullptr ? &scanned->flights : nullptr,
                      phases.get());
  std::vector<LogTally> tallies;
  ReadOutcome outcome = read_logs(plan.reads, &messages, filter, &tallies);
  if (outcome.end == ReadEnd::DONE && !filter.finish()) outcome.end = ReadEnd::STOPPED;
  if (const int status = pass_ended(outcome, output.get(), out, messages, plan.names, out_name);
      status != EXIT_DONE) {
    return failed(status);
  }
  for (const RunLog& log : logs) {
    SourceStamp at_end;
    if (log.stamped && log.in->stamp(at_end) && !(at_end == log.at_start)) {
      return failed(log_changed(out, messages, logs.size() > 1 ? log.name : std::string()));
    }
  }
  if (const int status = tell_logs(*output, logs, inputs, tallies, messages, out);
      status != EXIT_DONE) {
    return status;
  }
  if (!output->end()) return failed(output_failed(messages, *output, out_name));
  const Table table = plan.flights_table    ? Table::FLIGHTS
                      : plan.findings_asked ? Table::FINDINGS
                      : plan.cruise         ? Table::CRUISE
                      : plan.trends         ? Table::TRENDS
                                            : Table::RECORDS;
  print_summary(messages, *plan.format, table,
                {output->rows(), filter.selected(), filter.flights(), outcome.bad_packets});
  print_tallies(messages, plan.names, tallies);
  if (filter.selected() == 0 && (!selection.window.all() || !selection.flights.all())) {
    print_empty_selection(messages, selection, tallies, filter.flights_read());
  }

  RunTotals totals;
  totals.rows = output->rows();
  totals.flights = filter.flights();
  totals.split = split != nullptr;
  totals.findings = output->findings();
  if (totals.findings.findings > 0 && (table != Table::FINDINGS || plan.format->row_word.empty())) {
    print_findings(messages, totals.findings);
  }
  if (scanned != nullptr) {
    for (const FlightFacts& span : scanned->flights.spans) {
      if (selection.flights.contains(span.number)) {
        totals.positions_out_of_range += span.positions_out_of_range;
      }
    }
  }
  if (plan.format->notes != nullptr) plan.format->notes(totals, messages);
  if (const std::string note = output->closing_note(); !note.empty()) messages.say(note);
  if (split != nullptr) report_files(messages, *split);
  return EXIT_DONE;
}

}  // namespace

int convert_log(ByteStream& in, OutBuffer& out, std::string_view format, Messages& messages) {
  Options options;
  options.format = find_format(format);
  options.classic = true;
  return convert_log(in, out, options, messages);
}

int convert_log(ByteStream& in, OutBuffer& out, const Options& options, Messages& messages) {
  ByteStream* const ins[] = {&in};
  return convert_logs(ins, out, options, messages);
}

int convert_logs(std::span<ByteStream* const> ins, OutBuffer& out, const Options& given,
                 Messages& messages, SystemCalls* calls, bool* named) {
  RunInputs inputs;
  inputs.calls = calls;
  if (const int status = open_inputs(given, ins, inputs, messages); status != EXIT_DONE) {
    return status;
  }
  std::vector<RunLog> logs;
  if (const int status = survey_logs(ins, given, out, messages, logs); status != EXIT_DONE) {
    return status;
  }
  Options options = given;  // with the profile settled by the logbooks
  if (const int status = settle_profile(given, inputs, logs, messages, options.profile);
      status != EXIT_DONE) {
    return status;
  }
  RunPlan plan;
  if (std::string error; !plan_run(options, logs, inputs.history.get(), plan, error)) {
    return refuse(messages, error);
  }
  if (!plan.describe) {
    if (const int status = check_instruments(plan, logs, inputs, options, out, messages);
        status != EXIT_DONE) {
      return status;
    }
  }
  if (!plan_recut(plan, logs, inputs)) {
    messages.error_report(concat({"Error on read of ", plan.out_name}), EIO);
    return EXIT_WRITE;
  }
  if (plan.findings_asked && !plan.limits) print_no_limits(messages, plan.profile_path);
  if (plan.describe) {
    write_description(out, plan.format->delimiter, plan.columns, *plan.profile, plan.calibrated);
    if (!out.flush()) return write_failed(messages, out.failed(), plan.out_name);
    return EXIT_DONE;
  }
  ScanResult scanned;
  if (plan.scan) {
    if (const int status = scan(plan, scanned, out, messages); status != EXIT_DONE) return status;
  }
  bool output_named = false;
  const int status =
      run_pass(plan, plan.scan ? &scanned : nullptr, logs, inputs, out, messages, output_named);
  if (named != nullptr) *named = output_named;
  return status;
}

}  // namespace korvex
