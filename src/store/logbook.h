// A logbook as a history to read: the SQLite database that the sqlite format writes, opened
// read-only, checked, and read back as a source of records.
//
// Opening it checks that it is a logbook this program can add to (a database of another kind, a
// newer schema, a damaged file, a trigger that would run inside an import, a table the tool
// makes turned into a view, a column renamed: each refused, with what is wrong) and locks it, so
// that no other program changes it while the run lasts (a second run adding to it fails at
// once). The object is the run's: it keeps the lock and the records' source until the run
// ends, whatever becomes of what is written meanwhile.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "io/system_calls.h"
#include "plan/read_plan.h"
#include "record/layouts.h"
#include "store/database_vfs.h"

namespace korvex {

class Logbook {
 public:
  // A logbook added to is written through `calls`, in place: the run's changes are one
  // transaction of its own database connection.
  explicit Logbook(SystemCalls* calls = nullptr);
  Logbook(const Logbook&) = delete;
  Logbook& operator=(const Logbook&) = delete;
  ~Logbook();

  enum class Opened {
    ABSENT,    // no file of that name: a new logbook is to be made there
    EXISTING,  // a logbook to read and add to
    REFUSED,   // a file that is no logbook this program can add to: message() says why
    FAILED,    // it could not be read or locked: message() and error() say why
  };
  // What the run does with it: adds to it (a write lock, its records of origin LOGBOOK), or
  // reads it as a log (a read lock, its records as a log's).
  enum class Use { ADD, READ };
  // Opens the logbook named `path` (a symbolic link is followed).
  Opened open(const std::string& path, Use use = Use::ADD);
  // What is wrong, naming the file (REFUSED, FAILED); with FAILED, the errno.
  const std::string& message() const { return message_; }
  int error() const { return error_; }

  // The file's path (a link's target) and its descriptor, open for reading.
  const std::string& path() const { return path_; }
  int fd() const { return fd_; }
  // Added to: the connection, in the transaction that holds the write lock, and the file
  // system it writes through. Its records are read on it while the run writes on it: the
  // records it adds are not read back.
  sqlite3* db() const { return db_; }
  DatabaseVfs& vfs() { return vfs_; }
  // The sections of the records it holds, as its columns show them, and those columns.
  SectionFlags sections() const { return sections_; }
  const std::set<std::string>& columns() const { return columns_; }
  // It has a table of findings (made by a run with a profile's limits).
  bool has_findings() const { return has_findings_; }
  // The registration of the aircraft whose logbook it is, or empty.
  const std::string& registration() const { return registration_; }
  // The profile its latest import was made with: the file's path and text (empty: none).
  const std::string& profile_path() const { return profile_path_; }
  const std::string& profile_text() const { return profile_text_; }
  // Its latest import: the gap that cut its flights (0: not known) and the text of its profile
  // (empty: none).
  std::uint32_t gap() const { return gap_; }
  const std::string& latest_profile() const { return latest_profile_; }
  // The names of the columns of one of its tables, in order (none: no such table).
  std::vector<std::string> columns_of(std::string_view table) const;
  // Where an import whose first record is at `first` cuts flights anew from, with the gap
  // `gap`: the start of the first flight that the record could join (one that ends at most the
  // gap before it), or `first` itself when it comes before that flight or after every flight;
  // and how many flights start before that. False when it cannot be read.
  bool flights_after(std::uint32_t first, std::uint32_t gap, std::uint32_t& from,
                     std::int64_t& before) const;
  // Its records, in the order of their timestamps (of equal ones, in the order they were
  // added); added to, each of origin LOGBOOK with its row and stored flight.
  RecordSource& records();
  // Those of them whose timestamps lie from `from` to `to`, a source of their own.
  std::unique_ptr<RecordSource> records_between(std::uint32_t from, std::uint32_t to);
  // Its records dated on the instrument's clock: whether it has any, the lowest and the highest
  // timestamp.
  bool dated_span(std::uint32_t& first, std::uint32_t& last);

  // A problem of the schema of the open database `db` (named `name` in the message) for `use`,
  // or empty; it begins with the name and ": ".
  static std::string schema_problem(sqlite3* db, const std::string& name, Use use = Use::ADD);

 private:
  Opened refuse(std::string message);
  Opened failed(std::string message, int err);
  Opened open_locked(const std::string& name, Use use);
  void close();

  class History;
  std::string path_;
  int fd_ = -1;
  DatabaseVfs vfs_;
  sqlite3* db_ = nullptr;
  std::int64_t last_row_ = 0;  // the highest rowid of records when opened
  std::unique_ptr<History> history_;
  Use use_ = Use::ADD;
  SectionFlags sections_ = 0;
  std::set<std::string> columns_;
  bool has_findings_ = false;
  std::string registration_, profile_path_, profile_text_;
  std::uint32_t gap_ = 0;
  std::string latest_profile_;
  std::string message_;
  int error_ = 0;
};

}  // namespace korvex
