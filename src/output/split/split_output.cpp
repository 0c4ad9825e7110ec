#include "output/split/split_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <unordered_set>

#include "io/concat.h"
#include "record/timestamp.h"

namespace korvex {

namespace {

constexpr int kMinNumberWidth = 3;
constexpr std::size_t kMaxBatch = 4096;                   // files named after one sync
constexpr std::int64_t kFileFlight = 1;                   // the number of a file's flight in it
constexpr std::size_t kScratch = std::size_t{64} * 1024;  // of a file compared or copied

int digits(std::int64_t n) {
  int width = 1;
  for (; n >= 10; n /= 10) ++width;
  return width;
}

}  // namespace

std::string split_path(const std::string& dir, const FlightFacts& flight, int number_width,
                       std::string_view extension) {
  char name[96];
  const std::string ext(extension);
  if (flight.first_layout >= FIRST_DATED_LAYOUT) {
    const CivilTime t = civil_time(flight.first_time);
    std::snprintf(name, sizeof name, "%04d-%02u-%02u_%02u%02u%02u.%s", t.year, t.month, t.day,
                  t.hour, t.minute, t.second, ext.c_str());
  } else {
    std::snprintf(name, sizeof name, "flight-%0*" PRId64 "_%u.%s", number_width, flight.number,
                  flight.first_time, ext.c_str());
  }
  return concat({dir, dir.back() == '/' ? "" : "/", name});
}

std::vector<SplitFile> split_files(const std::string& dir, const FlightScan& scan,
                                   const FlightList& flights, bool need_fix,
                                   std::string_view extension) {
  const int width = std::max(kMinNumberWidth, digits(scan.flights));
  std::vector<SplitFile> files;
  std::unordered_set<std::string> taken;
  for (const FlightFacts& span : scan.spans) {
    if (!flights.contains(span.number) || (need_fix && span.fixes == 0)) continue;
    std::string path = split_path(dir, span, width, extension);
    if (!taken.insert(path).second) {
      // Two flights that start in the same second (the clock was set back between them).
      const std::size_t dot = path.size() - extension.size() - 1;
      for (int n = 2;; ++n) {
        std::string other = concat({std::string_view(path).substr(0, dot), "_", std::to_string(n),
                                    std::string_view(path).substr(dot)});
        if (taken.insert(other).second) {
          path = std::move(other);
          break;
        }
      }
    }
    files.push_back({span.number, std::move(path)});
  }
  return files;
}

FlightFileSink::FlightFileSink() : scratch_(new char[kScratch]) {}

bool FlightFileSink::open(const std::string& path, bool replace, SystemCalls* calls) {
  discard();
  path_ = path;
  replace_ = replace;
  calls_ = calls;
  existing_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  existed_ = existing_ >= 0;
  if (existing_ < 0) {
    if (errno != ENOENT) return false;
    return file_.create(path, NewFile::Naming::UNNAMED_FIRST, calls_);
  }
  struct stat st {};
  if (::fstat(existing_, &st) != 0) return false;
  // Something else of that name (a folder): differs from the start.
  if (!S_ISREG(st.st_mode)) return diverge();
  return true;
}

// From here on the bytes differ from the file of the name: they go to a new file that starts
// with the bytes that agreed, or nowhere when that file is kept.
bool FlightFileSink::diverge() {
  const int existing = existing_;
  existing_ = -1;
  if (!replace_) {
    kept_ = true;
    ::close(existing);
    return true;
  }
  bool copied = file_.create(path_, NewFile::Naming::UNNAMED_FIRST, calls_);
  for (off_t at = 0; copied && at < compared_;) {
    const std::int64_t left = compared_ - at;
    const std::size_t n =
        left < static_cast<std::int64_t>(kScratch) ? static_cast<std::size_t>(left) : kScratch;
    const ssize_t got = read_at(existing, scratch_.get(), n, at);
    if (got != static_cast<ssize_t>(n)) {
      if (got >= 0) errno = EIO;  // it shrank while being read
      copied = false;
    } else {
      copied = write_all(file_.fd(), scratch_.get(), n, calls_);
    }
    at += static_cast<off_t>(n);
  }
  const int err = errno;
  ::close(existing);
  errno = err;
  return copied;
}

bool FlightFileSink::compare(const char* data, std::size_t n) {
  while (n > 0) {
    const std::size_t part = std::min(n, kScratch);
    const ssize_t got = read_at(existing_, scratch_.get(), part, compared_);
    if (got < 0) return false;
    if (static_cast<std::size_t>(got) != part || std::memcmp(scratch_.get(), data, part) != 0) {
      return diverge() && (kept_ || write_all(file_.fd(), data, n, calls_));
    }
    compared_ += static_cast<std::int64_t>(part);
    data += part;
    n -= part;
  }
  return true;
}

bool FlightFileSink::put(const char* data, std::size_t n) {
  if (existing_ >= 0) return compare(data, n);
  if (kept_) return true;
  return write_all(file_.fd(), data, n, calls_);
}

FlightFileSink::Outcome FlightFileSink::finish(NewFile& file) {
  if (existing_ >= 0) {
    struct stat st {};
    if (::fstat(existing_, &st) != 0) return Outcome::FAILED;
    if (st.st_size == compared_) {
      ::close(existing_);
      existing_ = -1;
      return Outcome::SAME;
    }
    // The file of the name goes on past the flight's bytes.
    if (!diverge()) return Outcome::FAILED;
  }
  if (kept_) return Outcome::KEPT;
  file = std::move(file_);
  return existed_ ? Outcome::REPLACE : Outcome::NEW;
}

void FlightFileSink::discard() {
  if (existing_ >= 0) ::close(existing_);
  existing_ = -1;
  file_.discard();
  compared_ = 0;
  kept_ = false;
}

SplitOutput::SplitOutput(std::vector<SplitFile> files, MakeOutput make, bool replace,
                         SystemCalls* calls)
    : files_(std::move(files)),
      fates_(files_.size(), FileFate::NONE),
      make_(std::move(make)),
      replace_(replace),
      calls_(calls),
      batch_(std::min(open_file_budget(), kMaxBatch)),
      buffer_(&sink_) {}

bool SplitOutput::fail(const std::string& path) {
  if (error_ == 0) {
    error_ = errno != 0 ? errno : EIO;
    failed_ = path;
  }
  sink_.discard();
  current_.reset();
  return false;
}

bool SplitOutput::has_file(std::int64_t flight) {
  while (next_ < files_.size() && files_[next_].flight < flight) ++next_;
  return next_ < files_.size() && files_[next_].flight == flight;
}

bool SplitOutput::open_file() {
  const SplitFile& file = files_[next_];
  if (!sink_.open(file.path, replace_, calls_)) return fail(file.path);
  buffer_.reset();
  current_ = make_(buffer_, file);
  if (current_->begin()) return true;
  errno = buffer_.failed();
  return fail(file.path);
}

bool SplitOutput::finish_file() {
  if (!current_) return error_ == 0;
  const bool written = current_->end();
  rows_ += current_->rows();
  findings_ += current_->findings();
  current_.reset();
  errno = buffer_.failed();
  if (!written) return fail(sink_.path());
  const std::size_t index = next_++;
  NewFile file;
  const FlightFileSink::Outcome outcome = sink_.finish(file);
  switch (outcome) {
    case FlightFileSink::Outcome::FAILED:
      return fail(sink_.path());
    case FlightFileSink::Outcome::SAME:
      fates_[index] = FileFate::UNCHANGED;
      return true;
    case FlightFileSink::Outcome::KEPT:
      fates_[index] = FileFate::KEPT;
      return true;
    case FlightFileSink::Outcome::NEW:
    case FlightFileSink::Outcome::REPLACE:
      break;
  }
  pending_.push_back({index, std::move(file), outcome == FlightFileSink::Outcome::REPLACE});
  return pending_.size() < batch_ || settle();
}

bool SplitOutput::settle_file(Pending& pending) {
  NewFile& file = pending.file;
  FileFate& fate = fates_[pending.index];
  if (pending.replace) {
    if (!file.publish(true)) return fail(file.path());
    fate = FileFate::REPLACED;
    return true;
  }
  if (file.publish(false)) {
    fate = FileFate::WRITTEN;
    return true;
  }
  if (errno != EEXIST || !file.is_open()) return fail(file.path());
  // Made by someone else since the run looked.
  if (same_content(file.fd(), file.path())) {
    fate = FileFate::UNCHANGED;
  } else if (!replace_) {
    fate = FileFate::KEPT;
  } else {
    if (!file.publish(true)) return fail(file.path());
    fate = FileFate::REPLACED;
  }
  file.discard();
  return true;
}

bool SplitOutput::settle() {
  if (pending_.empty()) return true;
  // The data of every file on disk before any of them gets its name.
  const std::string folder_file = pending_.front().file.path();
  bool settled = syncfs_call(calls_, pending_.front().file.fd()) == 0;
  if (!settled) fail(folder_file);
  bool named = false;
  for (Pending& pending : pending_) {
    if (!settled) break;
    settled = settle_file(pending);
    const FileFate fate = fates_[pending.index];
    named = named || fate == FileFate::WRITTEN || fate == FileFate::REPLACED;
  }
  pending_.clear();
  // ... and their names.
  if (settled && named && !sync_folder_of(folder_file, calls_)) return fail(folder_file);
  return settled;
}

bool SplitOutput::begin_flight(const FlightFacts& facts) {
  if (error_ != 0) return false;
  // A flight without a file (a track's flight without a fix) has nothing to write.
  if (!has_file(facts.number)) return true;
  if (!open_file()) return false;
  // A file is the flight's alone, the same whichever logs it was read from: its flight is
  // flight 1 of the file.
  FlightFacts own = facts;
  own.number = kFileFlight;
  if (!current_->begin_flight(own)) {
    errno = buffer_.failed();
    return fail(sink_.path());
  }
  return true;
}

bool SplitOutput::record(const RecordEvent& event) {
  if (error_ != 0) return false;
  if (!current_) return true;
  if (!current_->record(RecordEvent(event.rec, kFileFlight))) {
    errno = buffer_.failed();
    return fail(sink_.path());
  }
  return true;
}

bool SplitOutput::end_flight() {
  if (error_ != 0) return false;
  if (!current_) return true;
  if (!current_->end_flight()) {
    errno = buffer_.failed();
    return fail(sink_.path());
  }
  return finish_file();
}

}  // namespace korvex
