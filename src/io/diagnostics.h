// Everything the tool says besides the table: progress texts and dots, warnings, error reports
// and the summary. It goes to standard error unless a test routes it elsewhere.
#pragma once

#include <string_view>

#include "io/out_buffer.h"

namespace korvex {

// The current destination of diagnostics; standard error unless redirected.
OutBuffer& diag();
// Routes diagnostics to `out` (nullptr: back to standard error); returns the previous one.
OutBuffer* redirect_diag(OutBuffer* out);

// Writes text at once (progress texts, dots, reports).
void diag_write(std::string_view text);
// Writes text that may wait in the buffer until the next diag_write or diag_flush (warnings that
// can come once per record).
void diag_append(std::string_view text);
void diag_flush();

// The progress dot: "." with no line break.
void progress_dot();

// The error report: prefix, a colon, a space, the system's text for err, a line break.
void error_report(std::string_view prefix, int err);

}  // namespace korvex
