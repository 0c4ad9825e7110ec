#include "io/new_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

namespace korvex {

namespace {

constexpr mode_t kFileMode = 0666;  // less the umask
constexpr int kTemporaryNameTries = 100;
constexpr std::size_t kCompareBlock = std::size_t{64} * 1024;
constexpr rlim_t kWantedOpenFiles = 8192;
constexpr rlim_t kOpenFilesKept = 64;  // for the logs, standard streams and libraries

// ".NAME.PID.N" beside `path`.
std::string hidden_name(const std::string& path, int n) {
  const std::size_t slash = path.rfind('/');
  const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
  char suffix[48];
  std::snprintf(suffix, sizeof suffix, ".%ld.%d", static_cast<long>(::getpid()), n);
  return std::string(path, 0, start).append(".").append(path, start).append(suffix);
}

// `name` in `folder`.
std::string concat_path(const std::string& folder, const std::string& name) {
  return folder == "/" ? "/" + name : folder + "/" + name;
}

}  // namespace

int remove_left_behind(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "./" : path.substr(0, slash + 1);
  const std::string prefix =
      "." + (slash == std::string::npos ? path : path.substr(slash + 1)) + ".";
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return 0;
  int removed = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name.substr(0, prefix.size()) != prefix) continue;
    // PID.N, digits only.
    const std::string_view rest = name.substr(prefix.size());
    const std::size_t dot = rest.find('.');
    const auto digits = [](std::string_view text) {
      return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
    };
    if (dot == std::string_view::npos || !digits(rest.substr(0, dot)) ||
        !digits(rest.substr(dot + 1)) || dot > 9) {
      continue;
    }
    const pid_t pid =
        static_cast<pid_t>(std::strtol(std::string(rest.substr(0, dot)).c_str(), nullptr, 10));
    if (pid <= 0 || pid == ::getpid() || ::kill(pid, 0) == 0 || errno != ESRCH) continue;
    struct stat st {};
    const std::string file = folder + std::string(name);
    if (::lstat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::unlink(file.c_str()) == 0) {
      ++removed;
    }
  }
  ::closedir(dir);
  return removed;
}

namespace {

// Gives the open unnamed file `fd` the name `to`, which must not exist.
bool link_unnamed(int fd, const std::string& to, SystemCalls* calls) {
  char proc[48];
  std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd);
  if (linkat_call(calls, AT_FDCWD, proc, AT_FDCWD, to.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
  if (errno != ENOENT) return false;
  return linkat_call(calls, fd, "", AT_FDCWD, to.c_str(), AT_EMPTY_PATH) == 0;
}

}  // namespace

NewFile& NewFile::operator=(NewFile&& other) noexcept {
  if (this != &other) {
    discard();
    fd_ = other.fd_;
    path_ = std::move(other.path_);
    temporary_ = std::move(other.temporary_);
    calls_ = other.calls_;
    other.fd_ = -1;
    other.temporary_.clear();
  }
  return *this;
}

bool NewFile::create(const std::string& path, Naming naming, SystemCalls* calls) {
  discard();
  path_ = path;
  calls_ = calls;
  const std::string folder = folder_of(path);
  if (naming == Naming::UNNAMED_FIRST && ::access("/proc/self/fd", X_OK) == 0) {
    fd_ = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, kFileMode);
    if (fd_ >= 0) return true;
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return false;
  }
  // A file system without unnamed files: a hidden name.
  for (int n = 0; n < kTemporaryNameTries; ++n) {
    temporary_ = hidden_name(path, n);
    fd_ = ::open(temporary_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, kFileMode);
    if (fd_ >= 0) return true;
    if (errno != EEXIST) break;
  }
  temporary_.clear();
  return false;
}

