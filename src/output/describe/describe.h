// --describe: the data dictionary of a log instead of its records, one row per column of the
// analysis table (Time, flight and the columns shown): its name, block, classic label, type,
// and the unit and label the profile gives it. Comma-separated (with the quoting of RFC 4180
// where a text needs it) or tab-separated by the format's delimiter, and a table aligned for
// reading in the space format.
#pragma once

#include "fields/column_set.h"
#include "io/out_buffer.h"
#include "output/cells/cells.h"
#include "profile/profile.h"

namespace korvex {

void write_description(OutBuffer& out, DelimiterMode mode, const ColumnSet& columns,
                       const Profile& profile);

}  // namespace korvex
