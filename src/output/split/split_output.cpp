#include "output/split/split_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>

#include "io/concat.h"
#include "record/timestamp.h"

namespace korvex {

namespace {

constexpr mode_t kFileMode = 0666;  // less the umask
constexpr int kTemporaryNameTries = 100;

// A new file for writing under a temporary name made from `stem`, the process and `serial`;
// -1 with errno set.
int create_temporary(const std::string& stem, unsigned& serial, std::string& name) {
  for (int i = 0; i < kTemporaryNameTries; ++i) {
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, ".%ld.%u", static_cast<long>(::getpid()), serial++);
    name = stem + suffix;
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kFileMode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

std::string split_path(const std::string& dir, const FlightFacts& flight,
                       std::string_view extension) {
  char name[96];
  const std::string ext(extension);
  if (flight.first_layout >= FIRST_DATED_LAYOUT) {
    const CivilTime t = civil_time(flight.first_time);
    std::snprintf(name, sizeof name, "flight-%03" PRId64 "_%04d-%02u-%02u_%02u%02u%02u.%s",
                  flight.number, t.year, t.month, t.day, t.hour, t.minute, t.second, ext.c_str());
  } else {
    std::snprintf(name, sizeof name, "flight-%03" PRId64 "_%u.%s", flight.number, flight.first_time,
                  ext.c_str());
  }
  return concat({dir, dir.back() == '/' ? "" : "/", name});
}

std::vector<SplitFile> split_files(const std::string& dir, const FlightScan& scan,
                                   const FlightList& flights, bool need_fix,
                                   std::string_view extension) {
  std::vector<SplitFile> files;
  for (const FlightFacts& span : scan.spans) {
    if (!flights.contains(span.number) || (need_fix && span.fixes == 0)) continue;
    files.push_back({span.number, split_path(dir, span, extension)});
  }
  return files;
}

ExistingFiles existing_files(const std::vector<SplitFile>& files) {
  ExistingFiles existing;
  for (const SplitFile& file : files) {
    struct stat st {};
    if (::lstat(file.path.c_str(), &st) == 0 && existing.count++ == 0) existing.first = file.path;
  }
  return existing;
}

SplitOutput::SplitOutput(std::vector<SplitFile> files, MakeOutput make)
    : files_(std::move(files)), make_(std::move(make)) {}

SplitOutput::~SplitOutput() {
  if (fd_ >= 0) {
    ::close(fd_);
    ::unlink(temporary_.c_str());
  }
}

bool SplitOutput::fail(const std::string& path) {
  if (error_ == 0) {
    error_ = errno != 0 ? errno : EIO;
    failed_ = path;
  }
  if (fd_ >= 0) {
    ::close(fd_);
    ::unlink(temporary_.c_str());
    fd_ = -1;
  }
  current_.reset();
  return false;
}

bool SplitOutput::has_file(std::int64_t flight) {
  while (next_ < files_.size() && files_[next_].flight < flight) ++next_;
  return next_ < files_.size() && files_[next_].flight == flight;
}

bool SplitOutput::open_file() {
  const std::int64_t flight = files_[next_].flight;
  path_ = files_[next_++].path;
  const std::size_t slash = path_.rfind('/');
  const std::string_view path = path_;
  fd_ = create_temporary(concat({path.substr(0, slash + 1), ".", path.substr(slash + 1)}), serial_,
                         temporary_);
  if (fd_ < 0) return fail(path_);
  buffer_ = std::make_unique<OutBuffer>(fd_);
  current_ = make_(*buffer_, flight);
  current_->begin();
  return true;
}

bool SplitOutput::finish_file() {
  if (!current_) return error_ == 0;
  const bool written = current_->end();
  rows_ += current_->rows();
  findings_ += current_->findings();
  current_.reset();
  errno = buffer_->failed();
  if (!written || ::fsync(fd_) != 0) return fail(path_);
  if (::close(fd_) != 0) {
    fd_ = -1;
    ::unlink(temporary_.c_str());
    return fail(path_);
  }
  fd_ = -1;
  // link() never replaces an existing file.
  const bool linked = ::link(temporary_.c_str(), path_.c_str()) == 0;
  const int err = errno;
  ::unlink(temporary_.c_str());
  if (!linked) {
    errno = err;
    return fail(path_);
  }
  written_.push_back(path_);
  return true;
}

bool SplitOutput::begin_flight(const FlightFacts& facts) {
  if (error_ != 0) return false;
  // A flight without a file (a track's flight without a fix) has nothing to write.
  if (!has_file(facts.number)) return true;
  if (!open_file()) return false;
  if (!current_->begin_flight(facts)) {
    errno = buffer_->failed();
    return fail(path_);
  }
  return true;
}

bool SplitOutput::record(const RecordEvent& event) {
  if (error_ != 0) return false;
  if (!current_) return true;
  if (!current_->record(event)) {
    errno = buffer_->failed();
    return fail(path_);
  }
  return true;
}

bool SplitOutput::end_flight() {
  if (error_ != 0) return false;
  if (!current_) return true;
  if (!current_->end_flight()) {
    errno = buffer_->failed();
    return fail(path_);
  }
  return finish_file();
}

}  // namespace korvex
