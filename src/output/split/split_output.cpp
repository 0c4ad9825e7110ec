#include "output/split/split_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "io/concat.h"

namespace korvex {

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
  temporary_ = concat({path.substr(0, slash + 1), ".", path.substr(slash + 1), ".XXXXXX"});
  fd_ = ::mkostemp(temporary_.data(), O_CLOEXEC);
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

bool SplitOutput::record(const Record& rec, std::int64_t flight) {
  if (error_ != 0) return false;
  if (!current_ || flight != current_flight_) {
    if (!finish_file()) return false;
    // A flight without a file (a track's flight without a fix) has nothing to write.
    if (!has_file(flight)) return true;
    if (!open_file()) return false;
    current_flight_ = flight;
  }
  if (!current_->record(rec, flight)) {
    errno = buffer_->failed();
    return fail(path_);
  }
  return true;
}

}  // namespace korvex
