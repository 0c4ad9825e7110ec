#include "output/flights/flights_table.h"

#include "output/cells/text_cell.h"

namespace korvex {

FlightsTable::FlightsTable(OutBuffer& out, DelimiterMode mode, bool analysis, SectionFlags sections,
                           const Profile& profile, const TimeZone& zone, std::string_view columns)
    : out_(out),
      mode_(mode),
      analysis_table_(analysis),
      zone_(zone),
      profile_(profile),
      analysis_(sections, profile, FlightAnalysis::FIGURE_VALUES_AND_COUNT),
      columns_(flight_columns(analysis_.figures(), analysis_.finds(), profile.aircraft.registration,
                              true)) {
  // The list was checked when the run was planned.
  if (std::string error; !columns.empty()) {
    columns_ = chosen_flight_columns(columns_, columns, error);
  }
}

void FlightsTable::put(std::string_view text, const FlightColumn& c, bool first) {
  put_text_cell(out_, mode_, text, c.width, first);
}

bool FlightsTable::begin() {
  for (std::size_t i = 0; i < columns_.size(); ++i) put(columns_[i].name, columns_[i], i == 0);
  out_.put('\n');
  return out_.failed() == 0;
}

bool FlightsTable::begin_flight(const FlightFacts& facts) {
  analysis_.start(facts);
  return true;
}

bool FlightsTable::record(const RecordEvent& event) {
  analysis_.add(event);
  return true;
}

bool FlightsTable::end_flight() {
  analysis_.finish();
  const FlightSummary& flight = analysis_.summary();
  if (flight.findings > 0) count_ += {flight.findings, 1};
  totals_.add(flight);
  const std::vector<std::string> texts =
      flight_texts(columns_, flight, profile_, analysis_table_ ? TimeForm::ISO : TimeForm::CLASSIC,
                   analysis_table_ ? "" : "-", zone_);
  for (std::size_t i = 0; i < columns_.size(); ++i) put(texts[i], columns_[i], i == 0);
  out_.put('\n');
  ++rows_;
  return out_.failed() == 0;
}

std::string FlightsTable::closing_note() const {
  return totals_.flights > 0 ? totals_text(totals_, profile_) + "\n" : std::string();
}

}  // namespace korvex
