#include "output/flights/flight_columns.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "fields/base_fields.h"
#include "fields/column_set.h"
#include "fields/name_match.h"
#include "io/concat.h"
#include "output/cells/text_cell.h"

namespace korvex {

namespace {

// The widths of the columns in the space format, at least.
constexpr int kFlightWidth = 6;
constexpr int kKeyWidth = 10;  // a clock's digits
constexpr int kDurationWidth = 9;
constexpr int kRecordsWidth = 7;
constexpr int kFindingsWidth = 8;
constexpr int kPartialWidth = 7;

FlightColumn column(std::string name, FlightColumn::Kind kind, int width, FigureId figure = 0) {
  const int named = std::max<int>(width, static_cast<int>(name.size()));
  return {std::move(name), named, kind, figure};
}

}  // namespace

std::vector<FlightColumn> flight_columns(const std::vector<FigureId>& figures, bool findings,
                                         std::string_view registration, bool key) {
  std::vector<FlightColumn> columns = {
      column("flight", FlightColumn::FLIGHT, kFlightWidth),
      column("start", FlightColumn::START, TIME_WIDTH),
      column("end", FlightColumn::END, TIME_WIDTH),
      column("duration", FlightColumn::DURATION, kDurationWidth),
      column("records", FlightColumn::RECORDS, kRecordsWidth),
      column("partial", FlightColumn::PARTIAL, kPartialWidth),
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
  if (key) {
    columns.insert(columns.begin() + 1, column("flight_id", FlightColumn::FLIGHT_ID, kKeyWidth));
  }
  if (!registration.empty()) {
    columns.insert(columns.begin(), column("aircraft", FlightColumn::AIRCRAFT,
                                           static_cast<int>(registration.size())));
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
      error +=
          "; the flights table has flight, start, end, duration, records, partial and its figures";
    }
    return {};
  }
  const auto always = [](const FlightColumn& c) {
    return c.kind == FlightColumn::AIRCRAFT || c.kind == FlightColumn::FLIGHT ||
           c.kind == FlightColumn::FLIGHT_ID || c.kind == FlightColumn::START ||
           c.kind == FlightColumn::END;
  };
  std::vector<FlightColumn> chosen;
  for (const FlightColumn& c : columns) {
    if (always(c)) chosen.push_back(c);
  }
  for (const std::size_t i : choice.chosen) {
    if (!always(columns[i])) chosen.push_back(columns[i]);
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
  return fixed_text(*value, figure_decimals(figure, profile));
}

// What an engine is called: the profile's name, or "engine N".
std::string engine_name(const Profile& profile, int block) {
  const EngineSetup& e = *profile.engine(block);
  return e.name.empty() ? concat({"engine ", std::to_string(block)}) : e.name;
}

// The unit of a figure: its column's; for fuel used the flow's less its "/h".
std::string figure_unit(FigureId id, const Profile& profile) {
  const FigureTraits& f = FIGURES[id];
  switch (f.unit) {
    case FigureUnit::COLUMN:
      return std::string(profile.unit(f.column));
    case FigureUnit::COLUMN_TIMES_HOURS: {
      const std::string_view flow = profile.unit(f.column);
      if (flow.ends_with("/h")) return std::string(flow.substr(0, flow.size() - 2));
      return flow.empty() ? std::string() : concat({flow, " × h"});
    }
    case FigureUnit::NONE:
      break;
  }
  return {};
}

std::string totals_text(const FlightTotals& totals, const Profile& profile) {
  std::string text =
      concat({std::to_string(totals.flights), totals.flights == 1 ? " flight" : " flights"});
  const char* sep = ": ";
  const auto item = [&](std::string_view words) {
    append(text, {sep, words});
    sep = ", ";
  };
  // With two engine monitors, each engine's time and fuel after its name.
  const bool twin = totals.engine_time[0] && totals.engine_time[1];
  const auto of_engine = [&](int n) {
    return twin ? concat({" (", engine_name(profile, SECTION_ID_TELM1 + n), ")"}) : std::string();
  };
  for (int n = 0; n < ENGINE_COUNT; ++n) {
    if (!totals.engine_time[n]) continue;
    item(concat({"engine time ", duration_text(static_cast<std::uint32_t>(*totals.engine_time[n])),
                 of_engine(n)}));
  }
  if (totals.air_time) {
    item(concat({"air time ", duration_text(static_cast<std::uint32_t>(*totals.air_time))}));
  }
  if (totals.landings) {
    const auto n = static_cast<std::int64_t>(*totals.landings);
    item(concat({std::to_string(n), n == 1 ? " landing" : " landings"}));
  }
  for (int n = 0; n < ENGINE_COUNT; ++n) {
    if (!totals.fuel_used[n]) continue;
    const FigureId id = *totals.fuel_figure[n];
    const std::string unit = figure_unit(id, profile);
    item(concat({"fuel used ", fixed_text(*totals.fuel_used[n], figure_decimals(id, profile)),
                 unit.empty() ? "" : " ", unit, of_engine(n)}));
  }
  if (!totals.partial.empty()) {
    std::string list;
    for (const std::int64_t n : totals.partial) {
      append(list, {list.empty() ? "" : ", ", std::to_string(n)});
    }
    append(text, {"; ", totals.partial.size() == 1 ? "flight " : "flights ", list,
                  " held in part (see partial)"});
  }
  return text;
}

std::string_view partial_text(const FlightSummary& flight, std::string_view whole) {
  if (flight.partial_start) return flight.partial_end ? "both" : "start";
  return flight.partial_end ? "end" : whole;
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
      case FlightColumn::AIRCRAFT:
        texts.push_back(profile.aircraft.registration);
        break;
      case FlightColumn::FLIGHT:
        texts.push_back(std::to_string(flight.flight));
        break;
      case FlightColumn::FLIGHT_ID:
        texts.push_back(std::to_string(flight.flight_id));
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
      case FlightColumn::PARTIAL:
        texts.emplace_back(partial_text(flight, missing));
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
