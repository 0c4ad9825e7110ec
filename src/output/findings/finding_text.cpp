#include "output/findings/finding_text.h"

#include <algorithm>
#include <charconv>

#include "fields/column_set.h"
#include "io/concat.h"

namespace korvex {

namespace {

std::string shortest(double v) {
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, v).ptr);
}

std::string fixed(double v, int decimals) {
  char text[64];
  return std::string(
      text, std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, decimals).ptr);
}

std::string engine_name(const Profile& profile, int block) {
  const EngineSetup& e = *profile.engine(block);
  return e.name.empty() ? concat({"engine ", std::to_string(block)}) : e.name;
}

// The cylinder of a thermocouple that the profile names: "EGT 3", or empty.
std::string cylinder(ColumnRef column, const Profile& profile) {
  const EngineSetup* e = profile.engine(column.block);
  const int tc = thermocouple(column);
  if (e == nullptr || tc == 0) return {};
  for (const auto& [list, word] : {std::pair{&e->egt, "EGT "}, std::pair{&e->cht, "CHT "}}) {
    const auto at = std::find(list->begin(), list->end(), tc);
    if (at != list->end()) return concat({word, std::to_string(at - list->begin() + 1)});
  }
  return {};
}

}  // namespace

std::string finding_column(const Finding& f) {
  if (f.spread()) return concat({"egt_spread_", std::to_string(f.column.block)});
  return column_name(f.column.block, *f.column.field);
}

std::string finding_label(const Finding& f, const Profile& profile) {
  std::string label;
  if (f.spread()) {
    label = "EGT spread";
  } else {
    const ColumnSetup* setup = profile.setup(f.column);
    label = setup != nullptr && !setup->label.empty() ? setup->label : cylinder(f.column, profile);
    if (label.empty()) label = std::string(f.column.field->label);
  }
  if (profile.engine(f.column.block) != nullptr) {
    label += concat({", ", engine_name(profile, f.column.block)});
  }
  return label;
}

std::string_view finding_kind(FindingKind kind) {
  switch (kind) {
    case FindingKind::ABOVE_MAX:
      return "above max";
    case FindingKind::BELOW_MIN:
      return "below min";
    case FindingKind::COOLING:
      break;
  }
  return "cooling";
}

std::string finding_limit(const Finding& f) {
  return shortest(f.limit);
}

std::string finding_peak(const Finding& f) {
  return fixed(f.peak, f.spread() ? 0 : f.column.field->decimals);
}

std::string finding_unit(const Finding& f, const Profile& profile) {
  if (!f.spread()) return std::string(profile.unit(f.column));
  const EngineSetup& e = *profile.engine(f.column.block);
  return e.egt.empty() ? std::string()
                       : std::string(profile.unit(thermocouple_column(f.column.block, e.egt[0])));
}

}  // namespace korvex
