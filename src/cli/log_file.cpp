#include "cli/log_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>

#include "cli/exit_status.h"
#include "cli/options.h"
#include "io/concat.h"
#include "io/new_file.h"

namespace korvex {

namespace {

constexpr std::size_t kCopyBuffer = std::size_t{256} * 1024;

std::string temporary_folder() {
  const char* dir = std::getenv("TMPDIR");
  return dir != nullptr && *dir != '\0' ? dir : "/tmp";
}

// An unnamed file in `dir`, open for reading and writing; -1 with errno set.
int unnamed_file(const std::string& dir) {
  const int fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) return fd;
  // A file system without O_TMPFILE: a named file, removed at once.
  std::string name = dir + "/KorvexLogDump-XXXXXX";
  const int named = ::mkostemp(name.data(), O_CLOEXEC);
  if (named >= 0) ::unlink(name.c_str());
  return named;
}

// Copies a stream that cannot seek (standard input, a pipe, a FIFO), open as `from` and named
// `name` in messages, to an unnamed temporary file, positioned at its start, into `fd`.
int copy_stream(int from, std::string_view name, Messages& messages, int& fd) {
  const std::string dir = temporary_folder();
  const std::string failure = concat({"Error on copy of ", name, " to a temporary file in ", dir});
  fd = unnamed_file(dir);
  if (fd < 0) {
    messages.error_report(failure, errno);
    return EXIT_OPEN;
  }
  const std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[kCopyBuffer]);
  for (;;) {
    const ssize_t got = ::read(from, buffer.get(), kCopyBuffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      messages.error_report("Error on read", errno);
      ::close(fd);
      return EXIT_READ;
    }
    if (got == 0) break;
    if (!write_all(fd, buffer.get(), static_cast<std::size_t>(got))) {
      messages.error_report(failure, errno);
      ::close(fd);
      return EXIT_OPEN;
    }
  }
  if (::lseek(fd, 0, SEEK_SET) != 0) {
    messages.error_report(failure, errno);
    ::close(fd);
    return EXIT_OPEN;
  }
  return EXIT_DONE;
}

}  // namespace

int open_log(std::string_view path, Messages& messages, int& fd, bool classic) {
  const std::string failure = classic ? "Error on open" : concat({"Error on open of ", path});
  struct stat st {};
  if (path == STANDARD_INPUT) {
    // A regular file is read where it is; anything else is copied first.
    if (::fstat(STDIN_FILENO, &st) == 0 && S_ISREG(st.st_mode)) {
      fd = STDIN_FILENO;
      return EXIT_DONE;
    }
    return copy_stream(STDIN_FILENO, "standard input", messages, fd);
  }
  fd = ::open(std::string(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    messages.error_report(failure, errno);
    return EXIT_OPEN;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    messages.error_report(failure, EISDIR);
    return EXIT_OPEN;
  }
  // A pipe or FIFO (<(zcat log.rec.gz), /dev/stdin from a pipe) is read as standard input is:
  // copied first. One without a writer gives no bytes (opened without waiting for one).
  if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)) {
    const int stream = fd;
    const int copied = copy_stream(stream, path, messages, fd);
    ::close(stream);
    return copied;
  }
  return EXIT_DONE;
}

std::string log_name(const std::string& path) {
  if (path == STANDARD_INPUT) return "standard input";
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos || slash + 1 == path.size() ? path : path.substr(slash + 1);
}

std::string log_heading(std::size_t i, std::size_t n, const std::string& path) {
  return concat(
      {"Log ", std::to_string(i + 1), " of ", std::to_string(n), ": ", log_name(path), "\n"});
}

int close_log(int fd, Messages& messages) {
  if (::close(fd) != 0) {
    messages.error_report("Error on close", errno);
    return EXIT_CLOSE;
  }
  return EXIT_DONE;
}

}  // namespace korvex
