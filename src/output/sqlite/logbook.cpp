#include "output/sqlite/logbook.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

#include "fields/column_set.h"
#include "io/concat.h"
#include "record/validation.h"

namespace korvex {

namespace {

constexpr int kLockTries = 3;  // the name given another file while the lock was taken

// The text of a query's single value, or nothing when it fails or gives no row.
bool query_text(sqlite3* db, const char* sql, std::string& text) {
  sqlite3_stmt* stmt = nullptr;
  bool found = false;
  if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK &&
      sqlite3_step(stmt) == SQLITE_ROW) {
    const unsigned char* value = sqlite3_column_text(stmt, 0);
    text = value != nullptr ? reinterpret_cast<const char*>(value) : "";
    found = true;
  }
  sqlite3_finalize(stmt);
  return found;
}

// The names of the columns of table `records`.
std::set<std::string> record_columns(sqlite3* db) {
  std::set<std::string> names;
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, "SELECT name FROM pragma_table_info('records')", -1, &stmt, nullptr) ==
      SQLITE_OK) {
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      names.insert(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    }
  }
  sqlite3_finalize(stmt);
  return names;
}

// Copies every byte of `from` to `to` (both at their start).
bool copy_bytes(int from, int to) {
  loff_t in = 0, out = 0;
  for (;;) {
    const ssize_t n = ::copy_file_range(from, &in, to, &out, std::size_t{1} << 30, 0);
    if (n == 0) return true;
    if (n > 0) continue;
    if (errno == EINTR) continue;
    if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) return false;
    break;  // a file system that cannot: by reads and writes
  }
  std::vector<char> piece(std::size_t{1} << 20);
  for (;;) {
    const ssize_t n = read_at(from, piece.data(), piece.size(), in);
    if (n < 0) return false;
    if (n == 0) return true;
    if (::pwrite(to, piece.data(), static_cast<std::size_t>(n), out) != n) {
      if (errno == 0) errno = EIO;
      return false;
    }
    in += n;
    out += n;
  }
}

}  // namespace

// The records of the logbook, read back from the packets it keeps, in the order of their
// timestamps (of equal ones, in the order they were added).
class Logbook::History final : public RecordSource {
 public:
  explicit History(sqlite3* db) {
    ok_ = sqlite3_prepare_v2(db,
                             "SELECT packet, flight, records.rowid FROM records JOIN packets ON "
                             "record = records.rowid ORDER BY clock, records.rowid",
                             -1, &stmt_, nullptr) == SQLITE_OK;
    if (!ok_) {
      outcome_.end = ReadEnd::READ_FAILED;
      outcome_.error = EIO;
    }
  }
  ~History() override { sqlite3_finalize(stmt_); }
  History(const History&) = delete;
  History& operator=(const History&) = delete;

  const Record* next() override {
    while (ok_) {
      const int stepped = sqlite3_step(stmt_);
      if (stepped == SQLITE_DONE) {
        ok_ = false;
        break;
      }
      if (stepped != SQLITE_ROW) {
        outcome_.end = ReadEnd::READ_FAILED;
        outcome_.error = EIO;
        ok_ = false;
        break;
      }
      const int size = sqlite3_column_bytes(stmt_, 0);
      const void* bytes = sqlite3_column_blob(stmt_, 0);
      if (bytes == nullptr || size <= 0 || static_cast<std::size_t>(size) > sizeof packet_) {
        ++outcome_.bad_packets;
        continue;
      }
      std::memcpy(packet_, bytes, static_cast<std::size_t>(size));
      if (!validate_record(packet_, static_cast<std::uint32_t>(size), rec_)) {
        ++outcome_.bad_packets;  // a row changed by hand: passed over
        continue;
      }
      flight_ = sqlite3_column_int64(stmt_, 1);
      row_ = sqlite3_column_int64(stmt_, 2);
      ++outcome_.records;
      return &rec_;
    }
    return nullptr;
  }
  ReadOutcome outcome() const override { return outcome_; }

  std::int64_t flight() const { return flight_; }
  std::int64_t row() const { return row_; }

