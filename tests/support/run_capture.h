// Runs the built KorvexLogDump as a separate process and captures what it prints.
#pragma once

#include <string>
#include <vector>

namespace korvex::test {

struct ProcessResult {
  int status = -1;  // exit status, or -1 when it did not exit normally
  std::string out;
  std::string err;
};

// Runs the tool with these arguments (program name excluded). stdout_path, when not empty, is
// where standard output goes instead of being captured (such as /dev/full); CLOSED_STDOUT starts
// the tool with standard output closed.
inline const std::string CLOSED_STDOUT = "<closed>";
// `program`, when given, is run instead of the tool (such as a shell that runs it).
ProcessResult run_tool_process(const std::vector<std::string>& args,
                               const std::string& stdout_path = "",
                               const std::string& program = "");

}  // namespace korvex::test
