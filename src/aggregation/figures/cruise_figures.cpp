#include "aggregation/figures/cruise_figures.h"

namespace korvex {

namespace {

std::vector<FigureId> cruise_figures(const std::vector<FigureId>& figures) {
  std::vector<FigureId> cruise;
  for (const FigureId id : figures) {
    if (FIGURES[id].is_cruise()) cruise.push_back(id);
  }
  return cruise;
}

}  // namespace

CruiseMedians::CruiseMedians(const std::vector<FigureId>& figures, ColumnValues& values,
                             std::size_t capacity)
    : sample_(cruise_figures(figures).size(), capacity) {
  for (const FigureId id : cruise_figures(figures)) {
    const FigureTraits& f = FIGURES[id];
    const bool spread = f.kind == FigureKind::CRUISE_SPREAD;
    items_.push_back({id, spread ? 0 : values.add(f.column), spread ? f.engine() : -1});
  }
  scratch_.reserve(capacity);
}

void CruiseMedians::clear() {
  sample_.clear();
}

void CruiseMedians::add(const RecordFacts& facts) {
  double* row = sample_.next();
  if (row == nullptr) return;
  for (const Item& item : items_) {
    *row++ =
        item.spread_engine >= 0 ? facts.egt_spread[item.spread_engine] : facts.values[item.value];
  }
}

void CruiseMedians::fill(std::array<std::optional<double>, FIGURE_COUNT>& figures) const {
  for (std::size_t i = 0; i < items_.size(); ++i) {
    figures[items_[i].figure] = sample_.median(i, scratch_);
  }
}

void CruiseSegments::start(std::int64_t flight) {
  is_open_ = false;
  open_.flight = flight;
  ready_.clear();
}

void CruiseSegments::close() {
  if (!is_open_) return;
  is_open_ = false;
  medians_.fill(open_.figures);
  ready_.push_back(open_);
}

void CruiseSegments::add(const RecordFacts& facts) {
  const RecordEvent& event = facts.event;
  if (!event.phased || event.phase != Phase::CRUISE) {
    close();
    return;
  }
  if (!is_open_) {
    is_open_ = true;
    open_.first_time = event.rec.timestamp;
    open_.first_layout = event.rec.revision;
    open_.records = 0;
    medians_.clear();
  }
  open_.last_time = event.rec.timestamp;
  open_.last_layout = event.rec.revision;
  ++open_.records;
  medians_.add(facts);
}

void CruiseSegments::finish() {
  close();
}

void CruiseSegments::take(std::vector<CruiseSegment>& out) {
  out.insert(out.end(), ready_.begin(), ready_.end());
  ready_.clear();
}

}  // namespace korvex
