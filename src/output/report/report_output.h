// The flight report (format html): one self-contained HTML page, nothing fetched: a heading with
// the profile's title, the log's name and the time span of the records; the flights table with
// each flight linked to its section; then per flight its figures, its findings and its charts
// against time (altitude, speeds, vertical speed, for each engine monitor RPM and MAP, fuel, oil,
// the EGTs and CHTs of its cylinders and its other thermocouples, electrical, attitude) and the
// plan view of its GPS track, each only when the log has the data. The profile gives the units,
// the names of lines and engines, the cylinders and the limits; without one the page says how to
// add one.
//
// The charts are drawn in the browser by the charting library the build inlines into the page,
// from the records the page carries (chart_data.h): a flight's charts share one cursor and a
// legend of every value at its second, zoom together, and shade phases, cruise and findings.
// Without JavaScript the page says the charts need it; the tables are there all the same.
//
// The records are read once: each flight's figures and samples are kept as they come, and the
// page is written at the end. The samples of all flights share one budget of values: a flight
// whose records fit keeps every record, and when they are over it the flight of the most buckets
// has its buckets merged, so the longest flights are drawn in buckets of their lowest and highest
// values and the short ones in full. The page stays at most MAX_PAGE_BYTES: before it is written,
// the largest flights' data are merged further, and beyond that the oldest flights charted are
// left uncharted. A log of very many flights has the last MAX_CHARTED_FLIGHTS charted and the last
// MAX_LISTED_FLIGHTS listed (the page says so), so the memory and the page stay small whatever
// the size of the log.
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
#include "output/report/chart_data.h"
#include "output/report/track_svg.h"

namespace korvex {

struct OutputSetup;
struct RunTotals;

inline constexpr std::size_t MAX_CHARTED_FLIGHTS = 200;
// A browser takes seconds to lay out a longer table of flights.
inline constexpr std::size_t MAX_LISTED_FLIGHTS = 200;
inline constexpr std::size_t MAX_SHOWN_FINDINGS = 100;    // in a flight's section
inline constexpr std::size_t MAX_PHASE_STRETCHES = 2000;  // drawn in a flight's band
inline constexpr std::size_t MAX_SHOWN_CRUISE = 100;      // cruise segments marked
inline constexpr std::size_t MAX_PAGE_BYTES = 10'000'000;
static_assert(MAX_CHARTED_FLIGHTS <= MAX_LISTED_FLIGHTS, "a charted flight is listed");

// A stretch of time shaded on a chart: a finding's, a cruise segment's.
struct TimeStretch {
  std::uint32_t first, last;
};

// A stretch of consecutive records of one phase (its number in the order of PHASE_NAMES).
struct PhaseStretch {
  std::uint32_t first, last;
  std::uint8_t phase;
};

// The colour of each phase in the charts' band, in the order of PHASE_NAMES.
inline constexpr const char* PHASE_COLOURS[] = {"#b7bfc8", "#8d6e63", "#ff9800", "#e53935",
                                                "#43a047", "#1e88e5", "#8e24aa", "#fdd835"};

class ReportOutput final : public LogOutput {
 public:
  ReportOutput(OutBuffer& out, std::string log_name, SectionFlags sections, const Profile& profile,
               const TimeZone& zone = {});

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
    Drawing(std::int64_t number, std::uint32_t start, std::vector<int> decimals)
        : flight(number), samples(start, std::move(decimals)), track(start) {}
    std::int64_t flight;
    RecordLayout layout = 0;  // of its first record
    FlightSamples samples;
    TrackLine track;
    bool ticked = false;
    std::uint32_t last_time = 0;    // of its last record
    std::vector<Finding> findings;  // the first MAX_SHOWN_FINDINGS of them
    // Its phases, stretch by stretch (the last stretch takes in the rest beyond
    // MAX_PHASE_STRETCHES), and its first MAX_SHOWN_CRUISE cruise segments.
    std::vector<PhaseStretch> phases;
    std::vector<TimeStretch> cruise;
  };

 private:
  // The values a flight's charts draw: a point a bucket of a second, two a wider one.
  std::size_t cost(const FlightSamples& samples) const;
  // Merges the buckets of the flight of the most values, to keep to the budget.
  void halve_largest();
  // A flight's section, and the data its charts are drawn from.
  std::string flight_section(const FlightSummary& l, const Drawing& d) const;
  std::string flight_data(const Drawing& d) const;
  // The definitions of the charts, as the page's script reads them.
  std::string chart_definitions() const;
  // The flights table, each flight from `first_charted` on linked to its section.
  std::string flights_table(std::int64_t first_charted) const;

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
  bool track_ = false;          // the log has GPS: a plan view per flight
  std::vector<int> decimals_;   // of each line's values
  std::vector<double> scales_;  // 10 to the power of each line's decimals
  std::size_t values_ = 0;      // the cost() of all flights kept
  // The figures of the last flights so far, and the drawings of the last ones charted; the last
  // one is being made.
  std::deque<FlightSummary> listed_;
  std::deque<Drawing> drawings_;
  std::int64_t flights_ = 0;
  bool dated_ = true;             // the records' clock gives times of day
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
