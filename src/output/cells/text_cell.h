// A cell of text in the tables made of figures (flights, findings), written as it comes: in the
// space format right-aligned in its width with at least one blank before it (none before the
// first), else after the separator (none before the first). With `quote`, a text that the
// format cannot hold as it is gets quoted as csv does (RFC 4180) in the comma formats, and its
// tabs and line breaks become blanks in the tab formats.
#pragma once

#include <string>
#include <string_view>

#include "io/out_buffer.h"
#include "output/cells/cells.h"

namespace korvex {

void put_text_cell(OutBuffer& out, DelimiterMode mode, std::string_view text, int width, bool first,
                   bool quote = false);

// A number with this many decimals ("12.70").
std::string fixed_text(double value, int decimals);

}  // namespace korvex
