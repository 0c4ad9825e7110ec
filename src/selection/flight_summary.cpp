#include "selection/flight_summary.h"

#include <charconv>
#include <cstdio>

#include "fields/column_set.h"
#include "fields/gps_fix.h"
#include "io/concat.h"
#include "output/cells/time_cell.h"

namespace korvex {

namespace {

using Kind = FlightSummary::Kind;
using Column = FlightSummary::Column;

constexpr int kTimeWidth = 21;

Column column(std::string name, Kind kind, int width, int block = 0, const Field* field = nullptr) {
  Column c;
  c.width = std::max<int>(width, static_cast<int>(name.size()));
  c.name = std::move(name);
  c.kind = kind;
  c.block = block;
  c.field = field;
  if (field != nullptr) c.read = column_reader(block, *field);
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

FlightSummary::FlightSummary(SectionFlags sections) {
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
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    const Kind kind = columns_[i].kind;
    if (kind == Kind::MAX || kind == Kind::MIN) {
      extrema_.push_back({columns_[i].read, kind == Kind::MAX, false, 0, i});
    }
    if (kind == Kind::FUEL || kind == Kind::DISTANCE) others_.push_back(i);
  }
}

void FlightSummary::start(std::int64_t flight, const Record& first) {
  flight_ = flight;
  first_time_ = first.timestamp;
  first_layout_ = first.revision;
  records_ = 0;
  for (Column& c : columns_) {
    c.has = c.has_flow = false;
    c.value = 0;
  }
  for (Extremum& e : extrema_) e.has = false;
}

void FlightSummary::add(const Record& rec) {
  const RecordView view(rec);
  // Maxima and minima first, in a tight loop: they are most of the columns.
  for (Extremum& e : extrema_) {
    const std::optional<double> v = e.read(view);
    if (!v) continue;
    if (!e.has || (e.is_max ? *v > e.value : *v < e.value)) e.value = *v;
    e.has = true;
  }
  add_totals(rec, view, gps_fix(view));
}

void FlightSummary::set_extremum(std::size_t column, double value) {
  for (Extremum& e : extrema_) {
    if (e.column == column) {
      e.value = value;
      e.has = true;
    }
  }
}

void FlightSummary::add_totals(const Record& rec, const RecordView& view,
                               const std::optional<GpsFix>& fix) {
  last_time_ = rec.timestamp;
  last_layout_ = rec.revision;
  ++records_;
  for (const std::size_t i : others_) {
    Column& c = columns_[i];
    switch (c.kind) {
      case Kind::FUEL:
        // The flow between two records that carry it, averaged, times the seconds between them.
        if (const std::optional<double> flow = c.read(view)) {
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
}

std::vector<std::string> FlightSummary::texts(bool iso, const std::string& missing) const {
  std::vector<bool> has(columns_.size());
  std::vector<double> value(columns_.size());
  for (const Column& c : columns_) {
    const auto i = static_cast<std::size_t>(&c - columns_.data());
    has[i] = c.has;
    value[i] = c.value;
  }
  for (const Extremum& e : extrema_) {
    has[e.column] = e.has;
    value[e.column] = e.value;
  }
  std::vector<std::string> texts;
  texts.reserve(columns_.size());
  for (const Column& c : columns_) {
    switch (c.kind) {
      case Kind::FLIGHT:
        texts.push_back(std::to_string(flight_));
        break;
      case Kind::START:
        texts.push_back(time_text(first_time_, first_layout_, iso));
        break;
      case Kind::END:
        texts.push_back(time_text(last_time_, last_layout_, iso));
        break;
      case Kind::DURATION:
        texts.push_back(duration_text(last_time_ - first_time_));
        break;
      case Kind::RECORDS:
        texts.push_back(std::to_string(records_));
        break;
      case Kind::MAX:
      case Kind::MIN: {
        const auto i = static_cast<std::size_t>(&c - columns_.data());
        texts.push_back(has[i] ? fixed(value[i], c.field->decimals) : missing);
      } break;
      case Kind::FUEL:
        texts.push_back(c.has ? fixed(c.value / 3600, 2) : missing);
        break;
      case Kind::DISTANCE:
        texts.push_back(c.has ? fixed(c.value, 1) : missing);
        break;
    }
  }
  return texts;
}

}  // namespace korvex
