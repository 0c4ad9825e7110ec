#include "output/flights/flight_columns.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "fields/base_fields.h"
#include "fields/column_set.h"
#include "fields/name_match.h"
#include "io/concat.h"

namespace korvex {

namespace {

// The widths of the columns in the space format, at least.
constexpr int kFlightWidth = 6;
constexpr int kDurationWidth = 9;
constexpr int kRecordsWidth = 7;
constexpr int kFindingsWidth = 8;

FlightColumn column(std::string name, FlightColumn::Kind kind, int width, FigureId figure = 0) {
  const int named = std::max<int>(width, static_cast<int>(name.size()));
  return {std::move(name), named, kind, figure};
}

std::string fixed(double value, int decimals) {
  char text[64];
  const char* end =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr;
  return std::string(static_cast<const char*>(text), end);
}

}  // namespace

std::vector<FlightColumn> flight_columns(const std::vector<FigureId>& figures, bool findings) {
  std::vector<FlightColumn> columns = {
      column("flight", FlightColumn::FLIGHT, kFlightWidth),
      column("start", FlightColumn::START, TIME_WIDTH),
      column("end", FlightColumn::END, TIME_WIDTH),
      column("duration", FlightColumn::DURATION, kDurationWidth),
      column("records", FlightColumn::RECORDS, kRecordsWidth),
  };
  // The findings after the landings, else after the records.
  std::size_t findings_at = columns.size();
  for (const FigureId id : figures) {
    columns.push_back(column(figure_key(id), FlightColumn::FIGURE, FIGURES[id].width, id));
    if (FIGURES[id].kind == FigureKind::LANDINGS) findings_at = columns.size();
  }
  if (findings) {
    columns.insert(columns.begin() + static_cast<std::ptrdiff_t>(findings_at),
                   column("findings", FlightColumn::FINDINGS, kFindingsWidth));
  }
  return columns;
}

std::vector<FlightColumn> chosen_flight_columns(const std::vector<FlightColumn>& columns,
                                                std::string_view list, std::string& error) {
  std::vector<ColumnNames> names;
  names.reserve(columns.size());
  for (const FlightColumn& c : columns) names.push_back({c.name});
  const NameChoice choice = choose_names(list, names);
  if (choice.match != NameMatch::CHOSEN) {
    error = choice.error;
    if (!choice.suggested) {
      error += "; the flights table has flight, start, end, duration, records and its figures";
    }
    return {};
  }
  std::vector<FlightColumn> chosen;
  for (const FlightColumn& c : columns) {
    if (c.kind == FlightColumn::FLIGHT || c.kind == FlightColumn::START ||
        c.kind == FlightColumn::END) {
      chosen.push_back(c);
    }
  }
  for (const std::size_t i : choice.chosen) {
    const FlightColumn& c = columns[i];
    if (c.kind != FlightColumn::FLIGHT && c.kind != FlightColumn::START &&
        c.kind != FlightColumn::END) {
      chosen.push_back(c);
    }
  }
  return chosen;
}

std::string figure_text(FigureId figure, const std::optional<double>& value,
                        std::string_view missing, const Profile& profile) {
  if (!value) return std::string(missing);
  const FigureTraits& f = FIGURES[figure];
  switch (f.type) {
    case FigureType::DURATION:
      return duration_text(static_cast<std::uint32_t>(*value));
    case FigureType::COUNT:
      return std::to_string(static_cast<std::int64_t>(*value));
    case FigureType::VALUE:
      break;
  }
  return fixed(*value, figure_decimals(figure, profile));
}

std::string duration_text(std::uint32_t seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%u:%02u:%02u", seconds / 3600, seconds / 60 % 60, seconds % 60);
  return text;
}

std::vector<std::string> flight_texts(const std::vector<FlightColumn>& columns,
                                      const FlightSummary& flight, const Profile& profile,
                                      TimeForm form, std::string_view missing,
                                      const TimeZone& zone) {
  std::vector<std::string> texts;
  texts.reserve(columns.size());
  for (const FlightColumn& c : columns) {
    switch (c.kind) {
      case FlightColumn::FLIGHT:
        texts.push_back(std::to_string(flight.flight));
        break;
      case FlightColumn::START:
        texts.push_back(time_text(flight.first_time, flight.first_layout, form, zone));
        break;
      case FlightColumn::END:
        texts.push_back(time_text(flight.last_time, flight.last_layout, form, zone));
        break;
      case FlightColumn::DURATION:
        texts.push_back(duration_text(flight.seconds()));
        break;
      case FlightColumn::RECORDS:
        texts.push_back(std::to_string(flight.records));
        break;
      case FlightColumn::FIGURE:
        texts.push_back(figure_text(c.figure, flight.figures[c.figure], missing, profile));
        break;
      case FlightColumn::FINDINGS:
        texts.push_back(std::to_string(flight.findings));
        break;
    }
  }
  return texts;
}

}  // namespace korvex
