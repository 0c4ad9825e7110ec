// The file a run writes a logbook into: a new logbook, made under a hidden name in its folder
// and named when complete; or an existing one, changed in place in one SQLite transaction (its
// journal synced), committed when the run is complete. A run that fails, or is killed, leaves
// the logbook as it was: a new one's hidden file is removed by the next run; an existing one's
// journal is rolled back by the next program that opens it. Its writes, syncs, renames and
// statements go through the seam of system calls.
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
  // The open logbook `book`, written in its own transaction; false with errno set.
  bool adopt(Logbook& book);

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
  // Commits (a new logbook: syncs and gives the file the logbook's name); false with errno set:
  // the logbook is then as it was, unless the failure came after a new file was named
  // (named()), a sync of its folder.
  bool publish();
  bool named() const { return named_; }
  // Drops the new file, or rolls the transaction back; the logbook stays as it was.
  void discard();

 private:
  bool open_database();

  SystemCalls* calls_;
  DatabaseVfs vfs_;
  DatabaseVfs* used_ = &vfs_;   // the file system of the database written
  Logbook* adopted_ = nullptr;  // the logbook written in place, whose connection it is
  NewFile file_;
  bool replace_ = false;
  sqlite3* db_ = nullptr;
  int planned_ = 0;  // the errno of a statement failed by the plan
  bool named_ = false;
};

}  // namespace korvex
