// Every way writing a file can fail, through the seam of system calls: for -o, --split and a
// logbook (new and added to), each write, sync, rename, link and database statement of a run is
// made to fail in turn. Each failure ends the run with status 8 and a message that names the
// file and the system's words for the failure; the files are as the README promises (-o: no
// FILE; --split: the files finished before, whole; a logbook: as it was), and no hidden file is
// left behind.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "cli/run.h"
#include "io/system_calls.h"
#include "support/temp_folder.h"

namespace korvex::test {
namespace {

namespace fs = std::filesystem;

struct RunResult {
  int status;
  std::string err;
};

// The tool in this process, its files written through `calls`.
RunResult run(const std::vector<std::string>& args, SystemCalls* calls) {
  std::vector<const char*> argv = {"KorvexLogDump"};
  for (const std::string& a : args) argv.push_back(a.c_str());
  std::string out_text, err_text;
  OutBuffer out(&out_text);
  Messages messages(&err_text);
  const int status = run_tool(static_cast<int>(argv.size()), argv.data(), out, messages, calls);
  messages.flush();
  return {status, err_text};
}

std::string bytes_of(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every file under `dir` by its path relative to it, with its bytes.
std::map<std::string, std::string> files_of(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (entry.is_regular_file()) {
      files[fs::relative(entry.path(), dir).string()] = bytes_of(entry.path());
    }
  }
  return files;
}

// The number of records of a logbook whose database is sound, else -1.
std::int64_t logbook_records(const std::string& path) {
  sqlite3* db = nullptr;
  std::int64_t records = -1;
  sqlite3_stmt* query = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
      sqlite3_prepare_v2(db,
                         "SELECT (SELECT quick_check = 'ok' FROM pragma_quick_check), "
                         "(SELECT count(*) FROM records)",
                         -1, &query, nullptr) == SQLITE_OK &&
      sqlite3_step(query) == SQLITE_ROW && sqlite3_column_int(query, 0) == 1) {
    records = sqlite3_column_int64(query, 1);
  }
  sqlite3_finalize(query);
  sqlite3_close(db);
  return records;
}

// A file is the whole one a run writes: the same bytes; for a logbook (whose sources keep the
// time of each import) a sound database of the same records.
bool same_whole(const std::string& path, const std::string& bytes, const std::string& whole) {
  if (!path.ends_with(".db")) return bytes == whole;
  const std::string other = path + ".whole";
  std::ofstream(other, std::ios::binary) << whole;
  const std::int64_t records = logbook_records(other);
  fs::remove(other);
  return records > 0 && logbook_records(path) == records;
}

// The errno each kind of call fails with: a different one each, so that the message shows that
// it is the failure's own.
int error_of(SystemCall call) {
  switch (call) {
    case SystemCall::WRITE:
      return ENOSPC;
    case SystemCall::SYNC:
      return EIO;
    case SystemCall::RENAME:
      return EXDEV;
    case SystemCall::LINK:
      return EMLINK;
    case SystemCall::SQL_STEP:
      return EDQUOT;
  }
  return EIO;
}

constexpr SystemCall kCalls[] = {SystemCall::WRITE, SystemCall::SYNC, SystemCall::RENAME,
                                 SystemCall::LINK, SystemCall::SQL_STEP};

// The calls of a kind to fail: the first two, one in the middle and the last two.
std::vector<std::uint64_t> picks(std::uint64_t count) {
  std::set<std::uint64_t> n;
  for (const std::uint64_t k : {std::uint64_t{1}, std::uint64_t{2}, count / 2, count - 1, count}) {
    if (k >= 1 && k <= count) n.insert(k);
  }
  return {n.begin(), n.end()};
}

using WriteFailure = TempFolderTest;

TEST_F(WriteFailure, EachFailedCallEndsTheRunAndLeavesTheFilesAsPromised) {
  const std::string sample = KORVEX_SAMPLE;
  const std::string out = (dir_ / "out").string();
  const struct {
    const char* name;
    std::vector<std::string> args;  // "OUT" stands for the folder of the run's files
    const char* before;             // a run that makes the files there first, or nullptr
    bool split;                     // the files finished before a failure stay, whole
  } kCases[] = {
      {"-o", {"-q", "--no-profile", "-o", "OUT/table.csv", "csv", sample}, nullptr, false},
      {"--split", {"-q", "--no-profile", "--split", "OUT/flights", "csv", sample}, nullptr, true},
      {"a new logbook",
       {"-q", "--no-profile", "-o", "OUT/logbook.db", "sqlite", sample},
       nullptr,
       false},
      {"a logbook added to",
       {"-q", "--profile", KORVEX_SAMPLE_PROFILE, "-o", "OUT/logbook.db", "sqlite", sample},
       "OUT/logbook.db",
       false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args = c.args;
    for (std::string& a : args) {
      if (a.starts_with("OUT/")) a = out + a.substr(3);
    }
    // The run as it goes when nothing fails: its files, and how many calls of each kind it makes.
    fs::remove_all(out);
    fs::create_directories(out);
    if (c.before != nullptr) {
      ASSERT_EQ(run({"-q", "--no-profile", "-o", out + "/logbook.db", "sqlite",
                     std::string(KORVEX_GOLDEN_LOGS) + "/flights.rec"},
                    nullptr)
                    .status,
                0);
    }
    const std::map<std::string, std::string> before = files_of(out);
    SystemCalls counted;
    ASSERT_EQ(run(args, &counted).status, 0);
    const std::map<std::string, std::string> whole = files_of(out);
    for (const SystemCall call : kCalls) {
      for (const std::uint64_t n : picks(counted.count(call))) {
        SCOPED_TRACE(testing::Message() << "call kind " << static_cast<int>(call) << ", call " << n
                                        << " of " << counted.count(call));
        fs::remove_all(out);
        fs::create_directories(out);
        if (c.before != nullptr) {
          for (const auto& [name, bytes] : before) {
            std::ofstream(fs::path(out) / name, std::ios::binary) << bytes;
          }
        }
        SystemCalls failing(call, n, error_of(call));
        const RunResult r = run(args, &failing);
        ASSERT_TRUE(failing.failed());
        EXPECT_EQ(r.status, 8) << r.err;
        const std::string words = std::strerror(error_of(call));
        EXPECT_NE(r.err.find("Error on write of " + out), std::string::npos) << r.err;
        EXPECT_TRUE(r.err.find(": " + words + "\n") != std::string::npos ||
                    r.err.find(": " + words + " (its folder") != std::string::npos)
            << r.err;
        const std::map<std::string, std::string> left = files_of(out);
        // A failed sync of a folder after a file was named: the file is whole, and said to be.
        const bool named =
            r.err.find(" is whole, but a power cut may lose it)") != std::string::npos;
        for (const auto& [name, bytes] : left) {
          // No hidden file, and every file whole: as before the run, or as the run writes it.
          EXPECT_NE(fs::path(name).filename().string()[0], '.') << name;
          const auto kept = before.find(name);
          if (named && !c.split) {
            EXPECT_TRUE(same_whole(out + "/" + name, bytes, whole.at(name))) << name;
          } else if (kept != before.end()) {
            EXPECT_TRUE(bytes == kept->second) << name << " changed";
          } else {
            ASSERT_TRUE(c.split) << name << " was made";
            EXPECT_TRUE(bytes == whole.at(name)) << name << " is not whole";
            EXPECT_NE(r.err.find("Wrote " + out + "/" + name + "\n"), std::string::npos)
                << name << " is not listed: " << r.err;
          }
        }
        if (!c.split) {
          EXPECT_EQ(left.size(), named ? whole.size() : before.size());
        }
        // The file of -o is said to be as it was unless it was named.
        EXPECT_EQ(r.err.find("Nothing was written") == std::string::npos, named || c.split)
            << r.err;
      }
    }
  }
}

}  // namespace
}  // namespace korvex::test
