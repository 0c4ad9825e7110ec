#include "output/describe/describe.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string>
#include <vector>

#include "fields/base_fields.h"
#include "io/concat.h"
#include "output/cells/column_label.h"
#include "output/csv/csv_table.h"

namespace korvex {

namespace {

constexpr std::size_t kColumns = DESCRIPTION_FIELDS.size();
using Row = DescriptionRow;

constexpr std::string_view kRecord = "record";  // the block of Time and flight

std::string type_of(ColumnRef c, const Profile& profile, bool calibrated) {
  const Field& f = *c.field;
  if (calibrated && profile.calibration(c) != nullptr) {
    return profile.decimals(c) > 0 ? "real" : "integer";
  }
  if (f.storage == Storage::COORDINATE || f.decimals > 0) return "real";
  return "integer";
}

std::string number_text(double v) {
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, v).ptr);
}

// The scale, offset and table of a calibrated column.
void calibration_cells(const Calibration* c, DescriptionRow& row) {
  if (c == nullptr) return;
  if (c->table.empty()) {
    row[6] = number_text(c->scale);
    row[7] = number_text(c->offset);
    return;
  }
  std::string table = "[";
  for (const auto& [logged, value] : c->table) {
    if (table.size() > 1) table += ", ";
    table += concat({"[", number_text(logged), ", ", number_text(value), "]"});
  }
  row[8] = table + "]";
}

// The column's unit: the profile's, else for a time in minutes and seconds the seconds csv and
// tsv write it in.
std::string unit_of(ColumnRef c, const Profile& profile) {
  const std::string_view unit = profile.unit(c);
  if (unit.empty() && c.field->storage == Storage::MIN_SEC) return "s";
  return std::string(unit);
}

// A text as a csv cell: in double quotes, with its quotes doubled, where it holds a comma, a
// quote or a line break.
std::string csv_cell(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string cell = "\"";
  for (const char c : text) {
    if (c == '"') cell += '"';
    cell += c;
  }
  return cell + "\"";
}

// A text as a tsv cell: tabs and line breaks, which no cell can hold, as blanks.
std::string tsv_cell(std::string text) {
  std::replace_if(
      text.begin(), text.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
  return text;
}

// The width of a text on a terminal: its characters, not its bytes.
std::size_t shown_width(const std::string& text) {
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

}  // namespace

std::vector<DescriptionRow> description_rows(const ColumnSet& columns, const Profile& profile,
                                             bool calibrated) {
  std::vector<Row> rows = {
      {std::string(TIME_LABEL), std::string(kRecord), std::string(TIME_LABEL), "time"},
      {std::string(FLIGHT_NAME), std::string(kRecord), "", "integer"}};
  if (columns.phase) rows.push_back({std::string(PHASE_NAME), std::string(kRecord), "", "text"});
  columns.for_each([&](ColumnRef c) {
    Row& row =
        rows.emplace_back(Row{column_name(c.block, *c.field), std::string(BLOCK_NAMES[c.block]),
                              std::string(c.field->label), type_of(c, profile, calibrated),
                              unit_of(c, profile), column_label(c, profile)});
    calibration_cells(profile.calibration(c), row);
  });
  return rows;
}

void write_description(OutBuffer& out, DelimiterMode mode, const ColumnSet& columns,
                       const Profile& profile, bool calibrated) {
  std::vector<Row> rows = {{}};
  for (std::size_t i = 0; i < kColumns; ++i) rows[0][i] = DESCRIPTION_FIELDS[i];
  for (Row& row : description_rows(columns, profile, calibrated)) rows.push_back(std::move(row));
  std::size_t widths[kColumns] = {};
  for (const Row& row : rows) {
    for (std::size_t i = 0; i < row.size(); ++i)
      widths[i] = std::max(widths[i], shown_width(row[i]));
  }
  for (const Row& row : rows) {
    std::string line;
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (mode == DELIM_SPACE) {
        // Left-aligned, two blanks apart, no blank at the end of a line.
        if (i + 1 == row.size()) {
          line += row[i];
        } else {
          line += row[i] + std::string(widths[i] - shown_width(row[i]) + 2, ' ');
        }
      } else {
        if (i > 0) line += mode == DELIM_TAB ? '\t' : ',';
        line += mode == DELIM_TAB ? tsv_cell(row[i]) : csv_cell(row[i]);
      }
    }
    while (mode == DELIM_SPACE && !line.empty() && line.back() == ' ') line.pop_back();
    out.write(line);
    out.put('\n');
  }
}

}  // namespace korvex
