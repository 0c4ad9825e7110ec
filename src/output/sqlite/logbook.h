// A logbook: the SQLite database the sqlite format writes, and adds to on every later run.
//
// A new logbook is made under a hidden name in its folder and named when complete. An existing
// one is checked first (a database of another kind, or of a newer schema, is refused and left
// as it is), locked so that no other program changes it meanwhile (and no other run adds to
// it: a second run fails at once), and copied to
// a hidden working copy: the run reads the records the logbook holds from the original and
// writes to the copy, which replaces the original in one step when the run is complete. A run
// that fails, or is killed, leaves the logbook exactly as it was.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <set>
#include <string>

#include "io/new_file.h"
#include "plan/read_plan.h"
#include "record/layouts.h"

namespace korvex {

// The schema version written to PRAGMA user_version.
inline constexpr int LOGBOOK_VERSION = 1;

class Logbook {
 public:
  Logbook();
  Logbook(const Logbook&) = delete;
  Logbook& operator=(const Logbook&) = delete;
  ~Logbook();

  enum class Opened {
    NEW,       // no file was there (or it is to be replaced): a new logbook
    EXISTING,  // a logbook to add to
    REFUSED,   // a file that is no logbook, or one of a newer schema: message() says why
    FAILED,    // it could not be read, or the copy not made: message() and error() say why
  };
  // Opens the logbook at `path`; with `replace`, a new one in place of any file there.
  Opened open(const std::string& path, bool replace);
  const std::string& message() const { return message_; }
  int error() const { return error_; }

  bool existing() const { return original_ != nullptr; }
  // The sections of the records an existing logbook holds, as its columns show them.
  SectionFlags sections() const { return sections_; }
  // The columns of an existing logbook's table records.
  const std::set<std::string>& columns() const { return columns_; }
  // An existing logbook has a table of findings (made by a run with a profile's limits).
  bool has_findings() const { return has_findings_; }
  // The records an existing logbook holds, in the order of their timestamps; nullptr for a new
  // one. The flight stored with the record it gave last, and its row.
  RecordSource* history() const;
  std::int64_t stored_flight() const;
  std::int64_t stored_row() const;

  // The database to write, in a transaction; nullptr before open() or after a failure.
  sqlite3* db() const { return db_; }
  // Commits, syncs the copy and gives it the logbook's name; false with errno set (the logbook
  // is then as it was).
  bool publish();
  // Drops the copy; the logbook stays as it was.
  void discard();

 private:
  Opened refuse(std::string message);
  Opened failed(std::string what, int err);
  bool check_original(const std::string& path);
  bool lock_original(const std::string& path);
  bool copy_original();
  bool open_copy();

  class History;
  std::string path_;  // of the logbook (a link's target)
  bool replace_ = false;
  NewFile file_;  // the new logbook, or the working copy
  sqlite3* original_ = nullptr;
  int original_fd_ = -1;  // the logbook's file, opened for the copy
  sqlite3* db_ = nullptr;
  std::unique_ptr<History> history_;
  SectionFlags sections_ = 0;
  std::set<std::string> columns_;
  bool has_findings_ = false;
  std::string message_;
  int error_ = 0;
};

}  // namespace korvex
