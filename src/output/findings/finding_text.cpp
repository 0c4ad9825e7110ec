#include "output/findings/finding_text.h"

#include <algorithm>
#include <charconv>

#include "fields/column_set.h"
#include "io/concat.h"
#include "output/cells/column_label.h"
#include "output/cells/text_cell.h"

namespace korvex {

namespace {

std::string shortest(double v) {
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, v).ptr);
}

std::string engine_name(const Profile& profile, int block) {
  const EngineSetup& e = *profile.engine(block);
  return e.name.empty() ? concat({"engine ", std::to_string(block)}) : e.name;
}

// The words of each kind of finding: what it is, and what its column is called when it names
// no column of the log's (an engine's spread).
struct KindText {
  FindingKind kind;
  std::string_view word;
  std::string_view own_column;  // with the engine monitor's number after it; empty: the column's
  std::string_view own_label;   // empty: the column's
};
constexpr KindText kKinds[] = {
    {FindingKind::ABOVE_MAX, "above max", {}, {}},
    {FindingKind::BELOW_MIN, "below min", {}, {}},
    {FindingKind::EGT_SPREAD, "above max", "egt_spread_", "EGT spread"},
    {FindingKind::CHT_COOLING, "cooling", {}, {}},
};

const KindText& text_of(FindingKind kind) {
  for (const KindText& k : kKinds) {
    if (k.kind == kind) return k;
  }
  return kKinds[0];
}

}  // namespace

std::string finding_column(const Finding& f) {
  const KindText& text = text_of(f.kind);
  if (!text.own_column.empty()) return concat({text.own_column, std::to_string(f.column.block)});
  return column_name(f.column.block, *f.column.field);
}

std::string finding_label(const Finding& f, const Profile& profile) {
  std::string label(text_of(f.kind).own_label);
  if (label.empty()) {
    label = column_label(f.column, profile);
    if (label.empty()) label = std::string(f.column.field->label);
  }
  if (profile.engine(f.column.block) != nullptr) {
    label += concat({", ", engine_name(profile, f.column.block)});
  }
  return label;
}

std::string_view finding_kind(FindingKind kind) {
  return text_of(kind).word;
}

std::string finding_limit(const Finding& f) {
  return shortest(f.limit);
}

std::string finding_peak(const Finding& f, const Profile& profile) {
  return fixed_text(f.peak, profile.decimals(f.column));
}

std::string finding_unit(const Finding& f, const Profile& profile) {
  return std::string(profile.unit(f.column));
}

}  // namespace korvex
