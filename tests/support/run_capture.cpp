#include "support/run_capture.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string_view>

extern char** environ;

namespace korvex::test {

namespace {

std::string read_whole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

ProcessResult run_tool_process(const std::vector<std::string>& args, const std::string& stdout_path,
                               const std::string& program) {
  static std::atomic<int> serial{0};
  const auto dir = std::filesystem::temp_directory_path() / "korvex-tests";
  std::filesystem::create_directories(dir);
  const std::string stem =
      (dir / ("run-" + std::to_string(::getpid()) + "-" + std::to_string(serial++))).string();
  const std::string out_path = stdout_path.empty() ? stem + ".out" : stdout_path;
  const std::string err_path = stem + ".err";

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (stdout_path == CLOSED_STDOUT) {
    posix_spawn_file_actions_addclose(&actions, 1);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
  }
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  const std::string run = program.empty() ? std::string(KORVEX_EXE) : program;
  std::vector<std::string> argv_text{run};
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);

  // The environment, with a folder of settings of its own: no profile of the user's reaches
  // the tool.
  const std::string config = "XDG_CONFIG_HOME=" + (dir / "no-config").string();
  std::vector<char*> env;
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::string_view(*e).starts_with("XDG_CONFIG_HOME=")) continue;
    env.push_back(*e);
  }
  env.push_back(const_cast<char*>(config.c_str()));
  env.push_back(nullptr);

  pid_t pid = 0;
  const int rc = posix_spawn(&pid, run.c_str(), &actions, nullptr, argv.data(), env.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("cannot start " + run);
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);

  ProcessResult result;
  result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  if (stdout_path.empty()) {
    result.out = read_whole(out_path);
    std::filesystem::remove(out_path);
  }
  result.err = read_whole(err_path);
  std::filesystem::remove(err_path);
  return result;
}

}  // namespace korvex::test
