// The formats of the tool, an entry each (see output/format/format.h): the run's own table,
// which only the cli includes. A new format is a folder under output/ and an entry in
// registry.cpp (and its man page, completion and README lines).
#pragma once

#include <span>
#include <string_view>

#include "output/format/format.h"

namespace korvex {

// Every format, in the order the help lists them.
std::span<const FormatEntry> output_formats();
// The format named `word` (in any case), or nullptr.
const FormatEntry* find_format(std::string_view word);

}  // namespace korvex
