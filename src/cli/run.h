// The command line: the arguments, the open log file, the conversion, the close and the exit
// status.
#pragma once

#include <string_view>

#include "io/messages.h"
#include "io/out_buffer.h"
#include "output/table/cells.h"

namespace korvex {

// "tab", "comma" or "space" in any mix of capital and small letters; false for any other word.
bool parse_delimiter(std::string_view word, DelimiterMode& mode);

// Closes the log file: EXIT_DONE, or EXIT_CLOSE after the error report "Error on close".
int close_log(int fd, Messages& messages);

// The whole tool for a command line (argv[0] the program name): the table goes to `out`,
// everything else to `messages`.
int run_tool(int argc, const char* const* argv, OutBuffer& out, Messages& messages);

}  // namespace korvex
