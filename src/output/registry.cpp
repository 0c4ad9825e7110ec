#include "output/registry.h"

#include "io/ascii.h"
#include "output/csv/csv_table.h"
#include "output/report/report_output.h"
#include "output/sqlite/sqlite_output.h"
#include "output/table/table_rows.h"
#include "output/track/gpx_output.h"
#include "output/track/kml_output.h"

namespace korvex {

namespace {

constexpr Refusal kClassicRefuses[] = {
    {Refused::CALIBRATED, "whose values stay as logged: give csv or tsv"},
};

constexpr Refusal kTrackRefuses[] = {
    {Refused::COLUMNS, "whose points have fixed values"},
    {Refused::FLIGHTS, "which writes a track per flight"},
    {Refused::FINDINGS, "which writes tracks"},
    {Refused::CRUISE, "which writes tracks"},
    {Refused::TRENDS, "which writes tracks"},
    {Refused::CALIBRATED, "whose points have fixed units"},
};
constexpr unsigned kTrackNeeds = NEEDS_FLIGHT_SCAN | NEEDS_A_FIX;
constexpr std::string_view kTrackHelp =
    "the GPS track of every flight, for map and flight-logging\n"
    "programs (GPX 1.1, KML 2.2): fixes with GPS altitude in metres\n"
    "and time in UTC";

constexpr Refusal kReportRefuses[] = {
    {Refused::COLUMNS, "whose charts are fixed"},
    {Refused::FLIGHTS, "whose report begins with the flights table"},
    {Refused::FINDINGS, "whose report shows each flight's findings"},
    {Refused::CRUISE, "whose report shows each flight's cruise"},
    {Refused::TRENDS, "whose report shows each flight's cruise"},
    {Refused::CALIBRATED, "which always shows calibrated values"},
};

constexpr Refusal kLogbookRefuses[] = {
    {Refused::COLUMNS, "which stores every column"},
    {Refused::FLIGHTS, "which stores the records"},
    {Refused::FINDINGS, "which stores the records"},
    {Refused::CRUISE, "which stores the cruise segments in its cruise table"},
    {Refused::TRENDS, "which stores the cruise segments in its cruise table"},
    {Refused::SPLIT, "which writes one database"},
    {Refused::SELECTION,
     "which keeps every record: select with SQL (WHERE flight = 2, WHERE time >= '2026-06-14')"},
    {Refused::UTC_OFFSET,
     "which keeps the instrument's clock (in SQL: datetime(time, '-2 hours'))"},
    {Refused::DESCRIBE, "which writes a database"},
    {Refused::CALIBRATED,
     "which stores the values as logged: its columns table gives each column's scale, offset "
     "and table"},
};
constexpr unsigned kLogbookNeeds =
    WRITES_OUTPUT_FILE | ADDS_TO_OUTPUT_FILE | NEEDS_LOG_DIGESTS | NEEDS_PHASES;

// clang-format off
constexpr FormatEntry kFormats[] = {
    {"tab", "tsv", DELIM_TAB, 0, {}, {}, kClassicRefuses, make_classic_table, nullptr, {}, {}},
    {"comma", "csv", DELIM_COMMA, 0, {}, {}, kClassicRefuses, make_classic_table, nullptr, {}, {}},
    {"space", "txt", DELIM_SPACE, 0,
     "the classic table: every cell followed by a tab or a comma,\n"
     "or fixed-width columns; Time as \"MM/DD/YYYY HH:MM:SS\"",
     {}, kClassicRefuses, make_classic_table, nullptr, {}, {}},
    {"csv", "csv", DELIM_COMMA, TAKES_PHASE_COLUMN, {}, {}, {}, make_analysis_table, nullptr,
     "record", "records"},
    {"tsv", "tsv", DELIM_TAB, TAKES_PHASE_COLUMN,
     "a table for analysis programs: unique column names, a flight\n"
     "column, no separator after the last cell, Time as\n"
     "YYYY-MM-DDTHH:MM:SS, and an empty cell for a value the record\n"
     "does not carry",
     {}, {}, make_analysis_table, nullptr, "record", "records"},
    {"gpx", "gpx", DELIM_COMMA, kTrackNeeds, {}, {}, kTrackRefuses, make_gpx, track_notes,
     "track point", "track points"},
    {"kml", "kml", DELIM_COMMA, kTrackNeeds, kTrackHelp, {}, kTrackRefuses, make_kml, track_notes,
     "track point", "track points"},
    {"html", "html", DELIM_COMMA, NEEDS_SPAN_OF_WINDOW | NEEDS_PHASES,
     "a flight report to open in any browser: the flights table and\n"
     "charts of each flight, in one self-contained page",
     {}, kReportRefuses, make_report, report_notes, "report", "reports"},
    {"sqlite", "db", DELIM_COMMA, kLogbookNeeds,
     "a logbook (-o FILE): a SQLite database of the records, flights,\n"
     "findings and the logs imported, every column typed; a later\n"
     "run adds its logs to it, each record once",
     "the database to write", kLogbookRefuses, make_sqlite, nullptr, "new record", "new records"},
};
// clang-format on

}  // namespace

std::span<const FormatEntry> output_formats() {
  return kFormats;
}

const FormatEntry* find_format(std::string_view word) {
  for (const FormatEntry& f : kFormats) {
    if (equal_ignoring_case(word, f.word)) return &f;
  }
  return nullptr;
}

}  // namespace korvex
