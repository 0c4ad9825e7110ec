#include "output/flights/flights_table.h"

#include "output/cells/text_cell.h"

namespace korvex {

FlightsTable::FlightsTable(OutBuffer& out, DelimiterMode mode, bool analysis, SectionFlags sections,
                           const Profile& profile)
    : out_(out),
      mode_(mode),
      analysis_(analysis),
      figures_(sections, profile),
      columns_(flight_columns(figures_.figures())) {}

void FlightsTable::put(std::string_view text, const FlightColumn& c, bool first) {
  put_text_cell(out_, mode_, text, c.width, first);
}

void FlightsTable::begin() {
  for (std::size_t i = 0; i < columns_.size(); ++i) put(columns_[i].name, columns_[i], i == 0);
  out_.put('\n');
}

bool FlightsTable::begin_flight(const FlightFacts& facts) {
  figures_.start(facts);
  return true;
}

bool FlightsTable::record(const RecordEvent& event) {
  figures_.add(event);
  return true;
}

bool FlightsTable::end_flight() {
  const std::vector<std::string> texts =
      flight_texts(columns_, figures_.figures(), figures_.values(),
                   analysis_ ? TimeForm::ISO : TimeForm::CLASSIC, analysis_ ? "" : "-");
  for (std::size_t i = 0; i < columns_.size(); ++i) put(texts[i], columns_[i], i == 0);
  out_.put('\n');
  ++rows_;
  return out_.failed() == 0;
}

}  // namespace korvex
