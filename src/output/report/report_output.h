// The flight report (format html): one self-contained HTML page with inline CSS and SVG, no
// script and nothing fetched. A heading with the profile's title, the log's name and the time
// span of the records; the flights table with each flight linked to its section; then per
// flight its figures and charts against time (altitude, speeds, vertical speed, for each engine
// monitor RPM and MAP, fuel, oil, the EGTs and CHTs of its cylinders and its other
// thermocouples, electrical, attitude) and the plan view of its GPS track, each only when the
// log has the data. The profile gives the units, the names of lines and engines, the cylinders
// and the limits, drawn on the charts; without one the page says how to add one.
//
// The records are read once: each flight's figures and reduced lines are kept as they come, and
// the page is written at the end. The lines of all flights share one budget of points, and a log
// of very many flights has the last MAX_CHARTED_FLIGHTS charted and the last MAX_LISTED_FLIGHTS
// listed (the page says so), so the memory and the page stay small whatever the size of the log.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "aggregation/flight_analysis.h"
#include "io/messages.h"
#include "io/out_buffer.h"
#include "output/cells/time_cell.h"
#include "output/flights/flight_columns.h"
#include "output/format/log_output.h"
#include "output/report/svg_chart.h"

namespace korvex {

struct OutputSetup;
struct RunTotals;

inline constexpr std::size_t MAX_CHARTED_FLIGHTS = 200;
inline constexpr std::size_t MAX_LISTED_FLIGHTS = 3000;
inline constexpr std::size_t MAX_SHOWN_FINDINGS = 100;    // in a flight's section
inline constexpr std::size_t MAX_PHASE_STRETCHES = 2000;  // drawn in a flight's band
inline constexpr std::size_t MAX_SHOWN_CRUISE = 100;      // cruise segments marked
static_assert(MAX_CHARTED_FLIGHTS <= MAX_LISTED_FLIGHTS, "a charted flight is listed");

class ReportOutput final : public LogOutput {
 public:
  // `seconds`: about how long the records to come span, so that the first buckets are as wide
  // as the budget of points allows (a wrong guess costs speed, or detail, not the budget).
  ReportOutput(OutBuffer& out, std::string log_name, SectionFlags sections, std::uint64_t seconds,
               const Profile& profile, const TimeZone& zone = {});

  bool begin() override { return true; }
  bool begin_flight(const FlightFacts& facts) override;
  bool record(const RecordEvent& event) override;
  bool end_flight() override;
  bool end() override;
  std::int64_t rows() const override { return rows_; }
  int write_error() const override { return out_.failed(); }
  FindingCount findings() const override { return count_; }

  struct Line {
    std::string name;
    int axis;
    ColumnRef column;
    ValueDecoder decode;
    const Calibration* calibration;  // nullptr: as logged
    std::string unit;
    std::optional<double> min_limit, max_limit;
  };
  // Charts of one kind share a scale across the engines.
  enum class Scale { OWN, EGT, CHT };
  struct Chart {
    std::string title;
    std::size_t first_line;  // into the report's lines
    std::size_t line_count;
    Scale scale;
  };
  // What is kept of a flight to draw it.
  struct Drawing {
    std::int64_t flight = 0;
    std::vector<Series> series;  // one per line
    TrackLine track;
    std::size_t buckets = 0;        // the buckets of its time so far, in each line
    std::vector<Finding> findings;  // the first MAX_SHOWN_FINDINGS of them
    // Its phases, stretch by stretch (the last stretch takes in the rest beyond
    // MAX_PHASE_STRETCHES), and its first MAX_SHOWN_CRUISE cruise segments.
    std::vector<PhaseStretch> phases;
    std::vector<TimeStretch> cruise;
  };

 private:
  // Merges each two neighbouring buckets of the flight's lines.
  void halve(Drawing& d);
  void write_flight(const FlightSummary& l, const Drawing& d);
  void write_table();

  // The cards of an engine's cylinders, where the profile names them.
  std::string cylinder_cards(const FlightSummary& l) const;
  // The cards of a flight's cruise figures, when it had cruise.
  std::string cruise_cards(const FlightSummary& l) const;
  // The table of a flight's findings, each linked to the chart it is shaded on.
  std::string findings_table(const FlightSummary& l, const Drawing& d) const;
  // The chart a finding is shaded on, or nothing.
  std::optional<std::size_t> chart_of(const Finding& f) const;
  void take_findings();
  void take_cruise();

  OutBuffer& out_;
  std::string log_name_;  // for the heading
  TimeZone zone_;         // the clock of the times shown
  const Profile& profile_;
  FlightAnalysis analysis_;
  bool findings_;  // the profile gives limits: findings are looked for
  std::vector<Finding> found_;
  std::vector<CruiseSegment> segments_;
  FindingCount count_;
  FlightTotals totals_;
  std::vector<FlightColumn> columns_;  // of the flights table
  std::vector<Line> lines_;
  std::vector<Chart> charts_;
  bool track_ = false;  // the log has GPS: a plan view per flight
  // The width of the buckets of a new flight; it doubles whenever the flights kept would hold
  // more than max_buckets_ buckets together.
  std::uint32_t width_ = 1;
  std::size_t buckets_ = 0;
  std::size_t max_buckets_ = 0;
  BucketClock clock_;
  // The figures of the last flights so far, and the drawings of the last ones charted; the last
  // one is being made.
  std::deque<FlightSummary> listed_;
  std::deque<Drawing> drawings_;
  std::int64_t flights_ = 0;
  std::uint32_t first_time_ = 0;  // of the report
  RecordLayout first_layout_ = 0;
  std::int64_t rows_ = 0;
};

// The report, for the registry.
std::unique_ptr<LogOutput> make_report(const OutputSetup& setup);
// What the report leaves out of a log of very many flights.
void report_notes(const RunTotals& totals, Messages& messages);

// Text for HTML: the characters that mean something there are written as references, and bytes
// that are no UTF-8 as U+FFFD.
std::string html_text(std::string_view text);

}  // namespace korvex
