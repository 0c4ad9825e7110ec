#include "output/flights/flights_table.h"

#include <charconv>
#include <cstdio>

#include "fields/column_set.h"
#include "fields/gps_fix.h"
#include "io/concat.h"
#include "output/cells/time_cell.h"

namespace korvex {

namespace {

using Kind = FlightsTable::Kind;
using Column = FlightsTable::Column;

constexpr int kTimeWidth = 21;

Column column(std::string name, Kind kind, int width, int block = 0, const Field* field = nullptr) {
  Column c;
  c.width = std::max<int>(width, static_cast<int>(name.size()));
  c.name = std::move(name);
  c.kind = kind;
  c.block = block;
  c.field = field;
  return c;
}

Column extremum(Kind kind, int block, std::string_view label) {
  const Field* f = find_field(block, label);
  const std::string prefix = kind == Kind::MAX ? "max_" : "min_";
  return column(prefix + column_name(block, *f), kind, f->width, block, f);
}

std::string fixed(double value, int decimals) {
  char text[64];
  const char* end =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr;
  return std::string(static_cast<const char*>(text), end);
}

std::string duration_text(std::uint32_t seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%u:%02u:%02u", seconds / 3600, seconds / 60 % 60, seconds % 60);
  return text;
}

}  // namespace

FlightsTable::FlightsTable(OutBuffer& out, DelimiterMode mode, bool analysis, SectionFlags sections)
    : out_(out), mode_(mode), analysis_(analysis) {
  columns_.push_back(column("flight", Kind::FLIGHT, 6));
  columns_.push_back(column("start", Kind::START, kTimeWidth));
  columns_.push_back(column("end", Kind::END, kTimeWidth));
  columns_.push_back(column("duration", Kind::DURATION, 9));
  columns_.push_back(column("records", Kind::RECORDS, 7));
  columns_.push_back(extremum(Kind::MAX, BASE_BLOCK, "alt"));
  columns_.push_back(extremum(Kind::MAX, BASE_BLOCK, "ASI"));
  for (const int id : {SECTION_ID_TELM1, SECTION_ID_TELM2}) {
    if ((sections & section_flag(id)) == 0) continue;
    for (const char* label : {"RPM", "MAP", "o-t"})
      columns_.push_back(extremum(Kind::MAX, id, label));
    columns_.push_back(extremum(Kind::MIN, id, "oil-p"));
    for (int k = 1; k <= 12; ++k) {
      columns_.push_back(extremum(Kind::MAX, id, concat({"tc", std::to_string(k)})));
    }
    columns_.push_back(column(std::string(block_name_prefix[id]) + "fuel_used", Kind::FUEL, 8, id,
                              find_field(id, "flow")));
  }
  if ((sections & SECTION_GPS) != 0) {
    columns_.push_back(column("distance_nm", Kind::DISTANCE, 8));
    columns_.push_back(extremum(Kind::MAX, SECTION_ID_GPS, "gs"));
  }
}

void FlightsTable::put(std::string_view text, const Column& c, bool first) {
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
  for (std::size_t i = 0; i < columns_.size(); ++i) put(columns_[i].name, columns_[i], i == 0);
  out_.put('\n');
}

bool FlightsTable::record(const Record& rec, std::int64_t flight) {
  if (flight != flight_) {
    if (flight_ != 0) write_row();
    flight_ = flight;
    first_time_ = rec.timestamp;
    first_layout_ = rec.revision;
    records_ = 0;
    for (Column& c : columns_) {
      c.has = c.has_flow = false;
      c.value = 0;
    }
  }
  last_time_ = rec.timestamp;
  last_layout_ = rec.revision;
  ++records_;
  const std::optional<GpsFix> fix = gps_fix(rec);
  for (Column& c : columns_) {
    switch (c.kind) {
      case Kind::MAX:
      case Kind::MIN:
        if (const std::optional<double> v = record_value(rec, c.block, *c.field)) {
          if (!c.has || (c.kind == Kind::MAX ? *v > c.value : *v < c.value)) c.value = *v;
          c.has = true;
        }
        break;
      case Kind::FUEL:
        // The flow between two records that carry it, averaged, times the seconds between them.
        if (const std::optional<double> flow = record_value(rec, c.block, *c.field)) {
          if (c.has_flow) c.value += (c.last_flow + *flow) / 2 * (rec.timestamp - c.last_flow_time);
          c.has = c.has_flow = true;
          c.last_flow = *flow;
          c.last_flow_time = rec.timestamp;
        }
        break;
      case Kind::DISTANCE:
        if (fix) {
          if (c.has) c.value += distance_nm(GpsFix{c.last_lat, c.last_lon}, *fix);
          c.has = true;
          c.last_lat = fix->lat;
          c.last_lon = fix->lon;
        }
        break;
      default:
        break;
    }
  }
  return out_.failed() == 0;
}

void FlightsTable::write_row() {
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    const Column& c = columns_[i];
    std::string text;
    switch (c.kind) {
      case Kind::FLIGHT:
        text = std::to_string(flight_);
        break;
      case Kind::START:
        text = time_text(first_time_, first_layout_, analysis_);
        break;
      case Kind::END:
        text = time_text(last_time_, last_layout_, analysis_);
        break;
      case Kind::DURATION:
        text = duration_text(last_time_ - first_time_);
        break;
      case Kind::RECORDS:
        text = std::to_string(records_);
        break;
      case Kind::MAX:
      case Kind::MIN:
        text = c.has ? fixed(c.value, c.field->decimals) : analysis_ ? "" : "-";
        break;
      case Kind::FUEL:
        text = c.has ? fixed(c.value / 3600, 2) : analysis_ ? "" : "-";
        break;
      case Kind::DISTANCE:
        text = c.has ? fixed(c.value, 1) : analysis_ ? "" : "-";
        break;
    }
    put(text, c, i == 0);
  }
  out_.put('\n');
  ++rows_;
}

bool FlightsTable::end() {
  if (flight_ != 0) write_row();
  return out_.flush();
}

}  // namespace korvex
