// The files of a logbook's database as SQLite reaches them: SQLite's own file system (VFS),
// with its writes, truncations and syncs made through the tool's seam of system calls, and the
// errno of the last one that failed kept (SQLite asks the system for it later, when another
// call may have changed it, or not at all for a full disk).
#pragma once

#include <sqlite3.h>

#include <string>

#include "io/system_calls.h"

namespace korvex {

class DatabaseVfs {
 public:
  // Registered with SQLite under a name of its own until it goes; a database opened with
  // name() must be closed first.
  explicit DatabaseVfs(SystemCalls* calls);
  DatabaseVfs(const DatabaseVfs&) = delete;
  DatabaseVfs& operator=(const DatabaseVfs&) = delete;
  ~DatabaseVfs();

  // The name to give sqlite3_open_v2; nullptr when it could not be registered (SQLite's own is
  // then used, and errnos are as SQLite keeps them).
  const char* name() const { return registered_ ? name_.c_str() : nullptr; }
  // The errno of the last write, truncation or sync that failed, or 0; forgotten when read.
  int take_errno();

  struct File;
  struct Calls;

 private:
  friend struct Calls;
  // A failure by the plan (its errno kept), or the result of a call (a failure's errno kept).
  int planned_failure(int code);
  int kept(int rc);

  sqlite3_vfs vfs_{};
  sqlite3_vfs* real_ = nullptr;
  sqlite3_io_methods methods_{};
  SystemCalls* calls_;
  std::string name_;
  bool registered_ = false;
  int errno_ = 0;
};

}  // namespace korvex
