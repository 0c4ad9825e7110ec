#include "aggregation/figures/cruise_figures.h"

namespace korvex {

CruiseMedians::CruiseMedians(const std::vector<FigureId>& figures, ColumnValues& values) {
  for (const FigureId id : figures) {
    const FigureTraits& f = FIGURES[id];
    if (f.kind == FigureKind::CRUISE) {
      items_.push_back({id, values.add(f.column), -1, MedianSample()});
    } else if (f.kind == FigureKind::CRUISE_SPREAD) {
      items_.push_back({id, 0, f.engine(), MedianSample()});
    }
  }
  scratch_.reserve(MedianSample::kCapacity);
}

void CruiseMedians::clear() {
  for (Item& item : items_) item.sample.clear();
}

void CruiseMedians::add(const RecordFacts& facts) {
  for (Item& item : items_) {
    item.sample.add(item.spread_engine >= 0 ? facts.egt_spread[item.spread_engine]
                                            : facts.values[item.value]);
  }
}

void CruiseMedians::fill(std::array<std::optional<double>, FIGURE_COUNT>& figures) const {
  for (const Item& item : items_) figures[item.figure] = item.sample.median(scratch_);
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
