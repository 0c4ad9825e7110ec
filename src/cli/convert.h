// One conversion, from the open log to the summary: the scanning text, the survey, the section
// line, the checks of what the options name against the log, the output's header, the records in
// the read plan's order through the selection, and the summary.
#pragma once

#include <span>
#include <string_view>

#include "cli/options.h"
#include "io/byte_stream.h"
#include "io/messages.h"
#include "io/out_buffer.h"
#include "io/system_calls.h"

namespace korvex {

// The log read by `in`, as the options say, goes to `out` (or to the files of --split);
// everything else goes to `messages`. Returns the exit status.
int convert_log(ByteStream& in, OutBuffer& out, const Options& options, Messages& messages);

// The logs read by `ins`, read as one (see plan/merged_read.h), as the options say; their names
// are the options' log paths. The files the run writes itself go through `calls`; `named`, when
// given, tells a failed run whose output had given its own file its name.
int convert_logs(std::span<ByteStream* const> ins, OutBuffer& out, const Options& options,
                 Messages& messages, SystemCalls* calls = nullptr, bool* named = nullptr);

// The whole log in the format named `format` (a format word).
int convert_log(ByteStream& in, OutBuffer& out, std::string_view format, Messages& messages);

}  // namespace korvex
