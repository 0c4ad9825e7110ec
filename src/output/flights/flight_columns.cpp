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
constexpr int kLandingsWidth = 8;
constexpr int kFuelWidth = 8;
constexpr int kDistanceWidth = 8;
constexpr int kFuelDecimals = 2;
constexpr int kDistanceDecimals = 1;

FlightColumn column(std::string name, FlightColumn::Kind kind, int width, std::size_t figure = 0) {
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

std::vector<FlightColumn> flight_columns(const std::vector<Figure>& figures, bool findings) {
  std::vector<FlightColumn> columns = {
      column("flight", FlightColumn::FLIGHT, kFlightWidth),
      column("start", FlightColumn::START, TIME_WIDTH),
      column("end", FlightColumn::END, TIME_WIDTH),
      column("duration", FlightColumn::DURATION, kDurationWidth),
      column("records", FlightColumn::RECORDS, kRecordsWidth),
  };
  for (std::size_t i = 0; i < figures.size(); ++i) {
    const Figure& f = figures[i];
    switch (f.kind) {
      case FigureKind::ENGINE_TIME:
        columns.push_back(column(concat({"engine", std::to_string(f.column.block), "_time"}),
                                 FlightColumn::FIGURE, kDurationWidth, i));
        break;
      case FigureKind::AIR_TIME:
        columns.push_back(column("air_time", FlightColumn::FIGURE, kDurationWidth, i));
        break;
      case FigureKind::LANDINGS:
        columns.push_back(column("landings", FlightColumn::FIGURE, kLandingsWidth, i));
        break;
      case FigureKind::MAX:
      case FigureKind::MIN:
        columns.push_back(column((f.kind == FigureKind::MAX ? "max_" : "min_") +
                                     column_name(f.column.block, *f.column.field),
                                 FlightColumn::FIGURE, f.column.field->width, i));
        break;
      case FigureKind::FUEL:
        columns.push_back(column(std::string(block_name_prefix[f.column.block]) + "fuel_used",
                                 FlightColumn::FIGURE, kFuelWidth, i));
        break;
      case FigureKind::DISTANCE:
        columns.push_back(column("distance_nm", FlightColumn::FIGURE, kDistanceWidth, i));
        break;
    }
  }
  if (findings) {
    const auto after = std::find_if(columns.begin(), columns.end(), [&](const FlightColumn& c) {
      return c.kind == FlightColumn::FIGURE && figures[c.figure].kind == FigureKind::LANDINGS;
    });
    const auto records = std::find_if(columns.begin(), columns.end(), [](const FlightColumn& c) {
      return c.kind == FlightColumn::RECORDS;
    });
    columns.insert((after != columns.end() ? after : records) + 1,
                   column("findings", FlightColumn::FINDINGS, kLandingsWidth));
  }
  return columns;
}

std::vector<FlightColumn> chosen_flight_columns(const std::vector<FlightColumn>& columns,
                                                std::string_view list, std::string& error) {
  std::vector<ColumnNames> names;
  for (const FlightColumn& c : columns) names.push_back({c.name});
  const NameChoice choice = choose_names(list, names);
  if (choice.match != NameMatch::CHOSEN) {
    error = choice.error;
    if (error.find("did you mean") == std::string::npos) {
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

std::string figure_text(const Figure& figure, const std::optional<double>& value,
                        std::string_view missing) {
  if (!value) return std::string(missing);
  switch (figure.kind) {
    case FigureKind::ENGINE_TIME:
    case FigureKind::AIR_TIME:
      return duration_text(static_cast<std::uint32_t>(*value));
    case FigureKind::LANDINGS:
      return std::to_string(static_cast<std::int64_t>(*value));
    case FigureKind::MAX:
    case FigureKind::MIN:
      return fixed(*value, figure.column.field->decimals);
    case FigureKind::FUEL:
      return fixed(*value, kFuelDecimals);
    case FigureKind::DISTANCE:
      break;
  }
  return fixed(*value, kDistanceDecimals);
}

std::string duration_text(std::uint32_t seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%u:%02u:%02u", seconds / 3600, seconds / 60 % 60, seconds % 60);
  return text;
}

std::vector<std::string> flight_texts(const std::vector<FlightColumn>& columns,
                                      const std::vector<Figure>& figures,
                                      const FlightValues& values, TimeForm form,
                                      std::string_view missing, const TimeZone& zone) {
  std::vector<std::string> texts;
  texts.reserve(columns.size());
  for (const FlightColumn& c : columns) {
    switch (c.kind) {
      case FlightColumn::FLIGHT:
        texts.push_back(std::to_string(values.flight));
        break;
      case FlightColumn::START:
        texts.push_back(time_text(values.first_time, values.first_layout, form, zone));
        break;
      case FlightColumn::END:
        texts.push_back(time_text(values.last_time, values.last_layout, form, zone));
        break;
      case FlightColumn::DURATION:
        texts.push_back(duration_text(values.seconds()));
        break;
      case FlightColumn::RECORDS:
        texts.push_back(std::to_string(values.records));
        break;
      case FlightColumn::FIGURE:
        texts.push_back(figure_text(figures[c.figure], values.values[c.figure], missing));
        break;
      case FlightColumn::FINDINGS:
        texts.push_back(std::to_string(values.findings));
        break;
    }
  }
  return texts;
}

}  // namespace korvex
