#include "output/sqlite/logbook_writer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace korvex {

bool LogbookWriter::create(const std::string& path, bool replace) {
  discard();
  replace_ = replace;
  const std::string target = path_through_links(path);
  remove_left_behind(path);  // by a run that was killed
  if (target != path) remove_left_behind(target);
  return file_.create(target, NewFile::Naming::HIDDEN_NAME, calls_) && open_database();
}

bool LogbookWriter::adopt(Logbook& book) {
  discard();
  adopted_ = &book;
  used_ = &book.vfs();
  db_ = book.db();
  if (db_ == nullptr) {
    adopted_ = nullptr;
    errno = EIO;
    return false;
  }
  return true;
}

// Opens the new file, with no journal (the file is named only when complete), in a
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
  f.error = used_->take_errno();
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
  if (adopted_ != nullptr) {  // the journal is gone: the change is the logbook's
    db_ = nullptr;
    adopted_ = nullptr;
    used_ = &vfs_;
    return true;
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
  if (adopted_ != nullptr) {
    if (sqlite3_get_autocommit(db_) == 0) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    db_ = nullptr;
    adopted_ = nullptr;
    used_ = &vfs_;
  }
  if (db_ != nullptr) sqlite3_close(db_);
  db_ = nullptr;
  file_.discard();
  planned_ = 0;
}

}  // namespace korvex
