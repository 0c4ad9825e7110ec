// The tool for one command line: parse it, then show the help or the version, or open the log,
// convert it into the chosen format, close it, and return the exit status.
#pragma once

#include "io/messages.h"
#include "io/out_buffer.h"
#include "io/system_calls.h"

namespace korvex {

// The output goes to `out`, everything else to `messages`; the files the run writes (-o, --split,
// a logbook) go through `calls` (nullptr: the system's calls as they are).
int run_tool(int argc, const char* const* argv, OutBuffer& out, Messages& messages,
             SystemCalls* calls = nullptr);

}  // namespace korvex
