#include "store/logbook.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fields/column_set.h"
#include "io/ascii.h"
#include "io/concat.h"
#include "io/new_file.h"
#include "profile/phase.h"
#include "record/timestamp.h"
#include "record/validation.h"
#include "store/schema.h"
#include "store/sql.h"

namespace korvex {

namespace {

constexpr int kLockTries = 3;  // the name given another file while the lock was taken
// What a refusal tells the user to do instead.
constexpr std::string_view kInstead =
    ": give the logbook's name, a new name, or --force to replace the file";

// The names of the columns of `table`, as the database spells them.
std::vector<std::string> table_columns(sqlite3* db, std::string_view table) {
  std::vector<std::string> names;
  Statement query;
  if (!query.prepare(db, concat({"SELECT name FROM pragma_table_info(", sql_text(table), ")"}))) {
    return names;
  }
  while (sqlite3_step(query.get()) == SQLITE_ROW) {
    names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(query.get(), 0)));
  }
  return names;
}

// The type ("table", "view", ...) of the object of the schema named `name` in any case, or
// empty.
std::string object_type(sqlite3* db, std::string_view name) {
  std::string type;
  query_text(db,
             concat({"SELECT type FROM sqlite_master WHERE name = ", sql_text(name),
                     " COLLATE NOCASE AND type IN ('table', 'view')"}),
             type);
  return type;
}

// The columns of the record tables the tool knows by name: their csv names.
std::vector<std::string> value_columns() {
  std::vector<std::string> names;
  for_each_column(SECTION_ALL,
                  [&](int block, const Field& f) { names.push_back(column_name(block, f)); });
  return names;
}

}  // namespace

// The records of the logbook, read back from the packets it keeps, in the order of their
// timestamps (of equal ones, in the order they were added).
class Logbook::History final : public RecordSource {
 public:
  // `phased`: its records have the phase column (a logbook of schema version 1 has not), `keyed`
  // the flight_id column; `origin`: what the records are to the run; `where`: a condition on
  // the records, or empty.
  History(sqlite3* db, bool phased, bool keyed, Origin origin, const std::string& where = {})
      : db_(db), origin_(origin) {
    if (!query_.prepare(db, concat({"SELECT packet, flight, records.rowid, ",
                                    phased ? "phase" : "NULL", ", ", keyed ? "flight_id" : "NULL",
                                    " FROM records JOIN packets ON record = records.rowid ", where,
                                    " ORDER BY clock, records.rowid"}))) {
      fail();
    }
  }

  const Record* next() override {
    while (outcome_.end == ReadEnd::DONE && !done_) {
      const int stepped = sqlite3_step(query_.get());
      if (stepped == SQLITE_DONE) {
        done_ = true;
        break;
      }
      if (stepped != SQLITE_ROW) {
        fail();
        break;
      }
      const int size = sqlite3_column_bytes(query_.get(), 0);
      const void* bytes = sqlite3_column_blob(query_.get(), 0);
      if (bytes == nullptr || size <= 0 || static_cast<std::size_t>(size) > sizeof packet_) {
        ++outcome_.bad_packets;
        continue;
      }
      std::memcpy(packet_, bytes, static_cast<std::size_t>(size));
      if (!validate_record(packet_, static_cast<std::uint32_t>(size), rec_)) {
        ++outcome_.bad_packets;  // a row changed by hand: passed over
        continue;
      }
      rec_.origin = origin_;
      rec_.stored_flight = sqlite3_column_int64(query_.get(), 1);
      rec_.stored_row = sqlite3_column_int64(query_.get(), 2);
      rec_.stored_flight_id = sqlite3_column_int64(query_.get(), 4);  // 0 for NULL
      rec_.stored_phase = 0;
      if (const unsigned char* text = sqlite3_column_text(query_.get(), 3); text != nullptr) {
        const std::string_view phase(
            reinterpret_cast<const char*>(text),
            static_cast<std::size_t>(sqlite3_column_bytes(query_.get(), 3)));
        for (std::size_t p = 0; p < PHASE_COUNT; ++p) {
          if (PHASE_NAMES[p] == phase) rec_.stored_phase = static_cast<std::uint8_t>(p + 1);
        }
      }
      ++outcome_.records;
      return &rec_;
    }
    return nullptr;
  }
  ReadOutcome outcome() const override { return outcome_; }
  void restart() override {
    if (outcome_.end != ReadEnd::DONE) return;  // a failed reading stays failed
    sqlite3_reset(query_.get());
    done_ = false;
    outcome_ = ReadOutcome{};
  }

