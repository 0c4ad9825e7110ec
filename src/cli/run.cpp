#include "cli/run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "cli/convert.h"
#include "cli/exit_status.h"

namespace korvex {

namespace {

constexpr std::string_view kUsage =
    "(V0.8) Usage: KorvexLogDump (\"tab\", \"comma\" or \"space\" without the quotes) Korvex.rec "
    "(or any file name)\n";
constexpr std::string_view kUnknownDelimiter =
    "Unknown delimiter type, should be \"tab\", \"comma\" or \"space\"\n";

constexpr std::string_view kDelimiterWords[] = {"tab", "comma", "space"};

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

int close_log(int fd, Messages& messages) {
  if (::close(fd) != 0) {
    messages.error_report("Error on close", errno);
    return EXIT_CLOSE;
  }
  return EXIT_DONE;
}

int run_tool(int argc, const char* const* argv, OutBuffer& out, Messages& messages) {
  if (argc != 3) {
    messages.say(kUsage);
    return EXIT_USAGE;
  }
  DelimiterMode mode = DELIM_TAB;
  if (!parse_delimiter(argv[1], mode)) {
    messages.say(kUnknownDelimiter);
    return EXIT_DELIMITER;
  }
  int fd = ::open(argv[2], O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    messages.error_report("Error on open", errno);
    return EXIT_OPEN;
  }
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    messages.error_report("Error on open", EISDIR);
    return EXIT_OPEN;
  }
  ByteStream in(fd_source(&fd));
  const int status = convert_log(in, out, mode, messages);
  if (status != EXIT_DONE) {
    ::close(fd);
    return status;
  }
  return close_log(fd, messages);
}

}  // namespace korvex
