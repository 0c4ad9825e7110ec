// One conversion, from the open log to the summary: the scanning text, the survey, the section
// line, the output's header, the records in the read plan's order, and the summary.
#pragma once

#include "io/byte_stream.h"
#include "io/messages.h"
#include "io/out_buffer.h"
#include "output/table/cells.h"

namespace korvex {

// The classic table of the log read by `in` goes to `out` (flushed before the summary);
// everything else goes to `messages`. Returns the exit status.
int convert_log(ByteStream& in, OutBuffer& out, DelimiterMode mode, Messages& messages);

}  // namespace korvex
