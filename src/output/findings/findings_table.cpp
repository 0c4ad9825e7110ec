#include "output/findings/findings_table.h"

#include <string>

#include "fields/base_fields.h"
#include "output/cells/text_cell.h"
#include "output/cells/time_cell.h"
#include "output/findings/finding_text.h"

namespace korvex {

namespace {

// The columns and their widths in the space format, at least.
struct Column {
  std::string_view name;
  int width;
};
constexpr Column kColumns[] = {{"flight", 6},
                               {"start", TIME_WIDTH},
                               {"end", TIME_WIDTH},
                               {"seconds", 7},
                               {"column", 14},
                               {"label", 24},
                               {"kind", 9},
                               {"limit", 7},
                               {"peak", 7},
                               {"unit", 6},
                               {"baseline_median", 15},
                               {"baseline_iqr", 12},
                               {"baseline_flights", 16},
                               {"values", 12}};

}  // namespace

FindingsTable::FindingsTable(OutBuffer& out, DelimiterMode mode, bool analysis,
                             SectionFlags sections, const Profile& profile, const TimeZone& zone)
    : out_(out),
      mode_(mode),
      analysis_table_(analysis),
      zone_(zone),
      profile_(profile),
      analysis_(sections, profile, FlightAnalysis::FINDING_LIST | FlightAnalysis::CRUISE_SEGMENTS),
      trends_(trend_figures(analysis_.figures(), profile), analysis_.figures(), profile.trends) {}

bool FindingsTable::begin() {
  bool first = true;
  for (const Column& c : kColumns) {
    put_text_cell(out_, mode_, c.name, c.width, first);
    first = false;
  }
  out_.put('\n');
  return out_.failed() == 0;
}

bool FindingsTable::begin_flight(const FlightFacts& facts) {
  analysis_.start(facts);
  segments_.clear();
  return true;
}

void FindingsTable::write_ready() {
  const TimeForm form = analysis_table_ ? TimeForm::ISO : TimeForm::CLASSIC;
  for (const Finding& f : ready_) {
    const std::string cells[] = {std::to_string(f.flight),
                                 time_text(f.first_time, f.first_layout, form, zone_),
                                 time_text(f.last_time, f.last_layout, form, zone_),
                                 std::to_string(f.seconds()),
                                 finding_column(f, profile_),
                                 finding_label(f, profile_),
                                 std::string(finding_kind(f.kind)),
                                 finding_limit(f, profile_),
                                 finding_peak(f, profile_),
                                 finding_unit(f, profile_),
                                 drift_median(f, profile_),
                                 drift_iqr(f, profile_),
                                 drift_flights(f),
                                 drift_values(f, profile_)};
    for (std::size_t i = 0; i < std::size(cells); ++i) {
      // The times keep the classic table's quotes; labels and units are quoted where needed.
      put_text_cell(out_, mode_, cells[i], kColumns[i].width, i == 0, i >= 4);
    }
    out_.put('\n');
    ++rows_;
  }
  ready_.clear();
}

bool FindingsTable::record(const RecordEvent& event) {
  analysis_.add(event);
  analysis_.take_findings(ready_);
  analysis_.take_cruise(segments_);
  write_ready();
  return out_.failed() == 0;
}

bool FindingsTable::end_flight() {
  analysis_.finish();
  analysis_.take_findings(ready_);
  write_ready();
  if (const std::int64_t n = analysis_.summary().findings; n > 0) count_ += {n, 1};
  // The drift that this flight completes, after its own findings.
  analysis_.take_cruise(segments_);
  const TrendRow& row = trends_.add(analysis_.summary(), segments_);
  ready_ = row.drifts;
  count_ += {static_cast<std::int64_t>(row.drifts.size()), 0};
  write_ready();
  return out_.failed() == 0;
}

}  // namespace korvex