 private:
  void fail() {
    outcome_.end = ReadEnd::READ_FAILED;
    outcome_.error = sqlite3_system_errno(db_) != 0 ? sqlite3_system_errno(db_) : EIO;
    reason_ = sqlite3_errmsg(db_);
    outcome_.reason = reason_;
  }

  sqlite3* db_;
  Origin origin_;
  Statement query_;
  bool done_ = false;
  std::uint8_t packet_[MAX_RECORD_BODY + RECORD_HEADER_LEN] = {};
  Record rec_;
  std::string reason_;
  ReadOutcome outcome_;
};

Logbook::Logbook(SystemCalls* calls) : vfs_(calls) {}

Logbook::~Logbook() {
  close();
}

void Logbook::close() {
  history_.reset();
  if (db_ != nullptr) sqlite3_close(db_);
  db_ = nullptr;
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

RecordSource& Logbook::records() {
  return *history_;
}

std::unique_ptr<RecordSource> Logbook::records_between(std::uint32_t from, std::uint32_t to) {
  return std::make_unique<History>(
      db_, columns_.count("phase") != 0, columns_.count("flight_id") != 0,
      use_ == Use::ADD ? Origin::LOGBOOK : Origin::LOG_FILE,
      concat({"WHERE clock BETWEEN ", std::to_string(from), " AND ", std::to_string(to),
              " AND records.rowid <= ", std::to_string(last_row_)}));
}

std::vector<std::string> Logbook::columns_of(std::string_view table) const {
  return table_columns(db_, table);
}

bool Logbook::flights_after(std::uint32_t first, std::uint32_t gap, std::uint32_t& from,
                            std::int64_t& before) const {
  // The clock of the query's one value; false when it fails.
  const auto clock_of = [this](const std::string& sql, std::int64_t at, std::int64_t& value) {
    Statement query;
    if (!query.prepare(db_, sql)) return false;
    query.integer(1, at);
    if (sqlite3_step(query.get()) != SQLITE_ROW) return false;
    value = sqlite3_column_type(query.get(), 0) == SQLITE_NULL
                ? -1
                : sqlite3_column_int64(query.get(), 0);
    return true;
  };
  std::int64_t start = -1;
  if (!clock_of("SELECT min(start_clock) FROM flights WHERE end_clock >= ?",
                static_cast<std::int64_t>(first) - gap, start)) {
    return false;
  }
  from = start >= 0 ? std::min(first, static_cast<std::uint32_t>(start)) : first;
  return clock_of("SELECT count(*) FROM flights WHERE start_clock < ?", from, before);
}

bool Logbook::dated_span(std::uint32_t& first, std::uint32_t& last) {
  Statement query;
  const std::string dated =
      concat({" FROM records WHERE layout >= ", std::to_string(FIRST_DATED_LAYOUT)});
  if (!query.prepare(
          db_, concat({"SELECT (SELECT min(clock)", dated, "), (SELECT max(clock)", dated, ")"})) ||
      sqlite3_step(query.get()) != SQLITE_ROW ||
      sqlite3_column_type(query.get(), 0) == SQLITE_NULL) {
    return false;
  }
  first = static_cast<std::uint32_t>(sqlite3_column_int64(query.get(), 0));
  last = static_cast<std::uint32_t>(sqlite3_column_int64(query.get(), 1));
  return true;
}

Logbook::Opened Logbook::refuse(std::string message) {
  message_ = std::move(message);
  close();
  return Opened::REFUSED;
}

Logbook::Opened Logbook::failed(std::string message, int err) {
  message_ = std::move(message);
  error_ = err != 0 ? err : EIO;
  close();
  return Opened::FAILED;
}

Logbook::Opened Logbook::open(const std::string& name, Use use) {
  close();
  use_ = use;
  path_ = path_through_links(name);
  // The file's own name, so that its lock is checked on the file the name gives.
  if (char* target = ::realpath(path_.c_str(), nullptr); target != nullptr) {
    path_ = target;
    std::free(target);
  }
  // The file is opened before the database: when the name still gives this file once the lock
  // is held, the lock is the file's (another run may have replaced it meanwhile).
  for (int attempt = 0;; ++attempt) {
    fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0 && errno == ENOENT && attempt == 0) return Opened::ABSENT;
    if (fd_ < 0) return failed(concat({"Error on open of ", name}), errno);
    if (const Opened opened = open_locked(name, use); opened != Opened::EXISTING) return opened;
    struct stat named {
    }, held{};
    if (::stat(path_.c_str(), &named) == 0 && ::fstat(fd_, &held) == 0 &&
        named.st_dev == held.st_dev && named.st_ino == held.st_ino) {
      break;
    }
    close();
    if (attempt == kLockTries) return failed(concat({"Error on open of ", name}), EBUSY);
  }
  // The records it held when opened: those the run adds come after them.
  if (std::string last; query_text(db_, "SELECT max(rowid) FROM records", last)) {
    last_row_ = std::strtoll(last.c_str(), nullptr, 10);
  }
  history_ =
      std::make_unique<History>(db_, columns_.count("phase") != 0, columns_.count("flight_id") != 0,
                                use == Use::ADD ? Origin::LOGBOOK : Origin::LOG_FILE,
                                concat({"WHERE records.rowid <= ", std::to_string(last_row_)}));
  return Opened::EXISTING;
}

