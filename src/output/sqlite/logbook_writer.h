// The file a run writes a logbook into: a new logbook, made under a hidden name in its folder
// and named when complete; or a working copy of an existing one, made beside it, that takes its
// place in one step when the run is complete. A run that fails, or is killed, leaves the logbook
// exactly as it was (a killed run's hidden file is removed by the next run). Its writes, syncs,
// renames and statements go through the seam of system calls.
#pragma once

#include <sqlite3.h>

#include <string>

#include "io/new_file.h"
#include "io/system_calls.h"
#include "store/database_vfs.h"
#include "store/logbook.h"
#include "store/sql.h"

namespace korvex {

class LogbookWriter {
 public:
  explicit LogbookWriter(SystemCalls* calls = nullptr) : calls_(calls), vfs_(calls) {}
  LogbookWriter(const LogbookWriter&) = delete;
  LogbookWriter& operator=(const LogbookWriter&) = delete;
  ~LogbookWriter() { discard(); }

  // A new logbook that is to become `path` (a link's target), replacing a file there with
  // `replace`; false with errno set.
  bool create(const std::string& path, bool replace);
  // A working copy of the open logbook `book`; false with errno set.
  bool copy(const Logbook& book);

  // The database to write, in a transaction; nullptr before create() or copy(), and after a
  // failure.
  sqlite3* db() const { return db_; }
  // Runs a statement once, or SQL text: SQLITE_DONE (SQLITE_OK for text), or the failure.
  int run(Statement& statement);
  int exec(const std::string& sql);
  // What the database's last failure was: an errno, or where it has none SQLite's own words.
  struct Failure {
    int error = 0;
    std::string reason;
  };
  Failure failure();
  // Commits, syncs and gives the file the logbook's name; false with errno set: the logbook is
  // then as it was, unless the failure came after the file was named (named()), a sync of its
  // folder.
  bool publish();
  bool named() const { return named_; }
  // Drops the file; the logbook stays as it was.
  void discard();

 private:
  bool open_database();

  SystemCalls* calls_;
  DatabaseVfs vfs_;
  NewFile file_;
  bool replace_ = false;
  sqlite3* db_ = nullptr;
  int planned_ = 0;  // the errno of a statement failed by the plan
  bool named_ = false;
};

}  // namespace korvex
