#include "output/cells/column_label.h"

#include <algorithm>
#include <utility>

#include "io/concat.h"

namespace korvex {

std::string column_label(ColumnRef column, const Profile& profile) {
  if (const ColumnSetup* setup = profile.setup(column); setup != nullptr && !setup->label.empty()) {
    return setup->label;
  }
  const EngineSetup* e = profile.engine(column.block);
  const int tc = thermocouple(column);
  if (e == nullptr || tc == 0) return {};
  for (const auto& [list, word] : {std::pair{&e->egt, "EGT "}, std::pair{&e->cht, "CHT "}}) {
    const auto at = std::find(list->begin(), list->end(), tc);
    if (at != list->end()) return concat({word, std::to_string(at - list->begin() + 1)});
  }
  return {};
}

}  // namespace korvex
