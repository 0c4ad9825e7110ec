// The analysis tables, csv and tsv: the classic table's records and cells, made for programs.
// Column names are unique identifiers, a flight column follows Time, no separator follows the
// last cell, Time is ISO 8601 (YYYY-MM-DDTHH:MM:SS on the instrument's clock) or the raw count,
// and a value the record does not carry (a block it lacks, a column its layout lacks) is an
// empty cell. No cell needs quoting.
#pragma once

#include <memory>
#include <string_view>

#include "fields/column_set.h"
#include "io/out_buffer.h"
#include "output/cells/cells.h"
#include "output/format/log_output.h"

namespace korvex {

struct OutputSetup;

inline constexpr std::string_view FLIGHT_NAME = "flight";
// The column of each record's phase: stopped, ground, takeoff, climb, cruise, descent, landing
// or airborne.
inline constexpr std::string_view PHASE_NAME = "phase";

// The header; `mode` is DELIM_COMMA (csv) or DELIM_TAB (tsv).
void print_csv_header(OutBuffer& out, DelimiterMode mode, const ColumnSet& columns);

// The analysis table, or with --flights the flights table in its analysis form.
std::unique_ptr<LogOutput> make_analysis_table(const OutputSetup& setup);

}  // namespace korvex
