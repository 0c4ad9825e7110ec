// The columns of the flights table (--flights, and the report's table of flights): the flight,
// its first and last time, duration and records, then its figures by their keys. Each column's
// name, its width in the space format, and the text of a flight's value.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "aggregation/figures/figure_table.h"
#include "aggregation/figures/flight_figures.h"
#include "output/cells/time_cell.h"

namespace korvex {

struct FlightColumn {
  enum Kind {
    AIRCRAFT,
    FLIGHT,
    FLIGHT_ID,
    START,
    END,
    DURATION,
    RECORDS,
    PARTIAL,
    FIGURE,
    FINDINGS
  };
  std::string name;
  int width;  // in the space format: the name's, or the widest value's when wider
  Kind kind;
  FigureId figure = 0;  // FIGURE: which
};

// With `findings`, a column of the findings of each flight follows its landings (or its
// records, in a log without the airborne column); with `registration` (the aircraft's, when
// known), a column aircraft comes first; with `key`, the flight's key (flight_id) follows its
// number.
std::vector<FlightColumn> flight_columns(const std::vector<FigureId>& figures,
                                         bool findings = false, std::string_view registration = {},
                                         bool key = false);

// The columns of --columns LIST with --flights: aircraft (when known), flight, flight_id, start
// and end, then the columns the list names, in its order (names as --columns takes them: any case,
// patterns, ranges). Empty, with `error`, when the list names a column the table lacks.
std::vector<FlightColumn> chosen_flight_columns(const std::vector<FlightColumn>& columns,
                                                std::string_view list, std::string& error);

// A figure's value as text, as its type and decimals say; `missing` for a figure over records
// that lack its column.
std::string figure_text(FigureId figure, const std::optional<double>& value,
                        std::string_view missing, const Profile& profile);

// What an engine is called: the profile's name, or "engine N".
std::string engine_name(const Profile& profile, int block);

// The unit of a figure: its column's; for fuel used the flow's less its "/h".
std::string figure_unit(FigureId id, const Profile& profile);

// The totals of the flights, in words: "2 flights: engine time 1:20:46, air time 1:06:13,
// 2 landings, fuel used 11.05 gal; flight 1 held in part".
std::string totals_text(const FlightTotals& totals, const Profile& profile);

// What of the flight the log lacks: "start", "end", "both", or `whole` for a flight held
// whole.
std::string_view partial_text(const FlightSummary& flight, std::string_view whole);

// A flight's duration as H:MM:SS.
std::string duration_text(std::uint32_t seconds);

// The text of each column for a flight, times in `form` on the clock `zone` gives.
std::vector<std::string> flight_texts(const std::vector<FlightColumn>& columns,
                                      const FlightSummary& flight, const Profile& profile,
                                      TimeForm form, std::string_view missing,
                                      const TimeZone& zone = {});

}  // namespace korvex
