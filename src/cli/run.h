// The tool for one command line: parse it, then show the help or the version, or open the log,
// convert it into the chosen format, close it, and return the exit status.
#pragma once

#include "io/messages.h"
#include "io/out_buffer.h"

namespace korvex {

// The output goes to `out`, everything else to `messages`.
int run_tool(int argc, const char* const* argv, OutBuffer& out, Messages& messages);

}  // namespace korvex
