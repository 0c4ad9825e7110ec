#include "aggregation/figures/figure_table.h"

#include "fields/column_set.h"

namespace korvex {

std::vector<FigureId> log_figures(SectionFlags sections, const Profile& profile) {
  std::vector<FigureId> figures;
  for (FigureId id = 0; id < FIGURE_COUNT; ++id) {
    const FigureTraits& f = FIGURES[id];
    bool has = false;
    switch (f.scope) {
      case FigureScope::ALWAYS:
        has = true;
        break;
      case FigureScope::ENGINE:
        has = (sections & section_flag(f.column.block)) != 0;
        break;
      case FigureScope::GPS:
        has = (sections & SECTION_GPS) != 0;
        break;
      case FigureScope::AIRBORNE:
        has = shows_block(sections, profile.airborne.column.block);
        break;
    }
    if (has && f.kind == FigureKind::CRUISE_SPREAD)
      has = !profile.engine(f.column.block)->egt.empty();
    if (has) figures.push_back(id);
  }
  return figures;
}

int figure_decimals(FigureId id, const Profile& profile) {
  const FigureTraits& f = FIGURES[id];
  if (f.type == FigureType::VALUE && f.unit == FigureUnit::COLUMN)
    return profile.decimals(f.column);
  return f.decimals;
}

std::string figure_key(FigureId id) {
  const FigureTraits& f = FIGURES[id];
  switch (f.key_form) {
    case FigureKey::FIXED:
      break;
    case FigureKey::ENGINE:
      return "engine" + std::to_string(f.column.block) + std::string(f.name);
    case FigureKey::BLOCK_PREFIX:
      return std::string(block_name_prefix[f.column.block]) + std::string(f.name);
    case FigureKey::COLUMN:
      return std::string(f.name) + column_name(f.column.block, *f.column.field);
    case FigureKey::CRUISE_BLOCK:
      return "cruise_" + std::string(block_name_prefix[f.column.block]) + std::string(f.name);
  }
  return std::string(f.name);
}

std::string cruise_key(FigureId id) {
  constexpr std::string_view kCruise = "cruise_";
  return figure_key(id).substr(kCruise.size());
}

FigureId find_figure(std::string_view key) {
  for (FigureId id = 0; id < FIGURE_COUNT; ++id) {
    if (figure_key(id) == key) return id;
  }
  return FIGURE_COUNT;
}

}  // namespace korvex
