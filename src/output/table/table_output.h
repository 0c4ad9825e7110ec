// A table as an output: a header, then a row per record. The classic tables (tab, comma,
// space) and the analysis tables (csv, tsv) differ in their header and the style of their cells.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "fields/column_set.h"
#include "io/out_buffer.h"
#include "output/cells/block_cells.h"
#include "output/cells/time_cell.h"
#include "output/cruise/cruise_table.h"
#include "output/findings/findings_table.h"
#include "output/flights/flights_table.h"
#include "output/format/format.h"
#include "output/format/log_output.h"
#include "output/trends/trends_table.h"

namespace korvex {

// One row: the Time cell (and, in the analysis table, the flight), the cells of the columns,
// and the line end, which the classic table puts after the last cell's separator and the
// analysis table in its place. `room`: the row_room of these cells. Times on the clock `zone`
// gives.
template <CellStyle kStyle>
void write_row(OutBuffer& out, DelimiterMode mode, const RecordEvent& event,
               const RowCells<kStyle>& cells, std::size_t room, TimeCellCache& cache,
               const TimeZone& zone = {}, bool phase = false) {
  char* const start = out.reserve(room);
  char* d;
  const Record& rec = event.rec;
  const std::uint32_t time = zone.utc ? zone.shown(rec.timestamp, rec.revision) : rec.timestamp;
  if constexpr (kStyle == CellStyle::CLASSIC) {
    d = print_time_cell(start, mode, time, rec.revision, cache);
  } else {
    d = print_iso_time_cell(start, mode, time, rec.revision, cache);
    if (zone.utc && rec.revision >= FIRST_DATED_LAYOUT) d = mark_utc(d);
    d = cell::unsigned_cell(d, static_cast<std::uint64_t>(event.flight), mode, 0);
    if (phase) d = put_cell(d, mode, 0, phase_name(event.phase));
  }
  d = cells.write(d, rec, mode);
  if constexpr (kStyle == CellStyle::CLASSIC) {
    *d++ = '\n';
  } else {
    d[-1] = '\n';
  }
  out.commit(static_cast<std::size_t>(d - start));
}

// The room a row of these columns takes, with the Time cell and the flight.
inline std::size_t table_row_room(const ColumnSet& columns) {
  return row_room(columns.count() + 3);
}

template <CellStyle kStyle>
class TableOutput final : public LogOutput {
 public:
  using Header = void (*)(OutBuffer& out, DelimiterMode mode, const ColumnSet& columns);

  // `calibrate`: the profile whose calibrations the cells apply, or nullptr (as logged).
  TableOutput(OutBuffer& out, Header header, DelimiterMode mode, const ColumnSet& columns,
              const TimeZone& zone = {}, const Profile* calibrate = nullptr)
      : out_(out),
        header_(header),
        mode_(mode),
        columns_(columns),
        cells_(columns, calibrate),
        room_(table_row_room(columns)),
        zone_(zone) {}

  bool begin() override {
    header_(out_, mode_, columns_);
    return true;
  }
  bool record(const RecordEvent& event) override {
    write_row(out_, mode_, event, cells_, room_, cache_, zone_, columns_.phase);
    ++rows_;
    return out_.failed() == 0;
  }
  bool end() override { return out_.flush(); }
  std::int64_t rows() const override { return rows_; }
  int write_error() const override { return out_.failed(); }

 private:
  OutBuffer& out_;
  Header header_;
  DelimiterMode mode_;
  const ColumnSet& columns_;
  RowCells<kStyle> cells_;
  std::size_t room_;
  TimeZone zone_;
  TimeCellCache cache_;
  std::int64_t rows_ = 0;
};

// The table of a format of this style with this header, or with --flights the flights table,
// with --findings the findings table, in that style.
template <CellStyle kStyle>
std::unique_ptr<LogOutput> make_table(const OutputSetup& setup,
                                      typename TableOutput<kStyle>::Header header) {
  const DelimiterMode mode = setup.format.delimiter;
  const TimeZone zone = setup.zone;
  if (setup.findings) {
    return std::make_unique<FindingsTable>(setup.out, mode, kStyle == CellStyle::ANALYSIS,
                                           setup.columns.sections, setup.profile, zone);
  }
  if (setup.cruise) {
    return std::make_unique<CruiseTable>(setup.out, mode, kStyle == CellStyle::ANALYSIS,
                                         setup.columns.sections, setup.profile, zone);
  }
  if (setup.trends) {
    return std::make_unique<TrendsTable>(setup.out, mode, kStyle == CellStyle::ANALYSIS,
                                         setup.columns.sections, setup.profile, zone);
  }
  if (setup.flights_table) {
    return std::make_unique<FlightsTable>(setup.out, mode, kStyle == CellStyle::ANALYSIS,
                                          setup.columns.sections, setup.profile, zone,
                                          setup.flight_columns);
  }
  const Profile* calibrate =
      kStyle == CellStyle::ANALYSIS && setup.calibrated ? &setup.profile : nullptr;
  return std::make_unique<TableOutput<kStyle>>(setup.out, header, mode, setup.columns, zone,
                                               calibrate);
}

}  // namespace korvex
