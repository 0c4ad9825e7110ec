// The logbook's file: which files are logbooks to add to, which are refused and left as they
// are, and what a killed run leaves behind.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "io/new_file.h"
#include "output/sqlite/logbook_writer.h"
#include "store/logbook.h"
#include "support/run_capture.h"
#include "support/temp_folder.h"

namespace korvex::test {
namespace {

namespace fs = std::filesystem;

class LogbookFile : public TempFolderTest {
 protected:
  std::set<std::string> names() const {
    std::set<std::string> found;
    for (const auto& entry : fs::directory_iterator(dir_)) {
      found.insert(entry.path().filename().string());
    }
    return found;
  }
};

std::string bytes_of(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_bytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string concat_args(std::initializer_list<std::string> args) {
  std::string line;
  for (const std::string& a : args) line += (line.empty() ? "" : " ") + a;
  return line;
}

void make_database(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
      << sqlite3_errmsg(db);
  sqlite3_close(db);
}

constexpr const char* kLogbookTables =
    "CREATE TABLE records (time TEXT, clock INTEGER, layout INTEGER, flight INTEGER, alt "
    "INTEGER, record_key INTEGER, UNIQUE (clock, record_key)); CREATE TABLE packets (record "
    "INTEGER PRIMARY KEY, packet BLOB); CREATE TABLE sources (id INTEGER PRIMARY KEY, name TEXT, "
    "size INTEGER, sha256 TEXT, imported TEXT, records_read INTEGER, records_added INTEGER, "
    "first_time TEXT, last_time TEXT, first_clock INTEGER, last_clock INTEGER);";

TEST_F(LogbookFile, WhatIsALogbookToAddToAndWhatIsRefused) {
  const struct {
    const char* name;
    const char* bytes;  // the file's bytes, or nullptr
    std::string sql;    // else a database made with this
    Logbook::Opened opened;
    const char* says;
  } kCases[] = {
      {"no SQLite file", "a note, not a database", "", Logbook::Opened::REFUSED,
       "is no SQLite database"},
      {"an empty file", "", "", Logbook::Opened::REFUSED, "is a database of another kind"},
      {"another application's database", nullptr,
       "CREATE TABLE notes (text TEXT); INSERT INTO notes VALUES ('mine')",
       Logbook::Opened::REFUSED, "is a database of another kind"},
      {"a logbook without packets", nullptr,
       "CREATE TABLE records (clock INTEGER); CREATE TABLE sources (name TEXT); PRAGMA "
       "user_version = 1",
       Logbook::Opened::REFUSED, "is a database of another kind"},
      {"a logbook of a newer schema", nullptr,
       std::string(kLogbookTables) + "PRAGMA user_version = 4", Logbook::Opened::REFUSED,
       "is a logbook of a newer KorvexLogDump (schema version 4; this one knows 3)"},
      {"a logbook with a write-ahead log (added to in place)", nullptr,
       std::string(kLogbookTables) + "PRAGMA user_version = 1; PRAGMA journal_mode = WAL",
       Logbook::Opened::EXISTING, ""},
      {"a logbook", nullptr, std::string(kLogbookTables) + "PRAGMA user_version = 1",
       Logbook::Opened::EXISTING, ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::string file = path("logbook.db");
    fs::remove(file);
    if (c.bytes != nullptr) {
      write_bytes(file, c.bytes);
    } else {
      make_database(file, c.sql);
    }
    const std::string before = bytes_of(file);
    const std::set<std::string> files = names();
    {
      Logbook book;
      EXPECT_EQ(book.open(file), c.opened) << book.message();
      EXPECT_NE(book.message().find(c.says), std::string::npos) << book.message();
      if (c.opened == Logbook::Opened::EXISTING) {
        EXPECT_EQ(book.records().next(), nullptr);  // it holds no record
        LogbookWriter writer;
        ASSERT_TRUE(writer.adopt(book));  // written in place, rolled back when discarded
        EXPECT_NE(writer.db(), nullptr);
        EXPECT_EQ(writer.exec("INSERT INTO sources (name, imported, records_read, records_added) "
                              "VALUES ('x', 'now', 0, 0)"),
                  SQLITE_OK);
      }
    }
    // Refused or given up: the file is as it was, and nothing is left beside it.
    EXPECT_EQ(bytes_of(file), before);
    EXPECT_EQ(names(), files);
  }
  // No file: nothing to add to; a new logbook is named only when published.
  fs::remove(path("logbook.db"));
  Logbook book;
  EXPECT_EQ(book.open(path("logbook.db")), Logbook::Opened::ABSENT);
  LogbookWriter writer;
  ASSERT_TRUE(writer.create(path("logbook.db"), false));
  EXPECT_EQ(names().size(), 1U);  // its hidden name
  writer.discard();
  EXPECT_TRUE(names().empty());
}

// A killed run's hidden file (".NAME.PID.N" of a process that is gone) is removed; files of
// live processes, of other names, or not of that form stay.
TEST_F(LogbookFile, WhatAKilledRunLeftIsRemoved) {
  const pid_t child = ::fork();
  if (child == 0) _exit(0);
  ASSERT_GT(child, 0);
  ::waitpid(child, nullptr, 0);
  const std::string gone = std::to_string(child);
  const std::string alive = std::to_string(::getppid());
  const std::string files[] = {".logbook.db." + gone + ".0",
                               ".logbook.db." + gone + ".12",
                               ".logbook.db." + alive + ".0",
                               ".logbook.db.x.0",
                               ".logbook.db." + gone,
                               ".other.db." + gone + ".0",
                               "logbook.db"};
  for (const std::string& name : files) {
    write_bytes(path(name), "x");
  }
  // Named as given, in the folder the run is in: a bare name too.
  const fs::path was = fs::current_path();
  fs::current_path(dir_);
  EXPECT_EQ(remove_left_behind("logbook.db"), 2);
  fs::current_path(was);
  const std::set<std::string> expected = {".logbook.db." + alive + ".0", ".logbook.db.x.0",
                                          ".logbook.db." + gone, ".other.db." + gone + ".0",
                                          "logbook.db"};
  EXPECT_EQ(names(), expected);
}

// A first import killed while it writes leaves its hidden file, which the next run (naming the
// logbook as the first did, in its folder) removes; a logbook named by a dangling link is made
// at the link's target, the link kept.
TEST_F(LogbookFile, AKilledFirstImportIsTidiedAndALinkIsFollowed) {
  const std::string more = path("more.rec");
  ASSERT_EQ(
      std::system(
          (std::string(KORVEX_SYNTH) + " --hours 20 --seed 2 -o " + more + " 2>/dev/null").c_str()),
      0);
  const std::string in_dir = "cd " + dir_.string() + "; ";
  const ProcessResult killed = run_tool_process(
      {"-c",
       in_dir + std::string(KORVEX_EXE) + " -q -o logbook.db sqlite more.rec & p=$!; " +
           "for i in $(seq 1000); do ls -A | grep -q '^\\.logbook' && break; sleep 0.01; done; "
           "kill -9 $p; wait $p; "
           "ls -A | grep -c '^\\.logbook'"},
      "", "/bin/bash");
  EXPECT_EQ(killed.out, "1\n");
  const ProcessResult next = run_tool_process(
      {"-c", in_dir + std::string(KORVEX_EXE) + " -q -o logbook.db sqlite " + KORVEX_SAMPLE}, "",
      "/bin/bash");
  EXPECT_EQ(next.status, 0) << next.err;
  EXPECT_EQ(names(), (std::set<std::string>{"logbook.db", "more.rec"}));
  // Through a dangling link.
  fs::remove(path("logbook.db"));
  fs::create_symlink("target.db", path("logbook.db"));
  const ProcessResult linked = run_tool_process({"-q", "-o", path("logbook.db"), "sqlite", more});
  EXPECT_EQ(linked.status, 0) << linked.err;
  EXPECT_TRUE(fs::is_symlink(path("logbook.db")));
  EXPECT_EQ(names(), (std::set<std::string>{"logbook.db", "more.rec", "target.db"}));
  EXPECT_EQ(bytes_of(path("target.db")).substr(0, 15), "SQLite format 3");
}

// What the user or the disk did to a logbook before a run adds to it: the run refuses it or
// fails with what is wrong (status 1 or 8), never crashes, and leaves the logbook byte for byte
// as it was, with nothing beside it.
TEST_F(LogbookFile, AnAlteredOrDamagedLogbookIsRefusedOrFailsAndStaysAsItWas) {
  const std::string sample = KORVEX_SAMPLE;
  const std::string more = path("more.rec");
  ASSERT_EQ(run_tool_process({}, "", "/bin/sh").status, 0);  // a shell is there
  ASSERT_EQ(std::system((std::string(KORVEX_SYNTH) + " --date 2026-07-01 --hours 4 --seed 9 -o " +
                         more + " 2>/dev/null")
                            .c_str()),
            0);
  // Flips five bits in the headers of pages 3 to 6 (of 64 KB).
  const auto flip_bits = [](const std::string& file) {
    std::string bytes = bytes_of(file);
    const std::size_t page = 65536;
    const std::size_t at[] = {2 * page + 3, 2 * page + 5, 3 * page + 1, 4 * page + 7, 5 * page + 2};
    for (std::size_t i = 0; i < std::size(at); ++i) {
      bytes[at[i]] = static_cast<char>(bytes[at[i]] ^ (1 << i));
    }
    write_bytes(file, bytes);
  };
  const auto cut_in_half = [](const std::string& file) {
    fs::resize_file(file, fs::file_size(file) / 2);
  };
  const struct {
    const char* name;
    const char* sql;                          // run on the logbook of the sample first
    void (*damage)(const std::string& file);  // or nullptr
    const char* limit;                        // a ulimit -f in KB beyond its size, or nullptr
    int status;
    const char* says;
  } kCases[] = {
      {"flights made a view", "DROP TABLE flights; CREATE VIEW flights AS SELECT 1 AS flight",
       nullptr, nullptr, 1, "logbook.db: flights is a view, where this program keeps a table"},
      {"records made a view",
       "ALTER TABLE records RENAME TO r; CREATE VIEW records AS SELECT * FROM r", nullptr, nullptr,
       1, "logbook.db: records is a view"},
      {"a column renamed in another case", "ALTER TABLE records RENAME COLUMN alt TO ALT", nullptr,
       nullptr, 1,
       "logbook.db: the column ALT of table records is named otherwise than this program names "
       "it (alt): rename it back"},
      {"a column dropped", "ALTER TABLE packets RENAME COLUMN packet TO bytes", nullptr, nullptr, 1,
       "logbook.db: the table packets lacks the column packet"},
      {"records without its UNIQUE (clock, record_key)",
       "CREATE TABLE r2 AS SELECT * FROM records; DROP TABLE records; ALTER TABLE r2 RENAME TO "
       "records",
       nullptr, nullptr, 1, "logbook.db: the table records lacks its UNIQUE (clock, record_key)"},
      {"sources without a column", "ALTER TABLE sources DROP COLUMN sha256", nullptr, nullptr, 1,
       "logbook.db: the table sources lacks the column sha256"},
      {"a trigger that drops what is added",
       "CREATE TRIGGER tidy AFTER INSERT ON records BEGIN DELETE FROM packets; END", nullptr,
       nullptr, 1, "logbook.db has a trigger that this program did not make (tidy on records)"},
      {"a trigger that refuses every record",
       "CREATE TRIGGER nope BEFORE INSERT ON records BEGIN SELECT raise(abort, 'nope'); END",
       nullptr, nullptr, 1, "(nope on records), which would run inside the import"},
      {"a constraint of the user's that the new records break",
       "DELETE FROM records WHERE rowid > 1; DELETE FROM packets WHERE record > 1; CREATE UNIQUE "
       "INDEX one_layout ON records (layout)",
       nullptr, nullptr, 8,
       "Error on write of logbook.db: UNIQUE constraint failed: records.layout"},
      {"five bits flipped", "", flip_bits, nullptr, 1, "logbook.db: the database is damaged ("},
      {"cut in half", "", cut_in_half, nullptr, 1,
       "logbook.db: database disk image is malformed: it cannot be added to"},
      {"a disk full while it grows", "", nullptr, "2000", 8,
       "Error on write of logbook.db: File too large"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::string file = path("logbook.db");
    fs::remove(file);
    ASSERT_EQ(run_tool_process({"-q", "-o", file, "sqlite", sample}).status, 0);
    if (*c.sql != '\0') make_database(file, c.sql);
    if (c.damage != nullptr) c.damage(file);
    const std::string before = bytes_of(file);
    const std::set<std::string> files = names();
    const std::string run = concat_args({KORVEX_EXE, "-q", "-o", file, "sqlite", more});
    const ProcessResult r =
        c.limit == nullptr
            ? run_tool_process({"-q", "-o", file, "sqlite", more})
            : run_tool_process({"-c", "trap '' XFSZ; ulimit -f $(( $(stat -c %s " + file +
                                          ") / 1024 + " + c.limit + " )); exec " + run},
                               "", "/bin/bash");
    EXPECT_EQ(r.status, c.status) << r.err;
    std::string says = c.says;  // with the logbook's path for its name
    if (const std::size_t at = says.find("logbook.db"); at != std::string::npos) {
      says.replace(at, 10, file);
    }
    EXPECT_NE(r.err.find(says), std::string::npos) << r.err;
    EXPECT_EQ(bytes_of(file), before);
    EXPECT_EQ(names(), files);
  }
}

}  // namespace
}  // namespace korvex::test
