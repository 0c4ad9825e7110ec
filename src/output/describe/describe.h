// --describe: the data dictionary of a log instead of its records, one row per column of the
// analysis table (Time, flight and the columns shown): its name, block, classic label, type,
// and the unit and label the profile gives it. Comma-separated (with the quoting of RFC 4180
// where a text needs it) or tab-separated by the format's delimiter, and a table aligned for
// reading in the space format.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "fields/column_set.h"
#include "io/out_buffer.h"
#include "output/cells/cells.h"
#include "profile/profile.h"

namespace korvex {

// The fields of a column's description, and a description.
// A calibrated column gives its scale and offset, or its table as [[logged, value], ...].
inline constexpr std::array<std::string_view, 9> DESCRIPTION_FIELDS = {
    "name", "block", "classic_label", "type", "unit", "label", "scale", "offset", "table"};
using DescriptionRow = std::array<std::string, DESCRIPTION_FIELDS.size()>;

// The description of Time, flight and each column of the set, in table order; `calibrated`:
// of the values as --calibrated shows them.
std::vector<DescriptionRow> description_rows(const ColumnSet& columns, const Profile& profile,
                                             bool calibrated = false);

void write_description(OutBuffer& out, DelimiterMode mode, const ColumnSet& columns,
                       const Profile& profile, bool calibrated = false);

}  // namespace korvex
