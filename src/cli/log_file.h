// Opening the log: a named file, or standard input. The tool reads the log twice and seeks in
// it, so standard input that cannot seek (a pipe) is first copied to an unnamed temporary file
// in TMPDIR, in constant memory. A named path is opened without blocking, so that a FIFO
// without a writer fails like any other log that cannot seek instead of hanging.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "io/messages.h"

namespace korvex {

// Opens the log at `path` ("-": standard input) into `fd`. Returns EXIT_DONE, or the exit status
// after the failure has been reported (naming the file, unless `classic`).
int open_log(std::string_view path, Messages& messages, int& fd, bool classic = false);

// The name of a log in messages: its file name, or "standard input".
std::string log_name(const std::string& path);

// The heading of the messages about log i (from 0) of n, when a run reads several: "Log 2 of 3:
// NAME", a line.
std::string log_heading(std::size_t i, std::size_t n, const std::string& path);

// Closes the log file: EXIT_DONE, or EXIT_CLOSE after the error report "Error on close".
int close_log(int fd, Messages& messages);

}  // namespace korvex
