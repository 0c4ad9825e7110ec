// The file a run writes a logbook into: a new logbook, made under a hidden name in its folder
// and named when complete; or a working copy of an existing one, made beside it, that takes its
// place in one step when the run is complete. A run that fails, or is killed, leaves the logbook
// exactly as it was (a killed run's hidden file is removed by the next run).
#pragma once

#include <sqlite3.h>

#include <string>

#include "io/new_file.h"
#include "store/logbook.h"

namespace korvex {

class LogbookWriter {
 public:
  LogbookWriter() = default;
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
  // Commits, syncs and gives the file the logbook's name; false with errno set (the logbook is
  // then as it was).
  bool publish();
  // Drops the file; the logbook stays as it was.
  void discard();

 private:
  bool open_database();

  NewFile file_;
  bool replace_ = false;
  sqlite3* db_ = nullptr;
};

}  // namespace korvex
