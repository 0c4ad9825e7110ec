// What a logbook holds, as the tool makes it and checks it before adding to it: the tables and
// the columns each must have. The tables of flights, findings and columns are made anew by
// every run; records, packets and sources keep the history.
#pragma once

#include <array>
#include <span>
#include <string_view>

namespace korvex {

// The schema version written to PRAGMA user_version: 2 gave records their phase and added the
// cruise table; a logbook of version 1 is brought to 2 when added to.
inline constexpr int LOGBOOK_VERSION = 2;

struct LogbookTable {
  std::string_view name;
  bool kept;  // holds the history (a logbook lacks it: no logbook); else made anew by each run
  // The columns the tool reads or writes by name (records has more: one per value).
  std::span<const std::string_view> columns;
};

inline constexpr std::string_view RECORDS_COLUMNS[] = {"time", "clock", "layout", "flight",
                                                       "record_key"};
inline constexpr std::string_view PACKETS_COLUMNS[] = {"record", "packet"};
inline constexpr std::string_view SOURCES_COLUMNS[] = {
    "name",          "size",       "sha256",    "imported",    "records_read",
    "records_added", "first_time", "last_time", "first_clock", "last_clock"};

inline constexpr std::array<LogbookTable, 7> LOGBOOK_TABLES = {{
    {"records", true, RECORDS_COLUMNS},
    {"packets", true, PACKETS_COLUMNS},
    {"sources", true, SOURCES_COLUMNS},
    {"flights", false, {}},
    {"findings", false, {}},
    {"cruise", false, {}},
    {"columns", false, {}},
}};

// The indexes the tool makes on records.
inline constexpr std::string_view LOGBOOK_INDEXES[] = {"records_clock", "records_flight"};

}  // namespace korvex
