// End-to-end: the built KorvexLogDump run as a process on log files that the tests write;
// standard output, standard error and the exit status are compared with expected text.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "cli/options.h"
#include "support/log_builder.h"
#include "support/run_capture.h"

extern char** environ;

namespace korvex::test {
namespace {

const std::string kUsage =
    "(V0.8) Usage: KorvexLogDump (\"tab\", \"comma\" or \"space\" without the quotes) Korvex.rec "
    "(or any "
    "file name)\n";
const std::string kUnknown = "Unknown delimiter type, should be \"tab\", \"comma\" or \"space\"\n";
const std::string kScan = "Scanning for first and last record, please wait";

std::string missing_path() {
  return (std::filesystem::temp_directory_path() / "korvex-tests" / "no-such-log.rec").string();
}

// What a user gave is shown in a message up to 80 bytes, cut before a character that would
// pass that (so that the message stays UTF-8), and marked as cut.
TEST(CommandLine, LongWordsAreShownByTheirStart) {
  const std::string degrees = "\u00b0";  // two bytes
  const struct {
    std::string word, shown;
  } kCases[] = {
      {"--" + std::string(78, 'x'), "--" + std::string(78, 'x')},  // 80: whole
      {"--" + std::string(79, 'x'), "--" + std::string(78, 'x') + "…"},
      {"--" + std::string(76, 'x') + degrees + "yz", "--" + std::string(76, 'x') + degrees + "…"},
      {"--" + std::string(77, 'x') + degrees + "yz", "--" + std::string(77, 'x') + "…"},
  };
  for (const auto& c : kCases) {
    const char* argv[] = {"KorvexLogDump", c.word.c_str(), "tab", "x.rec"};
    const ParsedCommandLine parsed = parse_command_line(4, argv);
    EXPECT_EQ(parsed.error, "unknown option '" + c.shown + "'");
  }
}

TEST(CommandLine, WrongArgumentCountShowsTheUsage) {
  for (const auto& args : std::vector<std::vector<std::string>>{{}, {"tab"}}) {
    const ProcessResult r = run_tool_process(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, kUsage);
  }
}

TEST(CommandLine, DelimiterWordIsCheckedBeforeTheFile) {
  for (const std::string word : {"tabs", "t", "", "COMMA ", "spac"}) {
    const ProcessResult r = run_tool_process({word, missing_path()});
    EXPECT_EQ(r.status, 5) << word;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, kUnknown);
  }
  const std::string log = write_temp_file("words.rec", LogBuilder().record(0, 1).bytes);
  for (const std::string word : {"TAB", "Comma", "sPaCe"}) {
    EXPECT_EQ(run_tool_process({word, log}).status, 0) << word;
  }
}

TEST(CommandLine, FilesThatCannotBeOpened) {
  ProcessResult r = run_tool_process({"tab", missing_path()});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Error on open: No such file or directory\n");
  r = run_tool_process({"tab", std::filesystem::temp_directory_path().string()});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "Error on open: Is a directory\n");
}

TEST(CommandLine, LogWithoutRecords) {
  const ProcessResult r = run_tool_process({"comma", write_temp_file("empty.rec", {})});
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, kScan + "\nUnable to locating starting and/or ending record\n");
}

TEST(CommandLine, WrappedLogInEveryMode) {
  const SectionFlags all = SECTION_TELM1 | SECTION_TELM2 | SECTION_ATTITUDE | SECTION_GPS;
  const Bytes log =
      LogBuilder().records(2, {90061, 90062}, all).records(2, {90059, 90060}, all).bytes;
  const std::string path = write_temp_file("wrapped.rec", log);
  for (const DelimiterMode mode : {DELIM_TAB, DELIM_COMMA, DELIM_SPACE}) {
    const char* word = mode == DELIM_TAB ? "tab" : mode == DELIM_COMMA ? "comma" : "space";
    const ProcessResult r = run_tool_process({word, path});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, kScan +
                         "\nOptional record sections present: TELM1 TELM2 Attitude GPS\n"
                         "Dumping packets, please wait\nRead 4 packets, skipped 0 bad packets.\n");
    // The process prints what the in-memory conversion prints.
    EXPECT_EQ(r.out, convert(log, mode).out);
    EXPECT_NE(r.out.find("01:00:59\""), std::string::npos);
    EXPECT_LT(r.out.find("01:00:59\""), r.out.find("01:01:02\""));
  }
}

