#include "driver/run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cinttypes>
#include <cstdio>

#include "io/diagnostics.h"
#include "record/record_stream.h"
#include "survey/survey.h"
#include "table/record_rows.h"

namespace korvex {

namespace {

constexpr std::string_view kUsage =
    "(V0.8) Usage: KorvexLogDump (\"tab\", \"comma\" or \"space\" without the quotes) Korvex.rec "
    "(or any file name)\n";
constexpr std::string_view kUnknownDelimiter =
    "Unknown delimiter type, should be \"tab\", \"comma\" or \"space\"\n";

constexpr std::string_view kDelimiterWords[] = {"tab", "comma", "space"};

struct SectionLabel {
  SectionFlags flag;
  std::string_view label;
};
constexpr SectionLabel kSectionLabels[] = {{SECTION_TELM1, " TELM1"},
                                           {SECTION_TELM2, " TELM2"},
                                           {SECTION_ATTITUDE, " Attitude"},
                                           {SECTION_GPS, " GPS"}};

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

void print_section_line(SectionFlags sections) {
  diag_append("\nOptional record sections present:");
  for (const SectionLabel& s : kSectionLabels) {
    if ((sections & s.flag) != 0) diag_append(s.label);
  }
  diag_write("\n");
}

void print_groups_warning(std::uint64_t reversals) {
  char text[320];
  const int n = std::snprintf(
      text, sizeof text,
      "\nWARNING: the record timestamps are inconsistent, there are %" PRIu64
      " groups of\ncontiguous records. All records will be dumped in the order they appear in\n"
      "the file instead of from oldest to newest.\n\n",
      reversals + 1);
  diag_write(std::string_view(text, static_cast<std::size_t>(n)));
}

void print_summary(std::int64_t rows, std::int64_t bad_packets) {
  char text[128];
  const int n = std::snprintf(text, sizeof text,
                              "\nRead %" PRId64 " packets, skipped %" PRId64 " bad packets.\n",
                              rows, bad_packets);
  diag_write(std::string_view(text, static_cast<std::size_t>(n)));
}

// A failed seek ends the run: what the table holds so far is written out first.
int seek_failed(std::string_view prefix, int err, OutBuffer& out) {
  error_report(prefix, err);
  if (!out.flush()) error_report("Error on write", out.failed());
  return EXIT_SEEK;
}

// The status for a pass that ended on a failed write or read, or EXIT_DONE. The report starts a
// line of its own, after the progress text and dots of the pass.
int pass_failure(const ByteStream& in, OutBuffer& out) {
  if (out.failed() != 0) {
    diag_append("\n");
    error_report("Error on write", out.failed());
    return EXIT_WRITE;
  }
  if (in.failed() != 0) {
    diag_append("\n");
    error_report("Error on read", in.failed());
    if (!out.flush()) error_report("Error on write", out.failed());
    return EXIT_READ;
  }
  return EXIT_DONE;
}

}  // namespace

bool parse_delimiter(std::string_view word, DelimiterMode& mode) {
  for (int m = DELIM_TAB; m <= DELIM_SPACE; ++m) {
    if (equal_ignoring_case(word, kDelimiterWords[m])) {
      mode = static_cast<DelimiterMode>(m);
      return true;
    }
  }
  return false;
}

int convert_log(ByteStream& in, OutBuffer& out, DelimiterMode mode) {
  diag_write("Scanning for first and last record, please wait");
  SurveyResult survey;
  const int found = survey_log(in, survey);
  if (found == SURVEY_SEEK_FAILED) return seek_failed("seek to start", errno, out);
  if (const int status = pass_failure(in, out); status != EXIT_DONE) return status;
  if (found != SURVEY_FOUND) {
    diag_write("\nUnable to locating starting and/or ending record\n");
    return EXIT_NO_RECORDS;
  }
  print_section_line(survey.sections_seen);
  print_header(out, mode, survey.sections_seen);
  // Only the rejections of the dump passes are reported.
  bad_packet_count = 0;

  const bool file_order = survey.reversals >= 2;
  if (file_order) {
    print_groups_warning(survey.reversals);
    if (in.seek(0) != 0) return seek_failed("seek to start", errno, out);
  } else if (in.seek(survey.oldest_pos) != 0) {
    return seek_failed("seek to oldest", errno, out);
  }
  diag_write("Dumping packets, please wait");
  std::int64_t rows = dump_records(in, out, mode, NO_LIMIT, survey.sections_seen);
  if (const int status = pass_failure(in, out); status != EXIT_DONE) return status;

  // A wrapped log: the newest records lie ahead of the oldest one, from the start of the file.
  if (!file_order && survey.newest_pos < survey.oldest_pos) {
    if (in.seek(0) != 0) return seek_failed("seek to start", errno, out);
    rows += dump_records(in, out, mode, survey.oldest_pos, survey.sections_seen);
    if (const int status = pass_failure(in, out); status != EXIT_DONE) return status;
  }
  if (!out.flush()) return pass_failure(in, out);
  print_summary(rows, bad_packet_count);
  return EXIT_DONE;
}

int run_tool(int argc, const char* const* argv, OutBuffer& out) {
  if (argc != 3) {
    diag_write(kUsage);
    return EXIT_USAGE;
  }
  DelimiterMode mode = DELIM_TAB;
  if (!parse_delimiter(argv[1], mode)) {
    diag_write(kUnknownDelimiter);
    return EXIT_DELIMITER;
  }
  int fd = ::open(argv[2], O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error_report("Error on open", errno);
    return EXIT_OPEN;
  }
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    error_report("Error on open", EISDIR);
    return EXIT_OPEN;
  }
  ByteStream in(fd_source(&fd));
  const int status = convert_log(in, out, mode);
  if (status != EXIT_DONE) {
    ::close(fd);
    return status;
  }
  return close_log(fd);
}

int close_log(int fd) {
  if (::close(fd) != 0) {
    error_report("Error on close", errno);
    return EXIT_CLOSE;
  }
  return EXIT_DONE;
}

}  // namespace korvex
