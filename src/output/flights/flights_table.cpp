#include "output/flights/flights_table.h"

#include "output/cells/text_cell.h"

namespace korvex {

FlightsTable::FlightsTable(OutBuffer& out, DelimiterMode mode, bool analysis, SectionFlags sections,
                           const Profile& profile, const TimeZone& zone, std::string_view columns)
    : out_(out),
      mode_(mode),
      analysis_(analysis),
      zone_(zone),
      figures_(sections, profile),
      detector_(sections, profile),
      findings_(detector_.any()),
      columns_(flight_columns(figures_.figures(), findings_)) {
  // The list was checked when the run was planned.
  if (std::string error; !columns.empty())
    columns_ = chosen_flight_columns(columns_, columns, error);
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
  figures_.start(facts);
  if (findings_) detector_.start(facts);
  return true;
}

bool FlightsTable::record(const RecordEvent& event) {
  figures_.add(event);
  if (findings_) {
    detector_.add(event);
    detector_.take_ready(found_);  // only counted
    found_.clear();
  }
  return true;
}

bool FlightsTable::end_flight() {
  FlightValues values = figures_.values();
  if (findings_) {
    detector_.finish();
    detector_.take_ready(found_);
    found_.clear();
    values.findings = detector_.count();
    if (values.findings > 0) count_ += {values.findings, 1};
  }
  const std::vector<std::string> texts =
      flight_texts(columns_, figures_.figures(), values,
                   analysis_ ? TimeForm::ISO : TimeForm::CLASSIC, analysis_ ? "" : "-", zone_);
  for (std::size_t i = 0; i < columns_.size(); ++i) put(texts[i], columns_[i], i == 0);
  out_.put('\n');
  ++rows_;
  return out_.failed() == 0;
}

}  // namespace korvex
