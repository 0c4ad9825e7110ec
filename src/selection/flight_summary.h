// The figures of one flight, made from its records as they come: first and last time,
// duration, records, maxima and minima of columns of the field tables, fuel used per engine
// monitor (flow integrated over time: flow × seconds / 3600, in flow's own unit × hours, by
// trapezoids between records that carry it) and the great-circle distance between consecutive
// GPS fixes. The columns depend on the log's sections: max_alt, max_ASI; for each engine
// monitor max RPM, MAP, o-t, min oil-p, max tc1..tc12 and fuel used; with GPS distance_nm and
// max_gs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "fields/decode.h"
#include "fields/gps_fix.h"
#include "record/record.h"

namespace korvex {

struct Field;

class FlightSummary {
 public:
  enum class Kind { FLIGHT, START, END, DURATION, RECORDS, MAX, MIN, FUEL, DISTANCE };
  struct Column {
    std::string name;
    Kind kind;
    int block = 0;
    const Field* field = nullptr;
    ColumnReader read;
    int width = 0;  // in the space table
    // This flight's figure so far.
    bool has = false;
    double value = 0;
    double last_flow = 0;  // FUEL: the flow and time of the last record that had one
    std::uint32_t last_flow_time = 0;
    bool has_flow = false;
    double last_lat = 0;  // DISTANCE: the last fix
    double last_lon = 0;
  };

  explicit FlightSummary(SectionFlags sections);

  const std::vector<Column>& columns() const { return columns_; }
  // Starts the figures of a new flight.
  void start(std::int64_t flight, const Record& first);
  void add(const Record& rec);
  // As add, but the maxima and minima are left to set_extremum: for a caller that finds them
  // on its own, and has the record's blocks and GPS fix at hand already.
  void add_totals(const Record& rec, const RecordView& view, const std::optional<GpsFix>& fix);
  // The maximum or minimum of column `column` (of kind MAX or MIN) for the flight so far.
  void set_extremum(std::size_t column, double value);
  std::int64_t flight() const { return flight_; }

  // The figures as texts, one per column: times as the classic table (or, with `iso`, the
  // analysis table) prints them, `missing` for a figure over records that lack its section.
  std::vector<std::string> texts(bool iso, const std::string& missing) const;

 private:
  std::vector<Column> columns_;
  // The maxima and minima, most of the columns, kept together for a tight loop per record.
  struct Extremum {
    ColumnReader read;
    bool is_max;
    bool has;
    double value;
    std::size_t column;
  };
  std::vector<Extremum> extrema_;
  std::vector<std::size_t> others_;  // fuel and distance
  std::int64_t flight_ = 0;
  std::uint32_t first_time_ = 0, last_time_ = 0;
  RecordLayout first_layout_ = 0, last_layout_ = 0;
  std::int64_t records_ = 0;
};

}  // namespace korvex
