#include "output/sqlite/logbook_writer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace korvex {

namespace {

// Copies every byte of `from` to `to` (both at their start), each piece a write of the seam.
bool copy_bytes(int from, int to, SystemCalls* calls) {
  loff_t in = 0, out = 0;
  for (;;) {
    if (call_fails(calls, SystemCall::WRITE)) return false;
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
    if (pwrite_call(calls, to, piece.data(), static_cast<std::size_t>(n), out) != n) {
      if (errno == 0) errno = EIO;
      return false;
    }
    in += n;
    out += n;
  }
}

}  // namespace

bool LogbookWriter::create(const std::string& path, bool replace) {
  discard();
  replace_ = replace;
  const std::string target = path_through_links(path);
  remove_left_behind(path);  // by a run that was killed
  if (target != path) remove_left_behind(target);
  return file_.create(target, NewFile::Naming::HIDDEN_NAME, calls_) && open_database();
}

bool LogbookWriter::copy(const Logbook& book) {
  discard();
  replace_ = true;
  remove_left_behind(book.path());
  struct stat st {};
  if (::fstat(book.fd(), &st) != 0 ||
      !file_.create(book.path(), NewFile::Naming::HIDDEN_NAME, calls_) ||
      !copy_bytes(book.fd(), file_.fd(), calls_) || ::fchmod(file_.fd(), st.st_mode & 07777) != 0) {
    const int err = errno;
    discard();
    errno = err;
    return false;
  }
  return open_database();
}

// Opens the new file or the copy, with no journal (the file is named only when complete), in a
// transaction.
bool LogbookWriter::open_database() {
  if (sqlite3_open_v2(file_.hidden_path().c_str(), &db_,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, vfs_.name()) != SQLITE_OK ||
      exec("PRAGMA page_size = 65536; PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; "
           "PRAGMA cache_size = -16384; BEGIN") != SQLITE_OK) {
    const int err = db_ != nullptr ? failure().error : ENOMEM;
    discard();
    errno = err;
    return false;
  }
  return true;
}

int LogbookWriter::run(Statement& statement) {
  if (call_fails(calls_, SystemCall::SQL_STEP)) {
    planned_ = errno;
    return SQLITE_IOERR;
  }
  return statement.run();
}

int LogbookWriter::exec(const std::string& sql) {
  if (call_fails(calls_, SystemCall::SQL_STEP)) {
    planned_ = errno;
    return SQLITE_IOERR;
  }
  return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
}

LogbookWriter::Failure LogbookWriter::failure() {
  Failure f;
  if (planned_ != 0) {
    f.error = planned_;
    planned_ = 0;
    return f;
  }
  // The errno of a failed write or sync, kept when it failed; else what SQLite says.
  f.error = vfs_.take_errno();
  if (f.error != 0 || db_ == nullptr) return f;
  const int code = sqlite3_errcode(db_) & 0xff;
  if (code == SQLITE_FULL) {
    f.error = ENOSPC;
  } else if (code == SQLITE_IOERR || code == SQLITE_CANTOPEN) {
    f.error = sqlite3_system_errno(db_) != 0 ? sqlite3_system_errno(db_) : EIO;
  } else if (code == SQLITE_NOMEM) {
    f.error = ENOMEM;
  } else {
    f.reason = sqlite3_errmsg(db_);
  }
  return f;
}

bool LogbookWriter::publish() {
  if (db_ == nullptr) {
    errno = EIO;
    return false;
  }
  if (exec("COMMIT") != SQLITE_OK) {
    const int err = failure().error;
    discard();
    errno = err != 0 ? err : EIO;
    return false;
  }
  const int closed = sqlite3_close(db_);
  db_ = nullptr;
  if (closed != SQLITE_OK) {
    discard();
    errno = EIO;
    return false;
  }
  // The copy replaces the original while the original's lock still holds.
  bool done = fsync_call(calls_, file_.fd()) == 0 && file_.publish(replace_);
  named_ = done;
  done = done && sync_folder_of(file_.path(), calls_);
  const int err = errno;
  discard();
  errno = err;
  return done;
}

void LogbookWriter::discard() {
  if (db_ != nullptr) sqlite3_close(db_);
  db_ = nullptr;
  file_.discard();
  planned_ = 0;
}

}  // namespace korvex
