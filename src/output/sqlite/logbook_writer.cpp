#include "output/sqlite/logbook_writer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace korvex {

namespace {

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

// The errno of the database's last failure: the system's, or what SQLite's code stands for.
int database_errno(sqlite3* db) {
  if (db == nullptr) return ENOMEM;
  if (const int err = sqlite3_system_errno(db); err != 0) return err;
  return sqlite3_errcode(db) == SQLITE_FULL ? ENOSPC : EIO;
}

}  // namespace

bool LogbookWriter::create(const std::string& path, bool replace) {
  discard();
  replace_ = replace;
  const std::string target = path_through_links(path);
  remove_left_behind(path);  // by a run that was killed
  if (target != path) remove_left_behind(target);
  return file_.create(target, NewFile::Naming::HIDDEN_NAME) && open_database();
}

bool LogbookWriter::copy(const Logbook& book) {
  discard();
  replace_ = true;
  remove_left_behind(book.path());
  struct stat st {};
  if (::fstat(book.fd(), &st) != 0 || !file_.create(book.path(), NewFile::Naming::HIDDEN_NAME) ||
      !copy_bytes(book.fd(), file_.fd()) || ::fchmod(file_.fd(), st.st_mode & 07777) != 0) {
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
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK ||
      sqlite3_exec(db_,
                   "PRAGMA page_size = 65536; PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; "
                   "PRAGMA cache_size = -16384; BEGIN",
                   nullptr, nullptr, nullptr) != SQLITE_OK) {
    const int err = database_errno(db_);
    discard();
    errno = err;
    return false;
  }
  return true;
}

bool LogbookWriter::publish() {
  if (db_ == nullptr) {
    errno = EIO;
    return false;
  }
  if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
    const int err = database_errno(db_);
    discard();
    errno = err;
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
  const bool done =
      ::fsync(file_.fd()) == 0 && file_.publish(replace_) && sync_folder_of(file_.path());
  const int err = errno;
  discard();
  errno = err;
  return done;
}

void LogbookWriter::discard() {
  if (db_ != nullptr) sqlite3_close(db_);
  db_ = nullptr;
  file_.discard();
}

}  // namespace korvex