// Opens the database, locks it (to add to it, a write lock where it can be written, that no
// other writer shares; else a read lock) and checks that it is a logbook this program can add to
// or read.
Logbook::Opened Logbook::open_locked(const std::string& name, Use use) {
  const bool adding = use == Use::ADD;
  const bool writable = adding && ::access(path_.c_str(), W_OK) == 0;
  if (sqlite3_open_v2(
          path_.c_str(), &db_,
          (writable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_NOMUTEX,
          writable ? vfs_.name() : nullptr) != SQLITE_OK) {
    return failed(concat({"Error on open of ", name, " (", sqlite3_errmsg(db_), ")"}),
                  sqlite3_system_errno(db_));
  }
  // What a refusal of a logbook given as a log adds: it is one, but not one to read here.
  const auto unreadable = [&](std::string_view why) {
    return refuse(concat({name, " is a logbook that cannot be read: ", why}));
  };
  // Added to in place: each write synced, so that the transaction is whole or not at all.
  if (writable) {
    sqlite3_exec(db_, "PRAGMA synchronous = FULL; PRAGMA cache_size = -16384", nullptr, nullptr,
                 nullptr);
  }
  std::string version;
  if (sqlite3_exec(db_, writable ? "BEGIN IMMEDIATE" : "BEGIN", nullptr, nullptr, nullptr) !=
          SQLITE_OK ||
      !query_text(db_, "PRAGMA user_version", version)) {
    switch (sqlite3_errcode(db_)) {
      case SQLITE_BUSY:
        return failed(concat({name,
                              " is being changed by another program (another run adding to "
                              "it?): run again when it is done"}),
                      EBUSY);
      case SQLITE_NOTADB:
        if (!adding) return refuse(concat({name, " holds no record of the instrument's log"}));
        return refuse(concat({name, " is no SQLite database, so no logbook to add to", kInstead}));
      case SQLITE_CORRUPT:
        if (!adding) return unreadable(sqlite3_errmsg(db_));
        return refuse(concat({name, ": ", sqlite3_errmsg(db_),
                              ": it cannot be added to; restore it from a copy, or give --force "
                              "to start a new logbook in its place"}));
      default:
        break;
    }
    return failed(concat({"Error on read of ", name, " (", sqlite3_errmsg(db_), ")"}),
                  sqlite3_system_errno(db_));
  }
  std::string tables;
  query_text(db_,
             "SELECT count(*) FROM sqlite_master WHERE name IN ('records', 'packets', "
             "'sources') COLLATE NOCASE",
             tables);
  const long schema = std::strtol(version.c_str(), nullptr, 10);
  if (tables != "3" || schema < 1) {
    if (!adding) return refuse(concat({name, " is a SQLite database but no logbook"}));
    return refuse(concat({name,
                          " is a database of another kind (it lacks the tables records, packets "
                          "and sources), so no logbook to add to",
                          kInstead}));
  }
  if (schema > LOGBOOK_VERSION) {
    return refuse(concat({name, " is a logbook of a newer KorvexLogDump (schema version ", version,
                          "; this one knows ", std::to_string(LOGBOOK_VERSION),
                          "): ", adding ? "add to it" : "read it", " with the newer program"}));
  }
  // A damaged file is no history to add to: what it holds may be lost already. Its tables but
  // the records and their packets are checked whole (a check of those would read the whole
  // logbook, where an import reads of it only the flights it touches); a damaged page of
  // theirs fails the import where it is met, and the logbook stays as it was. (Read as a log, a
  // damaged page fails the reading where it is met.)
  std::string check = "ok";
  for (const LogbookTable& table : LOGBOOK_TABLES) {
    if (!adding || check != "ok" || table.name == "records" || table.name == "packets" ||
        object_type(db_, table.name) != "table") {
      continue;
    }
    if (!query_text(db_, concat({"PRAGMA quick_check(", sql_name(table.name), ")"}), check)) {
      check.clear();
    }
  }
  if (check != "ok") {
    // Its first problem, without the heading of the database it is in.
    std::string what = check.empty() ? std::string(sqlite3_errmsg(db_)) : check;
    if (const std::size_t heading = what.find("***\n"); heading != std::string::npos) {
      what.erase(0, heading + 4);
    }
    if (sqlite3_errcode(db_) == SQLITE_IOERR) {
      return failed(concat({"Error on read of ", name, " (", what, ")"}),
                    sqlite3_system_errno(db_));
    }
    return refuse(concat({name, ": the database is damaged (", what,
                          "): it cannot be added to; restore it from a copy, or give --force "
                          "to start a new logbook in its place"}));
  }
  if (std::string problem = schema_problem(db_, name, use); !problem.empty()) {
    return adding ? refuse(std::move(problem)) : unreadable(problem.substr(name.size() + 2));
  }
  // Whose logbook it is, and the profile of its latest import.
  if (object_type(db_, "aircraft") == "table") {
    query_text(db_, "SELECT registration FROM aircraft WHERE registration IS NOT NULL LIMIT 1",
               registration_);
  }
  if (object_type(db_, "imports") == "table" &&
      query_text(db_,
                 "SELECT profile_path FROM imports WHERE profile IS NOT NULL ORDER BY id DESC "
                 "LIMIT 1",
                 profile_path_)) {
    query_text(db_,
               "SELECT profile FROM imports WHERE profile IS NOT NULL ORDER BY id DESC LIMIT 1",
               profile_text_);
  }
  if (std::string gap; object_type(db_, "imports") == "table" &&
                       query_text(db_, "SELECT gap FROM imports ORDER BY id DESC LIMIT 1", gap)) {
    gap_ = static_cast<std::uint32_t>(std::strtoul(gap.c_str(), nullptr, 10));
    query_text(db_, "SELECT coalesce(profile, '') FROM imports ORDER BY id DESC LIMIT 1",
               latest_profile_);
  }
  std::string findings;
  has_findings_ = query_text(db_,
                             "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = "
                             "'findings'",
                             findings) &&
                  findings == "1";
  // Its sections: those whose every column the table has.
  const std::vector<std::string> names = table_columns(db_, "records");
  columns_ = std::set<std::string>(names.begin(), names.end());
  std::set<std::string> base;
  for_each_column(0, [&](int block, const Field& f) { base.insert(column_name(block, f)); });
  for (int id = 1; id < SECTION_ID_COUNT; ++id) {
    bool any = false, all = true;
    for_each_column(section_flag(id), [&](int block, const Field& f) {
      const std::string column = column_name(block, f);
      if (base.count(column) != 0) return;
      any = true;
      all = all && columns_.count(column) != 0;
    });
    if (any && all) sections_ |= section_flag(id);
  }
  return Opened::EXISTING;
}

std::string Logbook::schema_problem(sqlite3* db, const std::string& name, Use use) {
  // A trigger runs inside every import, where it could change or drop what the import adds.
  if (std::string trigger;
      use == Use::ADD &&
      query_text(db, "SELECT name || ' on ' || tbl_name FROM sqlite_master WHERE type = 'trigger'",
                 trigger)) {
    const std::string trigger_name = trigger.substr(0, trigger.find(" on "));
    return concat({name, " has a trigger that this program did not make (", trigger,
                   "), which would run inside the import: drop it (DROP TRIGGER ",
                   sql_name(trigger_name), ") or add to a copy of the logbook without it"});
  }
  for (const LogbookTable& table : LOGBOOK_TABLES) {
    const std::string type = object_type(db, table.name);
    if (type.empty()) continue;
    if (type != "table") {
      return concat({name, ": ", table.name, " is a ", type,
                     ", where this program keeps a table: drop the ", type,
                     " (its rows are made anew by every run) or add to a copy of the logbook"});
    }
    const std::vector<std::string> present = table_columns(db, table.name);
    std::vector<std::string> wanted(table.columns.begin(), table.columns.end());
    if (table.name == "records") {
      const std::vector<std::string> values = value_columns();
      wanted.insert(wanted.end(), values.begin(), values.end());
    }
    for (const std::string& column : wanted) {
      bool exact = false;
      const std::string* other = nullptr;
      for (const std::string& p : present) {
        exact = exact || p == column;
        if (p != column && equal_ignoring_case(p, column)) other = &p;
      }
      if (!exact && other != nullptr) {
        return concat({name, ": the column ", *other, " of table ", table.name,
                       " is named otherwise than this program names it (", column,
                       "): rename it back (ALTER TABLE ", table.name, " RENAME COLUMN ",
                       sql_name(*other), " TO ", column, ")"});
      }
      const bool value =
          table.name == "records" &&
          std::find(table.columns.begin(), table.columns.end(), column) == table.columns.end();
      // A value column that a logbook lacks is added when a log has its block.
      if (!exact && !value) {
        return concat({name, ": the table ", table.name, " lacks the column ", column,
                       ", which this program keeps there: it cannot be added to; give --force "
                       "to start a new logbook in its place"});
      }
    }
  }
  // Records are told apart by their clock and key: an import adds a record only where the
  // logbook has none with both.
  std::string unique;
  query_text(db,
             "SELECT count(*) FROM pragma_index_list('records') AS l WHERE l.\"unique\" AND "
             "(SELECT group_concat(name) FROM (SELECT name FROM pragma_index_info(l.name) ORDER "
             "BY seqno)) = 'clock,record_key'",
             unique);
  if (unique == "0") {
    return concat({name,
                   ": the table records lacks its UNIQUE (clock, record_key), by which this "
                   "program tells records apart: it cannot be added to; give --force to start a "
                   "new logbook in its place"});
  }
  return {};
}

}  // namespace korvex
