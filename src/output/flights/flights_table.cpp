#include "output/flights/flights_table.h"

namespace korvex {

void FlightsTable::put(std::string_view text, const FlightSummary::Column& c, bool first) {
  if (mode_ == DELIM_SPACE) {
    const std::size_t width = static_cast<std::size_t>(c.width) + (first ? 0 : 1);
    for (std::size_t n = text.size(); n < width; ++n) out_.put(' ');
    if (!first && text.size() >= width) out_.put(' ');
  } else if (!first) {
    out_.put(mode_ == DELIM_TAB ? '\t' : ',');
  }
  out_.write(text);
}

void FlightsTable::begin() {
  const auto& columns = summary_.columns();
  for (std::size_t i = 0; i < columns.size(); ++i) put(columns[i].name, columns[i], i == 0);
  out_.put('\n');
}

bool FlightsTable::record(const Record& rec, std::int64_t flight) {
  if (flight != summary_.flight()) {
    if (summary_.flight() != 0) write_row();
    summary_.start(flight, rec);
  }
  summary_.add(rec);
  return out_.failed() == 0;
}

void FlightsTable::write_row() {
  const std::vector<std::string> texts = summary_.texts(analysis_, analysis_ ? "" : "-");
  const auto& columns = summary_.columns();
  for (std::size_t i = 0; i < columns.size(); ++i) put(texts[i], columns[i], i == 0);
  out_.put('\n');
  ++rows_;
}

bool FlightsTable::end() {
  if (summary_.flight() != 0) write_row();
  return out_.flush();
}

}  // namespace korvex
