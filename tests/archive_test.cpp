// A folder of flights as an archive: each download adds its flights with --split, a file that
// is there already is left or kept, a run that fails keeps what it finished, and no partial
// file is ever seen. And -o: a file written whole or not at all.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "io/new_file.h"
#include "output/split/split_output.h"
#include "record/timestamp.h"
#include "support/log_builder.h"
#include "support/run_capture.h"
#include "synth_log.h"

extern char** environ;

namespace korvex::test {
namespace {

namespace fs = std::filesystem;
using Folder = std::map<std::string, std::string>;  // name: content

fs::path fresh_folder(const std::string& name) {
  const fs::path dir =
      fs::temp_directory_path() / "korvex-tests" / (name + "-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Every entry of the folder, hidden ones too.
Folder read_folder(const fs::path& dir) {
  Folder files;
  for (const auto& entry : fs::directory_iterator(dir)) {
    files[entry.path().filename().string()] = read_file(entry.path());
  }
  return files;
}

Bytes history(std::int64_t capacity, int download_after) {
  synth::SynthOptions o;
  o.flights = 6;
  o.seed = 5;
  o.sections = SECTION_TELM1 | SECTION_GPS;
  o.capacity = capacity;
  o.download_after = download_after;
  return synth::synthesize(o).image;
}

ProcessResult split(const fs::path& dir, std::vector<std::string> logs,
                    std::vector<std::string> options = {}) {
  std::vector<std::string> args = {"-q", "--split", dir.string()};
  args.insert(args.end(), options.begin(), options.end());
  args.push_back("csv");
  args.insert(args.end(), logs.begin(), logs.end());
  return run_tool_process(args);
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Downloads made after flights 2, 4 and 6 of a history, of a file that holds about two and a
// half flights, added one by one to a folder: the folder holds every flight of the history, and
// besides them only files of flights whose start the wrap had cut off (the tail of a flight's
// file, under a later start). Given together with the downloads before, there are none.
TEST(Archive, EachDownloadAddsItsFlights) {
  constexpr std::int64_t kCapacity = 1000000;
  const std::string whole = write_temp_file("archive-whole.rec", history(0, 0));
  std::vector<std::string> at(7);
  for (const int k : {2, 4, 6}) {
    at[k] = write_temp_file("archive-" + std::to_string(k) + ".rec", history(kCapacity, k));
  }
  const fs::path expected_dir = fresh_folder("archive-expected");
  ASSERT_EQ(split(expected_dir, {whole}).status, 0);
  const Folder expected = read_folder(expected_dir);
  ASSERT_EQ(expected.size(), 6U);

  const fs::path one_by_one = fresh_folder("archive-one-by-one");
  const fs::path with_earlier = fresh_folder("archive-with-earlier");
  for (const int k : {2, 4, 6}) {
    SCOPED_TRACE(k);
    const ProcessResult alone = split(one_by_one, {at[k]});
    EXPECT_EQ(alone.status, 0) << alone.err;
    EXPECT_EQ(alone.err.find("kept: differs"), std::string::npos) << alone.err;
    if (k == 4) {  // its second flight is the second download's second
      EXPECT_NE(alone.err.find("1 file unchanged\n"), std::string::npos) << alone.err;
    }
    std::vector<std::string> so_far;
    for (int j = 2; j <= k; j += 2) so_far.push_back(at[j]);
    const ProcessResult together = split(with_earlier, so_far);
    EXPECT_EQ(together.status, 0) << together.err;
    if (k > 2) {
      EXPECT_NE(together.err.find(" files unchanged\n"), std::string::npos) << together.err;
    }
  }
  EXPECT_EQ(read_folder(with_earlier), expected);
  Folder got = read_folder(one_by_one);
  int cut = 0;
  for (const auto& [name, content] : expected) {
    EXPECT_EQ(got[name], content) << name;
    got.erase(name);
  }
  for (const auto& [name, content] : got) {
    // A flight's file without its first rows.
    const std::vector<std::string> lines = lines_of(content);
    bool tail = false;
    for (const auto& [whole_name, whole_content] : expected) {
      const std::vector<std::string> all = lines_of(whole_content);
      tail = tail || (name > whole_name && lines.size() < all.size() && lines[0] == all[0] &&
                      std::equal(lines.begin() + 1, lines.end(), all.end() - (lines.size() - 1)));
    }
    EXPECT_TRUE(tail) << name;
    ++cut;
  }
  EXPECT_EQ(cut, 2);  // the first flight, cut in the second download; the fourth, in the third
}

// A file of the folder that differs from the flight's (longer, shorter, or other bytes at its
// start or near its end) is kept and reported, with status 0, unless --force, which replaces it;
// nothing else is left in the folder either way.
TEST(Archive, AFileOfOtherContentIsKeptUnlessForced) {
  const std::string log = write_temp_file("archive-kept.rec", history(0, 3));
  const fs::path dir = fresh_folder("archive-kept");
  ASSERT_EQ(split(dir, {log}).status, 0);
  const Folder original = read_folder(dir);
  ASSERT_EQ(original.size(), 3U);
  const std::string name = std::next(original.begin())->first;
  const std::string& flight = original.at(name);
  ASSERT_GT(flight.size(), 300000U);  // more than the tool's buffer
  const std::string kEdits[] = {
      flight + "my own note\n",
      flight.substr(0, flight.size() / 2),
      "X" + flight.substr(1),
      flight.substr(0, flight.size() - 2) + "9\n",
  };
  for (const std::string& edited : kEdits) {
    SCOPED_TRACE(edited.size());
    std::ofstream(dir / name, std::ios::binary | std::ios::trunc) << edited;
    const ProcessResult kept = split(dir, {log});
    EXPECT_EQ(kept.status, 0);
    EXPECT_EQ(kept.err.substr(kept.err.find('\n') + 1),
              (dir / name).string() + ": kept: differs; --force replaces it\n2 files unchanged\n");
    Folder want = original;
    want[name] = edited;
    EXPECT_EQ(read_folder(dir), want);
    const ProcessResult forced = split(dir, {log}, {"--force"});
    EXPECT_EQ(forced.status, 0);
    EXPECT_EQ(forced.err.substr(forced.err.find('\n') + 1),
              "Replaced " + (dir / name).string() + "\n2 files unchanged\n");
    EXPECT_EQ(read_folder(dir), original);
  }
  // A folder in the way is kept; --force cannot replace it.
  fs::remove(dir / name);
  fs::create_directory(dir / name);
  EXPECT_EQ(split(dir, {log}).status, 0);
  const ProcessResult forced = split(dir, {log}, {"-f"});
  EXPECT_EQ(forced.status, 8);
  EXPECT_NE(forced.err.find("Error on write of " + (dir / name).string() + ": Is a directory\n"),
            std::string::npos)
      << forced.err;
  EXPECT_TRUE(fs::is_directory(dir / name));
}

// Names of raw-clock flights are padded to the widest number of the log, so that they sort in
// flight order; a dated flight's name is its start, and a second flight of the same start gets
// a number after it.
TEST(Archive, NamesSortInFlightOrder) {
  const auto raw = [](std::int64_t number, std::uint32_t first) {
    FlightFacts f;
    f.number = number;
    f.first_time = first;
    f.first_layout = 0;
    return f;
  };
  const auto dated = [](std::int64_t number, std::uint32_t first) {
    FlightFacts f;
    f.number = number;
    f.first_time = first;
    f.first_layout = FIRST_DATED_LAYOUT;
    return f;
  };
  const struct {
    std::int64_t flights;
    std::vector<FlightFacts> spans;
    std::vector<std::string> names;
  } kCases[] = {
      {2, {raw(1, 50), raw(2, 900)}, {"d/flight-001_50.csv", "d/flight-002_900.csv"}},
      {1000,
       {raw(9, 5), raw(99, 6), raw(1000, 7)},
       {"d/flight-0009_5.csv", "d/flight-0099_6.csv", "d/flight-1000_7.csv"}},
      {123456, {raw(123456, 1)}, {"d/flight-123456_1.csv"}},
      {3,
       {dated(1, 834750000), dated(2, 834750000), dated(3, 834750000)},
       {"d/2026-06-14_110000.csv", "d/2026-06-14_110000_2.csv", "d/2026-06-14_110000_3.csv"}},
  };
  for (const auto& c : kCases) {
    FlightScan scan;
    scan.flights = c.flights;
    scan.spans = c.spans;
    std::vector<std::string> names;
    for (const SplitFile& f : split_files("d", scan, FlightList(), false, "csv")) {
      names.push_back(f.path);
    }
    EXPECT_EQ(names, c.names);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
  }
}

// A split that fails on a file too large for the limit the shell sets: the files finished
// before are kept and named, the one that failed is nowhere, and a rerun completes the folder.
TEST(Archive, AFailedSplitKeepsWhatItFinished) {
  const std::string log = write_temp_file("archive-failed.rec", history(0, 0));
  const fs::path expected_dir = fresh_folder("archive-failed-expected");
  ASSERT_EQ(split(expected_dir, {log}).status, 0);
  const Folder expected = read_folder(expected_dir);
  // The first file larger than every one before it.
  std::size_t largest = 0, fails = 0;
  std::vector<std::string> names;
  for (const auto& [name, content] : expected) names.push_back(name);
  for (; fails < names.size(); ++fails) {
    const std::size_t size = expected.at(names[fails]).size();
    if (fails > 0 && size > (largest / 1024 + 1) * 1024) break;
    largest = std::max(largest, size);
  }
  ASSERT_LT(fails, names.size()) << "no file larger than those before it";
  const fs::path dir = fresh_folder("archive-failed");
  const std::string err = (dir.parent_path() / ("archive-failed.err")).string();
  const std::string command = "trap '' XFSZ; ulimit -f " + std::to_string(largest / 1024 + 1) +
                              "; exec " KORVEX_EXE " -q --split " + dir.string() + " csv " + log +
                              " 2>" + err;
  const int status = std::system(("bash -c \"" + command + "\"").c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 8);
  std::string want = "Error on write of " + (dir / names[fails]).string() + ": File too large\n";
  Folder finished;
  for (std::size_t i = 0; i < fails; ++i) {
    want += "Wrote " + (dir / names[i]).string() + "\n";
    finished[names[i]] = expected.at(names[i]);
  }
  want += "The files written are complete; run again to write the others.\n";
  EXPECT_EQ(read_file(err), want);
  EXPECT_EQ(read_folder(dir), finished);
  const ProcessResult rerun = split(dir, {log});
  EXPECT_EQ(rerun.status, 0);
  EXPECT_NE(
      rerun.err.find(std::to_string(fails) + (fails == 1 ? " file" : " files") + " unchanged\n"),
      std::string::npos)
      << rerun.err;
  EXPECT_EQ(read_folder(dir), expected);
}

// A split killed (SIGKILL, SIGTERM, SIGHUP) at any moment leaves only complete files, under
// their own names.
TEST(Archive, AKilledSplitLeavesNoPartialFile) {
  synth::SynthOptions o;
  o.hours = 40;  // a split of some 200 ms
  o.sections = SECTION_TELM1 | SECTION_TELM2 | SECTION_ATTITUDE | SECTION_GPS;
  const std::string log = write_temp_file("archive-killed.rec", synth::synthesize(o).image);
  const fs::path expected_dir = fresh_folder("archive-killed-expected");
  ASSERT_EQ(split(expected_dir, {log}).status, 0);
  const Folder expected = read_folder(expected_dir);
  const struct {
    int signal;
    int after_ms;
  } kKills[] = {{SIGKILL, 10}, {SIGKILL, 60}, {SIGKILL, 120}, {SIGTERM, 40}, {SIGHUP, 90}};
  bool interrupted = false;  // some run, at least, was killed before it ended
  for (const auto [signal, after_ms] : kKills) {
    SCOPED_TRACE(std::to_string(signal) + " after " + std::to_string(after_ms) + " ms");
    const fs::path dir = fresh_folder("archive-killed");
    std::vector<std::string> args = {KORVEX_EXE, "-q", "--split", dir.string(), "csv", log};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    std::this_thread::sleep_for(std::chrono::milliseconds(after_ms));
    ::kill(pid, signal);
    int status = 0;
    ::waitpid(pid, &status, 0);
    const Folder left = read_folder(dir);
    for (const auto& [name, content] : left) {
      ASSERT_TRUE(expected.count(name)) << name;
      EXPECT_TRUE(content == expected.at(name)) << name;
    }
    interrupted = interrupted || (WIFSIGNALED(status) && left.size() < expected.size());
  }
  EXPECT_TRUE(interrupted);
}

// A new file, made without a name or under a hidden one: named only when published, never
// replacing a file unless asked, and leaving nothing behind when discarded.
TEST(NewFile, NamedOnlyWhenPublished) {
  for (const NewFile::Naming naming :
       {NewFile::Naming::UNNAMED_FIRST, NewFile::Naming::HIDDEN_NAME}) {
    SCOPED_TRACE(static_cast<int>(naming));
    const fs::path dir = fresh_folder("new-file");
    const std::string path = (dir / "a.csv").string();
    const auto content = [&] { return fs::exists(path) ? read_file(path) : "(none)"; };
    const auto write = [&](NewFile& file, const std::string& text) {
      const std::string before = content();
      ASSERT_TRUE(file.create(path, naming)) << std::strerror(errno);
      ASSERT_TRUE(write_all(file.fd(), text.data(), text.size()));
      EXPECT_EQ(content(), before);  // not seen under its name before it is published
    };
    NewFile first;
    write(first, "first\n");
    ASSERT_TRUE(first.publish(false)) << std::strerror(errno);
    EXPECT_EQ(read_folder(dir), (Folder{{"a.csv", "first\n"}}));
    NewFile second;
    write(second, "second\n");
    EXPECT_FALSE(second.publish(false));
    EXPECT_EQ(errno, EEXIST);
    ASSERT_TRUE(second.is_open());  // to compare, or to publish with replace
    EXPECT_FALSE(same_content(second.fd(), path));
    EXPECT_EQ(read_file(path), "first\n");
    ASSERT_TRUE(second.publish(true)) << std::strerror(errno);
    EXPECT_EQ(read_folder(dir), (Folder{{"a.csv", "second\n"}}));
    NewFile third;
    write(third, "second\n");
    EXPECT_TRUE(same_content(third.fd(), path));
    third.discard();
    EXPECT_EQ(read_folder(dir), (Folder{{"a.csv", "second\n"}}));
  }
}

// -o writes the file whole, refuses one that exists unless --force, and leaves nothing when the
// run fails.
// Where a file made under a name goes: the name, or where its symbolic links lead (relative
// to each link's folder, through chains, to a target that need not exist).
TEST(NewFile, MadeWhereTheLinksOfItsNameLead) {
  const fs::path dir = fs::temp_directory_path() / ("korvex-links-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "sub");
  const std::string d = dir.string();
  fs::create_symlink("target.csv", dir / "relative");
  fs::create_symlink(d + "/sub/absolute.csv", dir / "absolute");
  fs::create_symlink("../relative", dir / "sub" / "up");
  fs::create_symlink("loop", dir / "loop");
  std::ofstream(dir / "file.csv") << "x";
  const struct {
    std::string name, goes_to;
  } kCases[] = {
      {d + "/file.csv", d + "/file.csv"},    // a file: its own name
      {d + "/none.csv", d + "/none.csv"},    // nothing there
      {d + "/relative", d + "/target.csv"},  // a dangling link, relative to its folder
      {d + "/absolute", d + "/sub/absolute.csv"},
      {d + "/sub/up", d + "/sub/../target.csv"},  // a chain of two
      {d + "/loop", d + "/loop"},                 // a loop ends where it started
  };
  for (const auto& c : kCases) EXPECT_EQ(path_through_links(c.name), c.goes_to) << c.name;
  fs::remove_all(dir);
}

TEST(Output, WrittenWholeOrNotAtAll) {
  const std::string log = write_temp_file("output.rec", history(0, 2));
  const fs::path dir = fresh_folder("output");
  const std::string file = (dir / "flights.csv").string();
  const std::string table = run_tool_process({"-q", "csv", log}).out;
  ASSERT_FALSE(table.empty());
  const struct {
    std::vector<std::string> args;
    int status;
    std::string content;  // of the file after the run
  } kCases[] = {
      {{"-q", "-o", file, "csv", log}, 0, table},
      {{"-q", "-o", file, "tab", log}, 1, table},  // exists
      {{"-q", "-f", "-o", file, "--columns", "nope", "csv", log}, 1, table},
      {{"-q", "--force", "--output=" + file, "--flight", "2", "csv", log},
       0,
       run_tool_process({"-q", "--flight", "2", "csv", log}).out},
  };
  for (const auto& c : kCases) {
    const ProcessResult r = run_tool_process(c.args);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(read_file(file) == c.content);
    EXPECT_EQ(read_folder(dir).size(), 1U);
  }
  // A symbolic link stays, and its target gets the table.
  fs::remove(file);
  fs::create_symlink("target.csv", file);
  EXPECT_EQ(run_tool_process({"-q", "-o", file, "csv", log}).status, 1);        // even dangling
  EXPECT_EQ(run_tool_process({"-q", "-f", "-o", file, "csv", log}).status, 0);  // made through it
  EXPECT_TRUE(fs::is_symlink(file));
  EXPECT_TRUE(read_file(dir / "target.csv") == table);
  fs::remove(dir / "target.csv");
  { std::ofstream target(dir / "target.csv"); }
  EXPECT_EQ(run_tool_process({"-q", "-f", "-o", file, "csv", log}).status, 0);
  EXPECT_TRUE(fs::is_symlink(file));
  EXPECT_TRUE(read_file(dir / "target.csv") == table);
  // A device is written to, not replaced.
  EXPECT_EQ(run_tool_process({"-q", "-o", "/dev/null", "csv", log}).status, 0);
  struct stat st {};
  ASSERT_EQ(::stat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
}

}  // namespace
}  // namespace korvex::test