bool NewFile::publish(bool replace) {
  if (fd_ < 0) {
    errno = EBADF;
    return false;
  }
  bool done = false;
  if (!replace) {
    // Neither link() nor a rename with RENAME_NOREPLACE replaces an existing file.
    if (temporary_.empty()) {
      done = link_unnamed(fd_, path_, calls_);
    } else if (renameat2_call(calls_, temporary_.c_str(), path_.c_str(), RENAME_NOREPLACE) == 0) {
      done = true;
      temporary_.clear();  // it is the file's name now
    } else if (errno == EINVAL || errno == ENOSYS) {
      // A file system that cannot rename without replacing: a second link.
      done = link_call(calls_, temporary_.c_str(), path_.c_str()) == 0;
    }
    if (!done && errno == EEXIST) return false;
  } else {
    if (temporary_.empty()) {
      for (int n = 0; n < kTemporaryNameTries; ++n) {
        std::string name = hidden_name(path_, n);
        if (link_unnamed(fd_, name, calls_)) {
          temporary_ = std::move(name);
          break;
        }
        if (errno != EEXIST) break;
      }
    }
    done = !temporary_.empty() && rename_call(calls_, temporary_.c_str(), path_.c_str()) == 0;
    if (done) temporary_.clear();
  }
  const int err = errno;
  const bool closed = ::close(fd_) == 0;
  const int close_err = errno;
  fd_ = -1;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
  if (!done) {
    errno = err;
    return false;
  }
  if (!closed) {
    errno = close_err;
    return false;
  }
  return true;
}

void NewFile::discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
}

ssize_t read_at(int fd, char* data, std::size_t n, off_t offset) {
  std::size_t got = 0;
  while (got < n) {
    const ssize_t r = ::pread(fd, data + got, n - got, offset + static_cast<off_t>(got));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return -1;
    if (r == 0) break;
    got += static_cast<std::size_t>(r);
  }
  return static_cast<ssize_t>(got);
}

bool write_all(int fd, const void* bytes, std::size_t n, SystemCalls* calls) {
  const char* data = static_cast<const char*>(bytes);
  while (n > 0) {
    const ssize_t put = write_call(calls, fd, data, n);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      if (put == 0) errno = EIO;
      return false;
    }
    data += put;
    n -= static_cast<std::size_t>(put);
  }
  return true;
}

bool same_content(int fd, const std::string& path) {
  struct stat ours {};
  struct stat theirs {};
  const int other = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (other < 0) return false;
  bool same = ::fstat(fd, &ours) == 0 && ::fstat(other, &theirs) == 0 && S_ISREG(theirs.st_mode) &&
              ours.st_size == theirs.st_size;
  if (same) {
    const std::unique_ptr<char[]> a(new char[kCompareBlock]);
    const std::unique_ptr<char[]> b(new char[kCompareBlock]);
    for (off_t at = 0; same && at < ours.st_size; at += static_cast<off_t>(kCompareBlock)) {
      const ssize_t n = read_at(fd, a.get(), kCompareBlock, at);
      same = n > 0 && read_at(other, b.get(), kCompareBlock, at) == n &&
             std::memcmp(a.get(), b.get(), static_cast<std::size_t>(n)) == 0;
    }
  }
  ::close(other);
  return same;
}

std::size_t open_file_budget() {
  struct rlimit limit {};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 1;
  if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < kWantedOpenFiles &&
      limit.rlim_cur < limit.rlim_max) {
    struct rlimit raised = limit;
    raised.rlim_cur = limit.rlim_max < kWantedOpenFiles ? limit.rlim_max : kWantedOpenFiles;
    if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
  }
  const rlim_t n = limit.rlim_cur == RLIM_INFINITY ? kWantedOpenFiles : limit.rlim_cur;
  if (n > 2 * kOpenFilesKept) return static_cast<std::size_t>(n - kOpenFilesKept);
  return n > 2 ? static_cast<std::size_t>(n / 2) : 1;
}

std::string folder_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string path_through_links(const std::string& path) {
  constexpr int kMostLinks = 40;  // as the kernel follows at most
  std::string at = path;
  for (int n = 0; n < kMostLinks; ++n) {
    struct stat st {};
    if (::lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return at;
    std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 256), '\0');
    const ssize_t n_read = ::readlink(at.c_str(), target.data(), target.size());
    if (n_read <= 0) return at;
    target.resize(static_cast<std::size_t>(n_read));
    at = target.front() == '/' || at.find('/') == std::string::npos
             ? target
             : concat_path(folder_of(at), target);
  }
  return at;
}

std::string unsynced_folder(const std::string& path, int err) {
  return std::string(std::strerror(err))
      .append(" (its folder could not be synced: ")
      .append(path)
      .append(" is whole, but a power cut may lose it)");
}

bool sync_folder_of(const std::string& path, SystemCalls* calls) {
  const int fd = ::open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = fsync_call(calls, fd) == 0;
  const int err = errno;
  ::close(fd);
  errno = err;
  return synced;
}

}  // namespace korvex
