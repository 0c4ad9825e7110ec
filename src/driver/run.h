// The run: arguments, the open log, the survey, the header, one or two dump passes in the order
// the survey calls for, the summary and the exit status.
#pragma once

#include <string_view>

#include "io/byte_stream.h"
#include "io/out_buffer.h"
#include "table/columns.h"

namespace korvex {

// Exit statuses of the tool.
inline constexpr int EXIT_DONE = 0;
inline constexpr int EXIT_USAGE = 1;
inline constexpr int EXIT_OPEN = 2;
inline constexpr int EXIT_NO_RECORDS = 3;
inline constexpr int EXIT_SEEK = 4;
inline constexpr int EXIT_DELIMITER = 5;
inline constexpr int EXIT_CLOSE = 6;
inline constexpr int EXIT_READ = 7;
inline constexpr int EXIT_WRITE = 8;

// "tab", "comma" or "space" in any mix of capital and small letters; false for any other word.
bool parse_delimiter(std::string_view word, DelimiterMode& mode);

// Everything between the open and the close: scanning text, survey, section line, header, the
// dump passes and the summary. The table goes to `out` (flushed before the summary), everything
// else to the diagnostics. Returns the exit status.
int convert_log(ByteStream& in, OutBuffer& out, DelimiterMode mode);

// Closes the log file: EXIT_DONE, or EXIT_CLOSE after the error report "Error on close".
int close_log(int fd);

// The whole tool for a command line (argv[0] the program name).
int run_tool(int argc, const char* const* argv, OutBuffer& out);

}  // namespace korvex
