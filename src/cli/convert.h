// One conversion, from the open log to the summary: the scanning text, the survey, the section
// line, the output's header, the records in the read plan's order, and the summary.
#pragma once

#include "cli/options.h"
#include "io/byte_stream.h"
#include "io/messages.h"
#include "io/out_buffer.h"

namespace korvex {

// The log read by `in`, in `format`, goes to `out` (flushed before the summary); everything else
// goes to `messages`. Returns the exit status.
int convert_log(ByteStream& in, OutBuffer& out, Format format, Messages& messages);

}  // namespace korvex
