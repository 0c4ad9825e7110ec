// The words a column is known by beyond its name: the label the profile gives it, else the
// cylinder the profile puts its thermocouple on ("EGT 3", "CHT 5"), else none.
#pragma once

#include <string>

#include "fields/blocks.h"
#include "profile/profile.h"

namespace korvex {

std::string column_label(ColumnRef column, const Profile& profile);

}  // namespace korvex
