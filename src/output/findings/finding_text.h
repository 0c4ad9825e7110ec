// How a finding is named and written: its column's name, its label, its kind, its limit and
// peak as text, for the findings table and the report.
#pragma once

#include <string>
#include <string_view>

#include "aggregation/findings/finding.h"
#include "profile/profile.h"

namespace korvex {

// The csv name of the finding's column, or egt_spread_N.
std::string finding_column(const Finding& f, const Profile& profile);
// What the profile calls the column: its label, "EGT 3" or "CHT 3" for a named cylinder's
// thermocouple, "EGT spread"; with the engine's name for an engine's column.
std::string finding_label(const Finding& f, const Profile& profile);
// "above max" (of a column or a spread), "below min" or "cooling".
std::string_view finding_kind(FindingKind kind);
// The limit as the profile gives it (of a drift, the bound passed, to a digit more than its
// figure), and the peak with the column's decimals (of a deviation's drift, a digit more).
std::string finding_limit(const Finding& f, const Profile& profile);
std::string finding_peak(const Finding& f, const Profile& profile);
// The decimals of a drift's figure: its column's, a digit more for a deviation.
int drift_decimals(const Finding& f, const Profile& profile);
// Of a drift: its baseline's median, interquartile range and flights, and the figure in each
// flight of the row ("412 425 436"); empty for other kinds.
std::string drift_median(const Finding& f, const Profile& profile);
std::string drift_iqr(const Finding& f, const Profile& profile);
std::string drift_flights(const Finding& f);
std::string drift_values(const Finding& f, const Profile& profile);
// The unit of the column's values (of the EGTs for a spread, of the CHT for a cooling).
std::string finding_unit(const Finding& f, const Profile& profile);

}  // namespace korvex
