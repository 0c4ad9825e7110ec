#include "output/cruise/cruise_table.h"

#include <algorithm>
#include <string>

#include "output/cells/text_cell.h"
#include "output/flights/flight_columns.h"

namespace korvex {

namespace {

constexpr int kFlightWidth = 6;
constexpr int kSecondsWidth = 7;

}  // namespace

CruiseTable::CruiseTable(OutBuffer& out, DelimiterMode mode, bool analysis, SectionFlags sections,
                         const Profile& profile, const TimeZone& zone)
    : out_(out),
      mode_(mode),
      analysis_table_(analysis),
      zone_(zone),
      profile_(profile),
      analysis_(sections, profile, FlightAnalysis::CRUISE_SEGMENTS) {
  for (const FigureId id : analysis_.figures()) {
    if (!FIGURES[id].is_cruise()) continue;
    std::string name = cruise_key(id);
    const int width = std::max(static_cast<int>(name.size()), int{FIGURES[id].width});
    columns_.push_back({std::move(name), width, id});
  }
}

bool CruiseTable::begin() {
  put_text_cell(out_, mode_, "flight", kFlightWidth, true);
  put_text_cell(out_, mode_, "start", TIME_WIDTH, false);
  put_text_cell(out_, mode_, "end", TIME_WIDTH, false);
  put_text_cell(out_, mode_, "seconds", kSecondsWidth, false);
  for (const Column& c : columns_) put_text_cell(out_, mode_, c.name, c.width, false);
  out_.put('\n');
  return out_.failed() == 0;
}

bool CruiseTable::begin_flight(const FlightFacts& facts) {
  analysis_.start(facts);
  return true;
}

void CruiseTable::write_ready() {
  const TimeForm form = analysis_table_ ? TimeForm::ISO : TimeForm::CLASSIC;
  const std::string_view missing = analysis_table_ ? "" : "-";
  for (const CruiseSegment& s : ready_) {
    put_text_cell(out_, mode_, std::to_string(s.flight), kFlightWidth, true);
    put_text_cell(out_, mode_, time_text(s.first_time, s.first_layout, form, zone_), TIME_WIDTH,
                  false);
    put_text_cell(out_, mode_, time_text(s.last_time, s.last_layout, form, zone_), TIME_WIDTH,
                  false);
    put_text_cell(out_, mode_, std::to_string(s.seconds()), kSecondsWidth, false);
    for (const Column& c : columns_) {
      put_text_cell(out_, mode_, figure_text(c.figure, s.figures[c.figure], missing, profile_),
                    c.width, false);
    }
    out_.put('\n');
    ++rows_;
  }
  ready_.clear();
}

bool CruiseTable::record(const RecordEvent& event) {
  analysis_.add(event);
  analysis_.take_cruise(ready_);
  write_ready();
  return out_.failed() == 0;
}

bool CruiseTable::end_flight() {
  analysis_.finish();
  analysis_.take_cruise(ready_);
  write_ready();
  return out_.failed() == 0;
}

}  // namespace korvex