 private:
  sqlite3_stmt* stmt_ = nullptr;
  bool ok_ = false;
  std::uint8_t packet_[MAX_RECORD_BODY + RECORD_HEADER_LEN] = {};
  Record rec_;
  std::int64_t flight_ = 0, row_ = 0;
  ReadOutcome outcome_;
};

Logbook::Logbook() = default;

Logbook::~Logbook() {
  discard();
}

RecordSource* Logbook::history() const {
  return history_.get();
}
std::int64_t Logbook::stored_flight() const {
  return history_ ? history_->flight() : 0;
}
std::int64_t Logbook::stored_row() const {
  return history_ ? history_->row() : 0;
}

Logbook::Opened Logbook::refuse(std::string message) {
  message_ = std::move(message);
  discard();
  return Opened::REFUSED;
}

Logbook::Opened Logbook::failed(std::string what, int err) {
  message_ = std::move(what);
  error_ = err != 0 ? err : EIO;
  discard();
  return Opened::FAILED;
}

Logbook::Opened Logbook::open(const std::string& path, bool replace) {
  path_ = path;
  replace_ = replace;
  remove_left_behind(path);  // by a run that was killed
  struct stat st {};
  if (replace || ::stat(path.c_str(), &st) != 0) {
    // A new logbook: under a hidden name until complete, with no journal.
    if (!file_.create(path, NewFile::Naming::HIDDEN_NAME)) {
      return failed(concat({"Error on open of ", path}), errno);
    }
    if (!open_copy()) return failed(concat({"Error on open of ", path}), error_);
    return Opened::NEW;
  }
  // A link to a logbook stays a link: its target is replaced.
  if (char* target = ::realpath(path.c_str(), nullptr); target != nullptr) {
    path_ = target;
    std::free(target);
    if (path_ != path) remove_left_behind(path_);
  }
  if (!check_original(path)) return error_ != 0 ? Opened::FAILED : Opened::REFUSED;
  if (!copy_original()) return failed(concat({"Error on copy of ", path}), errno);
  if (!open_copy()) return failed(concat({"Error on open of a copy of ", path}), error_);
  history_ = std::make_unique<History>(original_);
  return Opened::EXISTING;
}

// Opens the logbook read-only, holds a read lock on it until the run ends, and checks it is one
// this program can add to; false with message_ (and error_ when it could not be read).
bool Logbook::check_original(const std::string& path) {
  // The logbook's file, opened before the database: when the name still gives this file once
  // the lock is held, the lock is the file's (another run may have replaced it meanwhile).
  for (int attempt = 0;; ++attempt) {
    original_fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (original_fd_ < 0) {
      failed(concat({"Error on open of ", path}), errno);
      return false;
    }
    if (!lock_original(path)) return false;
    struct stat named {
    }, held{};
    if (::stat(path_.c_str(), &named) == 0 && ::fstat(original_fd_, &held) == 0 &&
        named.st_dev == held.st_dev && named.st_ino == held.st_ino) {
      return true;
    }
    sqlite3_close(original_);
    original_ = nullptr;
    ::close(original_fd_);
    original_fd_ = -1;
    if (attempt == kLockTries) {
      failed(concat({"Error on open of ", path}), EBUSY);
      return false;
    }
  }
}

