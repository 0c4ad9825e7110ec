// What a logbook holds, as the tool makes it and checks it before adding to it: the tables and
// the columns each must have. The tables of flights, findings and columns are made anew by
// every run; records, packets and sources keep the history.
#pragma once

#include <array>
#include <span>
#include <string_view>

namespace korvex {

// The schema version written to PRAGMA user_version: 2 gave records their phase and added the
// cruise table; 3 added the tables aircraft and imports. An older logbook is brought to 3 when
// added to.
inline constexpr int LOGBOOK_VERSION = 3;

struct LogbookTable {
  std::string_view name;
  // Holds the history: a database without it is no logbook. Else made anew by each run, or
  // (aircraft, imports) added to a logbook that lacks it.
  bool kept;
  // The columns the tool reads or writes by name (records has more: one per value).
  std::span<const std::string_view> columns;
};

inline constexpr std::string_view RECORDS_COLUMNS[] = {"time", "clock", "layout", "flight",
                                                       "record_key"};
inline constexpr std::string_view PACKETS_COLUMNS[] = {"record", "packet"};
inline constexpr std::string_view SOURCES_COLUMNS[] = {
    "name",          "size",       "sha256",    "imported",    "records_read",
    "records_added", "first_time", "last_time", "first_clock", "last_clock"};

inline constexpr std::string_view AIRCRAFT_COLUMNS[] = {"registration", "serial", "engine1_serial",
                                                        "engine2_serial"};
inline constexpr std::string_view IMPORTS_COLUMNS[] = {"imported", "profile_path", "profile_sha256",
                                                       "profile",  "registration", "gap"};

inline constexpr std::array<LogbookTable, 10> LOGBOOK_TABLES = {{
    {"records", true, RECORDS_COLUMNS},
    {"packets", true, PACKETS_COLUMNS},
    {"sources", true, SOURCES_COLUMNS},
    {"aircraft", false, AIRCRAFT_COLUMNS},
    {"imports", false, IMPORTS_COLUMNS},
    {"flights", false, {}},
    {"findings", false, {}},
    {"cruise", false, {}},
    {"trends", false, {}},
    {"columns", false, {}},
}};

// The indexes the tool makes on records.
inline constexpr std::string_view LOGBOOK_INDEXES[] = {"records_clock", "records_flight"};

}  // namespace korvex
