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

constexpr std::string_view kTrackColumns = "whose points have fixed values";
constexpr std::string_view kTrackFlights = "which writes a track per flight";
constexpr std::string_view kTrackFindings = "which writes tracks";
constexpr unsigned kTrackNeeds = NEEDS_FLIGHT_SCAN | NEEDS_A_FIX;

// clang-format off
constexpr FormatEntry kFormats[] = {
    {"tab", "tsv", DELIM_TAB, 0, {}, {}, {}, make_classic_table, nullptr},
    {"comma", "csv", DELIM_COMMA, 0, {}, {}, {}, make_classic_table, nullptr},
    {"space", "txt", DELIM_SPACE, 0, {}, {}, {}, make_classic_table, nullptr},
    {"csv", "csv", DELIM_COMMA, 0, {}, {}, {}, make_analysis_table, nullptr},
    {"tsv", "tsv", DELIM_TAB, 0, {}, {}, {}, make_analysis_table, nullptr},
    {"gpx", "gpx", DELIM_COMMA, kTrackNeeds, kTrackColumns, kTrackFlights, kTrackFindings,
     make_gpx, track_notes},
    {"kml", "kml", DELIM_COMMA, kTrackNeeds, kTrackColumns, kTrackFlights, kTrackFindings,
     make_kml, track_notes},
    {"html", "html", DELIM_COMMA, NEEDS_SPAN_OF_WINDOW, "whose charts are fixed",
     "whose report begins with the flights table", "whose report shows each flight's findings",
     make_report, report_notes},
    {"sqlite", "db", DELIM_COMMA, NEEDS_DATABASE, "which stores every column",
     "which stores the records", "which stores the records", make_sqlite, nullptr},
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
