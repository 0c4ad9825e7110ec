#include "output/trends/trends_table.h"

#include <algorithm>
#include <cmath>

#include "io/concat.h"
#include "output/cells/text_cell.h"

namespace korvex {

namespace {

constexpr int kFlightWidth = 6;
constexpr int kKeyWidth = 10;
constexpr int kSecondsWidth = 7;
constexpr int kHoursWidth = 8;
constexpr int kHourDecimals = 2;
constexpr int kCountWidth = 5;
// What the trends table calls each kind of finding of a flight's records, in the order of the
// kinds (drift is a finding of the flights, not of one).
constexpr std::string_view kKindNames[] = {"above_max", "below_min", "egt_spread", "cht_cooling"};
static_assert(std::size(kKindNames) == static_cast<std::size_t>(FindingKind::DRIFT));

std::string engine_word(int engine) {
  return concat({"engine", std::to_string(engine + 1)});
}

}  // namespace

std::string trend_figure_name(const TrendFigure& f) {
  if (f.cylinder == 0) return cruise_key(f.figure);
  return concat({block_name_prefix[FIGURES[f.figure].column.block], f.egt ? "egt" : "cht",
                 std::to_string(f.cylinder), f.deviation ? "_dev" : ""});
}

std::vector<int> trend_engines(const std::vector<TrendFigure>& figures) {
  std::vector<int> engines;
  for (const TrendFigure& f : figures) {
    if (f.engine >= 0 && std::find(engines.begin(), engines.end(), f.engine) == engines.end()) {
      engines.push_back(f.engine);
    }
  }
  return engines;
}

std::span<const std::string_view> trend_finding_names() {
  return kKindNames;
}

int trend_decimals(const TrendFigure& f) {
  // A deviation to a digit more than its figure.
  return f.decimals + (f.deviation ? 1 : 0);
}

TrendsTable::TrendsTable(OutBuffer& out, DelimiterMode mode, bool analysis, SectionFlags sections,
                         const Profile& profile, const TimeZone& zone)
    : out_(out),
      mode_(mode),
      analysis_table_(analysis),
      zone_(zone),
      profile_(profile),
      analysis_(sections, profile,
                FlightAnalysis::FIGURE_VALUES | FlightAnalysis::FINDING_COUNT |
                    FlightAnalysis::CRUISE_SEGMENTS),
      trends_(trend_figures(analysis_.figures(), profile), analysis_.figures(), profile.trends),
      engines_(trend_engines(trends_.figures())) {
  const auto add = [&](std::string name, int width) {
    width = std::max(width, static_cast<int>(name.size()));
    columns_.push_back({std::move(name), width});
  };
  if (!profile.aircraft.registration.empty()) {
    add("aircraft", static_cast<int>(profile.aircraft.registration.size()));
  }
  add("flight", kFlightWidth);
  add("flight_id", kKeyWidth);
  add("start", TIME_WIDTH);
  add("cruise_start", TIME_WIDTH);
  add("cruise_seconds", kSecondsWidth);
  for (const int e : engines_) add(concat({engine_word(e), "_hours"}), kHoursWidth);
  add("baseline_flights", kCountWidth);
  for (const int e : engines_) add(concat({engine_word(e), "_power_flights"}), kCountWidth);
  for (const TrendFigure& f : trends_.figures()) {
    const std::string name = trend_figure_name(f);
    const int width = FIGURES[f.figure].width + 2;
    add(name, width);
    add(concat({name, "_median"}), width);
    add(concat({name, "_iqr"}), width);
  }
  if (analysis_.finds()) {
    for (const std::string_view kind : kKindNames) add(concat({"findings_", kind}), kCountWidth);
  }
}

void TrendsTable::put(std::string_view text, std::size_t column) {
  put_text_cell(out_, mode_, text, columns_[column].width, column == 0);
}

bool TrendsTable::begin() {
  for (std::size_t i = 0; i < columns_.size(); ++i) put(columns_[i].name, i);
  out_.put('\n');
  return out_.failed() == 0;
}

bool TrendsTable::begin_flight(const FlightFacts& facts) {
  analysis_.start(facts);
  segments_.clear();
  return true;
}

bool TrendsTable::record(const RecordEvent& event) {
  analysis_.add(event);
  analysis_.take_cruise(segments_);
  return true;
}

bool TrendsTable::end_flight() {
  analysis_.finish();
  analysis_.take_cruise(segments_);
  const FlightSummary& flight = analysis_.summary();
  if (flight.findings > 0) count_ += {flight.findings, 1};
  const TrendRow& row = trends_.add(flight, segments_);
  const TimeForm form = analysis_table_ ? TimeForm::ISO : TimeForm::CLASSIC;
  const std::string_view missing = analysis_table_ ? "" : "-";
  const auto number = [&](double v, int decimals) {
    return std::isnan(v) ? std::string(missing) : fixed_text(v, decimals);
  };
  std::size_t at = 0;
  if (!profile_.aircraft.registration.empty()) put(profile_.aircraft.registration, at++);
  put(std::to_string(flight.flight), at++);
  put(std::to_string(flight.flight_id), at++);
  put(time_text(flight.first_time, flight.first_layout, form, zone_), at++);
  put(row.cruise ? time_text(row.cruise_first, row.cruise_layout, form, zone_) : missing, at++);
  put(row.cruise ? std::to_string(row.cruise_last - row.cruise_first + 1) : missing, at++);
  for (const int e : engines_) put(number(row.engine_hours[e], kHourDecimals), at++);
  put(std::to_string(row.flights), at++);
  for (const int e : engines_) put(std::to_string(row.power_flights[e]), at++);
  for (std::size_t k = 0; k < trends_.figures().size(); ++k) {
    const TrendFigure& f = trends_.figures()[k];
    // A baseline to a digit more than its values.
    const int decimals = trend_decimals(f);
    const Baseline& b = row.baselines[k];
    put(number(row.values[k], decimals), at++);
    put(b.flights > 0 ? fixed_text(b.median, decimals + 1) : std::string(missing), at++);
    put(b.flights > 0 ? fixed_text(b.iqr, decimals + 1) : std::string(missing), at++);
  }
  if (analysis_.finds()) {
    for (std::size_t kind = 0; kind < std::size(kKindNames); ++kind) {
      put(std::to_string(flight.findings_by_kind[kind]), at++);
    }
  }
  out_.put('\n');
  ++rows_;
  return out_.failed() == 0;
}

}  // namespace korvex