TEST(CommandLine, TableGoesToStandardOutputOnly) {
  const ProcessResult r = run_tool_process(
      {"tab", write_temp_file("plain.rec", LogBuilder().records(0, {7, 8}).bytes)});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "Time\talt\tbaro\tASI\tTAS\tVSI\tg-s\trotor\tm-v\tb-v\tamps\tAOA\tOAT\t\n"
            "7\t1007\t2992\t97\t98\t-120\t1.2\t5\t14.1\t12.7\t-3.5\t4\t-7\t\n"
            "8\t1008\t2992\t98\t98\t-120\t1.2\t5\t14.1\t12.7\t-3.5\t4\t-7\t\n");
  EXPECT_EQ(r.err, kScan +
                       "\nOptional record sections present:\nDumping packets, please wait\n"
                       "Read 2 packets, skipped 0 bad packets.\n");
}

TEST(CommandLine, FullDiskEndsTheRunWithStatus8) {
  LogBuilder b;
  for (std::uint32_t t = 0; t < 3000; ++t) b.record(2, t, SECTION_TELM1 | SECTION_GPS);
  const ProcessResult r =
      run_tool_process({"tab", write_temp_file("full.rec", b.bytes)}, "/dev/full");
  EXPECT_EQ(r.status, 8);
  EXPECT_EQ(r.err, kScan +
                       "...\nOptional record sections present: TELM1 GPS\n"
                       "Dumping packets, please wait\nError on write: No space left on device\n");
}

// A FIFO or pipe named as the log is copied first, as standard input is: with a writer it is
// read whole (equal to the file's output), without one it gives no bytes at once, not a hang.
TEST(CommandLine, PipesAndFifosAreReadLikeStandardInput) {
  const std::string log = KORVEX_SAMPLE;
  const ProcessResult file = run_tool_process({"-q", "csv", log});
  ASSERT_EQ(file.status, 0);
  const auto fifo = std::filesystem::temp_directory_path() / "korvex-tests" / "log.fifo";
  std::filesystem::create_directories(fifo.parent_path());
  std::filesystem::remove(fifo);
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const ProcessResult alone = run_tool_process({"tab", fifo.string()});
  EXPECT_EQ(alone.status, 3);
  EXPECT_EQ(alone.out, "");
  EXPECT_EQ(alone.err, kScan + "\nUnable to locating starting and/or ending record\n");
  // A writer that holds the FIFO open before the tool starts.
  const pid_t writer = ::fork();
  if (writer == 0) {
    const int out = ::open(fifo.c_str(), O_WRONLY);  // waits for the reader
    const int in = ::open(log.c_str(), O_RDONLY);
    char buffer[65536];
    for (ssize_t n; (n = ::read(in, buffer, sizeof buffer)) > 0;) {
      if (::write(out, buffer, static_cast<std::size_t>(n)) != n) _exit(1);
    }
    _exit(0);
  }
  ASSERT_GT(writer, 0);
  const int held = ::open(fifo.c_str(), O_RDONLY);  // the writer is there once this returns
  const ProcessResult fed = run_tool_process({"-q", "csv", fifo.string()});
  ::close(held);
  int status = 0;
  ::waitpid(writer, &status, 0);
  std::filesystem::remove(fifo);
  EXPECT_EQ(fed.status, 0) << fed.err;
  EXPECT_TRUE(fed.out == file.out);
  // Process substitution, through bash.
  const ProcessResult substituted = run_tool_process(
      {"-c", "exec \"$0\" -q csv <(cat \"$1\")", KORVEX_EXE, log}, "", "/bin/bash");
  EXPECT_EQ(substituted.status, 0) << substituted.err;
  EXPECT_TRUE(substituted.out == file.out);
}

TEST(CommandLine, ClosedPipeEndsTheToolBySigpipe) {
  // A reader that stops early (such as head) ends the tool by SIGPIPE, like any filter.
  LogBuilder b;
  for (std::uint32_t t = 0; t < 20000; ++t) b.record(2, t, SECTION_TELM1 | SECTION_TELM2);
  const std::string path = write_temp_file("sigpipe.rec", b.bytes);
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF);
  std::string exe = KORVEX_EXE, mode = "tab";
  char* argv[] = {exe.data(), mode.data(), const_cast<char*>(path.c_str()), nullptr};
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, KORVEX_EXE, &actions, &attr, argv, environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  ::close(fds[1]);
  char first[10];
  EXPECT_EQ(::read(fds[0], first, sizeof first), 10);
  ::close(fds[0]);
  int wstatus = 0;
  ASSERT_EQ(::waitpid(pid, &wstatus, 0), pid);
  ASSERT_TRUE(WIFSIGNALED(wstatus));
  EXPECT_EQ(WTERMSIG(wstatus), SIGPIPE);
}

TEST(CommandLine, SampleLogDumps) {
  const ProcessResult r = run_tool_process({"space", KORVEX_SAMPLE});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("\nRead "), std::string::npos);
  EXPECT_NE(r.err.find(" packets, skipped 0 bad packets.\n"), std::string::npos);
}

}  // namespace
}  // namespace korvex::test
