#include "profile/profile.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "fields/column_set.h"
#include "io/ascii.h"
#include "io/concat.h"

namespace korvex {

static_assert(find_field(SECTION_ID_TELM1, "tc12") - find_field(SECTION_ID_TELM1, "tc1") ==
                  THERMOCOUPLES - 1,
              "the thermocouples follow one another in the table");

Profile::Profile() {
  airborne.column = {BASE_BLOCK, known_field(BASE_BLOCK, DEFAULT_AIRBORNE_COLUMN)};
}

namespace {

// The decimals that show `v` exactly, up to four.
int fraction_digits(double v) {
  constexpr int kMost = 4;
  for (int k = 0; k < kMost; ++k) {
    const double scaled = v * static_cast<double>(DECIMAL_SCALE[k]);
    if (std::abs(scaled - std::round(scaled)) < 1e-9 * std::max(1.0, std::abs(scaled))) return k;
  }
  return kMost;
}

}  // namespace

int Calibration::decimals(int logged) const {
  constexpr int kMost = 4;
  int d = 0;
  if (table.empty()) {
    d = std::max(logged + fraction_digits(scale), fraction_digits(offset));
  } else {
    d = 1;
    for (const auto& pair : table) d = std::max(d, fraction_digits(pair.second));
  }
  return std::min(d, kMost);
}

const Calibration* Profile::calibration(ColumnRef column) const {
  const ColumnSetup* c = setup(column);
  return c != nullptr && c->calibration.given() ? &c->calibration : nullptr;
}

int Profile::decimals(ColumnRef column) const {
  const Calibration* c = calibration(column);
  return c != nullptr ? c->decimals(column.field->decimals) : column.field->decimals;
}

const ColumnSetup* Profile::setup(ColumnRef column) const {
  const auto it = std::find_if(columns.begin(), columns.end(),
                               [&](const ColumnSetup& c) { return c.column == column; });
  return it != columns.end() ? &*it : nullptr;
}

const EngineSetup* Profile::engine(int block) const {
  if (block != SECTION_ID_TELM1 && block != SECTION_ID_TELM2) return nullptr;
  return &engines[block - SECTION_ID_TELM1];
}

bool Profile::limits_by_phase() const {
  for (const ColumnSetup& c : columns) {
    if ((c.phases | c.min_phases | c.max_phases) != 0) return true;
  }
  for (const EngineSetup& e : engines) {
    if (e.phases != 0) return true;
  }
  return false;
}

std::string_view Profile::label(ColumnRef column) const {
  const ColumnSetup* c = setup(column);
  return c != nullptr && !c->label.empty() ? std::string_view(c->label) : column.field->label;
}

std::string_view Profile::unit(ColumnRef column) const {
  if (const ColumnSetup* c = setup(column); c != nullptr && !c->unit.empty()) return c->unit;
  const EngineSetup* e = engine(column.block);
  const int tc = thermocouple(column);
  if (e == nullptr || tc == 0) return {};
  if (std::find(e->egt.begin(), e->egt.end(), tc) != e->egt.end()) return e->egt_unit;
  if (std::find(e->cht.begin(), e->cht.end(), tc) != e->cht.end()) return e->cht_unit;
  return {};
}

bool profile_column_names(std::string_view list, const Profile& profile, std::string& names,
                          std::string& error) {
  names.clear();
  auto add = [&](std::string_view name) {
    if (!names.empty()) names += ',';
    names += name;
  };
  for (std::size_t at = 0; at <= list.size();) {
    const std::size_t comma = std::min(list.find(',', at), list.size());
    const std::string_view item = list.substr(at, comma - at);
    at = comma + 1;
    const bool cylinders = item.size() == 4 &&
                           (item.substr(0, 3) == "egt" || item.substr(0, 3) == "cht") &&
                           (item[3] == '1' || item[3] == '2');
    if (cylinders) {
      const int block = item[3] == '1' ? SECTION_ID_TELM1 : SECTION_ID_TELM2;
      const EngineSetup& e = *profile.engine(block);
      const std::vector<int>& tcs = item[0] == 'e' ? e.egt : e.cht;
      if (tcs.empty()) {
        error = concat({"the profile names no cylinders for ", quoted(item), " (",
                        item.substr(0, 3), " in [engines.", item.substr(3), "])"});
        return false;
      }
      for (const int tc : tcs) {
        const ColumnRef c = thermocouple_column(block, tc);
        add(column_name(c.block, *c.field));
      }
      continue;
    }
    // A label of the profile, as written, or else in any case (one label spelt so).
    bool labelled = false;
    for (const bool exact : {true, false}) {
      for (const ColumnSetup& c : profile.columns) {
        if (c.label.empty() || (exact ? c.label != item : !equal_ignoring_case(c.label, item))) {
          continue;
        }
        add(column_name(c.column.block, *c.column.field));
        labelled = true;
      }
      if (labelled) break;
    }
    if (!labelled) add(item);
  }
  return true;
}

int thermocouple(ColumnRef column) {
  if (column.block != SECTION_ID_TELM1 && column.block != SECTION_ID_TELM2) return 0;
  const Field* first = known_field(SECTION_ID_TELM1, "tc1");
  const auto n = column.field - first;
  return n >= 0 && n < THERMOCOUPLES ? static_cast<int>(n) + 1 : 0;
}

ColumnRef thermocouple_column(int block, int n) {
  return {block, known_field(SECTION_ID_TELM1, "tc1") + (n - 1)};
}

}  // namespace korvex
