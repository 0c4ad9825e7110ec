#include "output/findings/finding_text.h"

#include <algorithm>
#include <cctype>
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
    {FindingKind::DRIFT, "drift", {}, {}},
};

const KindText& text_of(FindingKind kind) {
  for (const KindText& k : kKinds) {
    if (k.kind == kind) return k;
  }
  return kKinds[0];
}

}  // namespace

std::string finding_column(const Finding& f, const Profile& profile) {
  const KindText& text = text_of(f.kind);
  if (!text.own_column.empty()) return concat({text.own_column, std::to_string(f.column.block)});
  if (f.deviation) {  // as the trends table names it: telm1_cht3_dev
    std::string cylinder = column_label(f.column, profile);
    std::erase(cylinder, ' ');
    for (char& c : cylinder) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return concat({block_name_prefix[f.column.block], cylinder, "_dev"});
  }
  return column_name(f.column.block, *f.column.field);
}

std::string finding_label(const Finding& f, const Profile& profile) {
  std::string label(text_of(f.kind).own_label);
  if (label.empty()) {
    label = column_label(f.column, profile);
    if (label.empty()) label = std::string(f.column.field->label);
    if (f.deviation) label += " deviation";
  }
  if (profile.engine(f.column.block) != nullptr) {
    label += concat({", ", engine_name(profile, f.column.block)});
  }
  return label;
}

std::string_view finding_kind(FindingKind kind) {
  return text_of(kind).word;
}

std::string finding_limit(const Finding& f, const Profile& profile) {
  if (f.kind == FindingKind::DRIFT) return fixed_text(f.limit, drift_decimals(f, profile) + 1);
  return shortest(f.limit);
}

std::string finding_peak(const Finding& f, const Profile& profile) {
  if (f.kind == FindingKind::DRIFT) return fixed_text(f.peak, drift_decimals(f, profile));
  return fixed_text(f.peak, profile.decimals(f.column));
}

int drift_decimals(const Finding& f, const Profile& profile) {
  return profile.decimals(f.column) + (f.deviation ? 1 : 0);
}

std::string drift_median(const Finding& f, const Profile& profile) {
  if (f.kind != FindingKind::DRIFT) return {};
  return fixed_text(f.baseline_median, drift_decimals(f, profile) + 1);
}

std::string drift_iqr(const Finding& f, const Profile& profile) {
  if (f.kind != FindingKind::DRIFT) return {};
  return fixed_text(f.baseline_iqr, drift_decimals(f, profile) + 1);
}

std::string drift_flights(const Finding& f) {
  return f.kind == FindingKind::DRIFT ? std::to_string(f.baseline_flights) : std::string();
}

std::string drift_values(const Finding& f, const Profile& profile) {
  std::string text;
  for (const double v : f.values) {
    if (!text.empty()) text += ' ';
    text += fixed_text(v, drift_decimals(f, profile));
  }
  return text;
}

std::string finding_unit(const Finding& f, const Profile& profile) {
  return std::string(profile.unit(f.column));
}

}  // namespace korvex