// Opens the logbook, locks it (a write lock where it can be written, that no other writer
// shares, else a read lock) and checks it is one this program can add to; false with message_
// (and error_ when it could not be read).
bool Logbook::lock_original(const std::string& path) {
  const bool writable = ::access(path_.c_str(), W_OK) == 0;
  if (sqlite3_open_v2(
          path_.c_str(), &original_,
          (writable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_NOMUTEX,
          nullptr) != SQLITE_OK) {
    failed(concat({"Error on open of ", path}), sqlite3_system_errno(original_));
    return false;
  }
  std::string version;
  if (sqlite3_exec(original_, writable ? "BEGIN IMMEDIATE" : "BEGIN", nullptr, nullptr, nullptr) !=
          SQLITE_OK ||
      !query_text(original_, "PRAGMA user_version", version)) {
    const int code = sqlite3_errcode(original_);
    if (code == SQLITE_BUSY) {
      failed(concat({path,
                     " is being changed by another program (another run adding to it?): "
                     "run again when it is done"}),
             EBUSY);
    } else if (code == SQLITE_NOTADB) {
      refuse(concat({path,
                     " is no SQLite database, so no logbook to add to: give the logbook's "
                     "name, a new name, or --force to replace the file"}));
    } else {
      failed(concat({"Error on read of ", path, " (", sqlite3_errmsg(original_), ")"}),
             sqlite3_system_errno(original_));
    }
    return false;
  }
  std::string tables;
  query_text(original_,
             "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN ('records', "
             "'packets', 'sources')",
             tables);
  const long schema = std::strtol(version.c_str(), nullptr, 10);
  if (tables != "3" || schema < 1) {
    refuse(concat(
        {path,
         " is a database of another kind (it lacks the tables records, packets and sources), "
         "so no logbook to add to: give the logbook's name, a new name, or "
         "--force to replace the file"}));
    return false;
  }
  if (schema > LOGBOOK_VERSION) {
    refuse(concat({path, " is a logbook of a newer KorvexLogDump (schema version ", version,
                   "; this one knows ", std::to_string(LOGBOOK_VERSION),
                   "): add to it with the newer program"}));
    return false;
  }
  if (std::string mode; query_text(original_, "PRAGMA journal_mode", mode) && mode == "wal") {
    refuse(concat({path,
                   " keeps a write-ahead log, which a copy would miss: run sqlite3 on it with "
                   "'PRAGMA journal_mode = DELETE' first"}));
    return false;
  }
  std::string findings;
  has_findings_ =
      query_text(original_,
                 "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'findings'",
                 findings) &&
      findings == "1";
  // Its sections: those whose every column the table has.
  columns_ = record_columns(original_);
  const std::set<std::string>& names = columns_;
  std::set<std::string> base;
  for_each_column(0, [&](int block, const Field& f) { base.insert(column_name(block, f)); });
  for (int id = 1; id < SECTION_ID_COUNT; ++id) {
    bool any = false, all = true;
    for_each_column(section_flag(id), [&](int block, const Field& f) {
      const std::string name = column_name(block, f);
      if (base.count(name) != 0) return;
      any = true;
      all = all && names.count(name) != 0;
    });
    if (any && all) sections_ |= section_flag(id);
  }
  return true;
}

// Copies the logbook to a hidden file beside it, with its mode.
bool Logbook::copy_original() {
  struct stat st {};
  return ::fstat(original_fd_, &st) == 0 && file_.create(path_, NewFile::Naming::HIDDEN_NAME) &&
         copy_bytes(original_fd_, file_.fd()) && ::fchmod(file_.fd(), st.st_mode & 07777) == 0;
}

// Opens the new file or the copy, with no journal (the file is named only when complete), in a
// transaction.
bool Logbook::open_copy() {
  if (sqlite3_open_v2(file_.hidden_path().c_str(), &db_,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK ||
      sqlite3_exec(db_,
                   "PRAGMA page_size = 65536; PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; "
                   "PRAGMA cache_size = -16384; BEGIN",
                   nullptr, nullptr, nullptr) != SQLITE_OK) {
    error_ = db_ != nullptr ? sqlite3_system_errno(db_) : ENOMEM;
    if (error_ == 0) error_ = EIO;
    return false;
  }
  return true;
}

bool Logbook::publish() {
  if (db_ == nullptr) {
    errno = EIO;
    return false;
  }
  if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
    errno = sqlite3_system_errno(db_) != 0 ? sqlite3_system_errno(db_) : EIO;
    discard();
    return false;
  }
  const int closed = sqlite3_close(db_);
  db_ = nullptr;
  if (closed != SQLITE_OK) {
    errno = EIO;
    discard();
    return false;
  }
  // The copy replaces the original while the original's read lock still holds.
  const bool done =
      ::fsync(file_.fd()) == 0 && file_.publish(existing() || replace_) && sync_folder_of(path_);
  const int err = errno;
  discard();
  errno = err;
  return done;
}

void Logbook::discard() {
  history_.reset();
  if (db_ != nullptr) sqlite3_close(db_);
  db_ = nullptr;
  file_.discard();
  if (original_ != nullptr) sqlite3_close(original_);
  original_ = nullptr;
  if (original_fd_ >= 0) ::close(original_fd_);
  original_fd_ = -1;
}

}  // namespace korvex
