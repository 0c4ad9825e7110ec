// The geometry of the report's charts, on values in memory: round ticks, time axes, the
// reduction of long lines to buckets without losing their peaks, breaks at gaps, and the scale
// of the track's plan view.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "output/report/axis_ticks.h"
#include "output/report/report_output.h"
#include "output/report/series.h"
#include "output/report/svg_chart.h"
#include "support/log_builder.h"
#include "support/run_capture.h"

namespace korvex::test {
namespace {

TEST(ReportAxes, ValueTicksAreRoundAndCoverTheData) {
  struct Case {
    double min, max;
    double low, high, step;
  };
  const Case cases[] = {
      {0, 7502, 0, 8000, 2000},      {-523, 611, -1000, 1000, 500}, {12.3, 14.1, 12, 14.5, 0.5},
      {150, 190, 150, 190, 10},      {5, 5, 4.5, 5.5, 0.5},         {0, 0, -1, 1, 0.5},
      {-0.4, -0.1, -0.4, -0.1, 0.1}, {46.01, 47.13, 46, 47.5, 0.5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.min << " to " << c.max);
    const Ticks t = value_ticks(c.min, c.max);
    EXPECT_NEAR(t.low, c.low, 1e-9);
    EXPECT_NEAR(t.high, c.high, 1e-9);
    EXPECT_NEAR(t.step, c.step, 1e-9);
    ASSERT_GE(t.values.size(), 3U);
    EXPECT_LE(t.values.size(), 7U);
    EXPECT_NEAR(t.values.front(), t.low, 1e-9);
    EXPECT_NEAR(t.values.back(), t.high, 1e-9);
  }
}

TEST(ReportAxes, TickLabelsShowTheDecimalsTheStepNeeds) {
  EXPECT_EQ(tick_label(1500, 500), "1500");
  EXPECT_EQ(tick_label(12.5, 0.5), "12.5");
  EXPECT_EQ(tick_label(0.25, 0.05), "0.25");
  EXPECT_EQ(tick_label(-1e-12, 0.1), "0.0");  // never "-0.0"
}

TEST(ReportAxes, TimeTicksAreRoundClockTimesOrMinutesFromTheStart) {
  const std::uint32_t noon = 9661 * 86400U + 12 * 3600;  // 2026-06-14 12:00
  const TimeTicks dated = time_ticks(noon + 13 * 60 + 23, noon + 55 * 60 + 15, true);
  EXPECT_EQ(dated.labels, (std::vector<std::string>{"12:20", "12:30", "12:40", "12:50"}));
  EXPECT_EQ(dated.times.front(), noon + 20 * 60);

  const TimeTicks long_flight = time_ticks(noon - 1800, noon + 5 * 3600, true);
  EXPECT_EQ(long_flight.labels,
            (std::vector<std::string>{"12:00", "13:00", "14:00", "15:00", "16:00", "17:00"}));

  // At the end of the clock: no tick wraps round to its start.
  const TimeTicks last = time_ticks(UINT32_MAX - 100, UINT32_MAX, true);
  EXPECT_EQ(last.times, (std::vector<std::uint32_t>{UINT32_MAX - 75, UINT32_MAX - 15}));
  EXPECT_TRUE(time_ticks(UINT32_MAX, UINT32_MAX, true).times.empty());

  const TimeTicks raw = time_ticks(1000, 1092, false);
  EXPECT_EQ(raw.labels, (std::vector<std::string>{"0.0", "0.5", "1.0", "1.5"}));
  EXPECT_EQ(raw.times, (std::vector<std::uint32_t>{1000, 1030, 1060, 1090}));
}

// Feeds `values` (one a second from time 0, NaN: the record lacks the value) through a clock of
// buckets `width` seconds wide.
Series line_of(const std::vector<double>& values, std::uint32_t width) {
  BucketClock clock;
  clock.reset(0, width);
  Series s;
  for (std::uint32_t t = 0; t < values.size(); ++t) {
    bool pause = false;
    int halvings = 0;
    const std::size_t bucket = clock.tick(t, pause, halvings);
    for (; halvings > 0; --halvings) s.halve();
    if (std::isnan(values[t])) {
      s.lack();
    } else {
      s.add(bucket, t, values[t], pause);
    }
  }
  return s;
}

TEST(ReportLines, BucketsKeepTheirExtremesInTimeOrder) {
  const Series s = line_of({5, 9, 1, 4, 6, 2}, 3);
  const std::vector<Series::Point> p = s.points();
  ASSERT_EQ(p.size(), 4U);
  // First bucket: the maximum (at 1) comes before the minimum (at 2).
  EXPECT_EQ(p[0].time, 1U);
  EXPECT_EQ(p[0].value, 9);
  EXPECT_EQ(p[1].time, 2U);
  EXPECT_EQ(p[1].value, 1);
  EXPECT_EQ(p[2].value, 6);  // second bucket: the maximum (at 4) before the minimum (at 5)
  EXPECT_EQ(p[3].value, 2);
  EXPECT_EQ(p[2].time, 4U);
  EXPECT_TRUE(p[0].starts_stretch);
  EXPECT_FALSE(p[2].starts_stretch);
  EXPECT_EQ(s.min(), 1);
  EXPECT_EQ(s.max(), 9);
}

TEST(ReportLines, AnAbsentValueBreaksTheLineAndIsNoZero) {
  const double gap = std::nan("");
  const Series s = line_of({5, 6, gap, gap, 7, 8}, 1);
  const std::vector<Series::Point> p = s.points();
  ASSERT_EQ(p.size(), 4U);
  EXPECT_EQ(p[2].time, 4U);
  EXPECT_TRUE(p[2].starts_stretch);
  EXPECT_FALSE(p[3].starts_stretch);
  EXPECT_EQ(s.min(), 5);  // the absent values are not zeros

  EXPECT_TRUE(line_of({gap, gap}, 1).empty());
}

TEST(ReportLines, APauseBetweenRecordsBreaksTheLine) {
  BucketClock clock;
  clock.reset(100, 1);
  Series s;
  for (const std::uint32_t t : {100U, 101U, 102U, 102U + BREAK_SECONDS, 103U + 2 * BREAK_SECONDS}) {
    bool pause = false;
    int halvings = 0;
    const std::size_t bucket = clock.tick(t, pause, halvings);
    EXPECT_EQ(halvings, 0);
    s.add(bucket, t, 1, pause);
  }
  std::vector<bool> starts;
  for (const Series::Point& p : s.points()) starts.push_back(p.starts_stretch);
  EXPECT_EQ(starts, (std::vector<bool>{true, false, false, false, true}));
}

TEST(ReportLines, LongLinesAreReducedWithoutHidingPeaks) {
  // Ten hours a second apart, bucketed a second wide: the clock widens its buckets as the
  // flight grows, and a line keeps at most two points per bucket.
  std::vector<double> values(36000);
  for (std::size_t i = 0; i < values.size(); ++i) values[i] = std::sin(static_cast<double>(i) / 50);
  values[12345] = 40;   // a one-second spike
  values[30001] = -40;  // and a dip
  const Series s = line_of(values, 1);
  const std::vector<Series::Point> p = s.points();
  EXPECT_LE(p.size(), 2 * MAX_BUCKETS);
  EXPECT_GE(p.size(), MAX_BUCKETS / 2);
  EXPECT_EQ(s.max(), 40);
  EXPECT_EQ(s.min(), -40);
  bool spike = false, dip = false;
  for (std::size_t i = 0; i < p.size(); ++i) {
    spike = spike || (p[i].value == 40 && p[i].time == 12345);
    dip = dip || (p[i].value == -40 && p[i].time == 30001);
    if (i > 0) {
      EXPECT_LE(p[i - 1].time, p[i].time);
    }
  }
  EXPECT_TRUE(spike);
  EXPECT_TRUE(dip);
}

// The coordinates of the points of the paths of class "l" (the lines) in an SVG text; a path's
// first point is marked as starting a stretch.
struct PathPoint {
  double x, y;
  bool move;
};
std::vector<std::vector<PathPoint>> line_paths(const std::string& svg) {
  std::vector<std::vector<PathPoint>> paths;
  const std::string start = "<path class=\"l\" d=\"";
  for (std::size_t at = svg.find(start); at != std::string::npos; at = svg.find(start, at)) {
    at += start.size();
    std::istringstream d(svg.substr(at, svg.find('"', at) - at));
    std::vector<PathPoint> points;
    char step = 0;
    double x = 0, y = 0;
    // Steps "M x y" and "L x y", a dot's "l0 0" passed over; the legend's "h18" ends it.
    while (d >> step && (step == 'M' || step == 'L' || step == 'l') && d >> x >> y) {
      if (step != 'l') points.push_back({x, y, step == 'M'});
    }
    paths.push_back(points);
  }
  return paths;
}

ChartLine chart_line(std::string name, int axis, const Series* series) {
  ChartLine l;
  l.name = std::move(name);
  l.axis = axis;
  l.series = series;
  return l;
}

TEST(ReportCharts, LinesSpanTheTimeAxisAndBreakAtGaps) {
  const double gap = std::nan("");
  const Series s = line_of({0, 10, 20, gap, 40, 50}, 1);
  const Series none = line_of({gap, gap, gap}, 1);
  std::string svg;
  write_line_chart(svg, "c", "Chart", {chart_line("alt", 0, &s), chart_line("g-alt", 0, &none)},
                   TimeAxis{0, 5, false});
  EXPECT_NE(svg.find("<title id=\"c\">Chart</title>"), std::string::npos);
  EXPECT_EQ(svg.find("g-alt"), std::string::npos);  // a line without values is left out
  const auto paths = line_paths(svg);
  ASSERT_EQ(paths.size(), 2U);  // the line and its legend sample
  const std::vector<PathPoint>& line = paths[0];
  ASSERT_EQ(line.size(), 5U);
  EXPECT_EQ(line[0].x, 64);  // the first record at the left of the chart area
  EXPECT_EQ(line[4].x, CHART_WIDTH - 16);
  EXPECT_TRUE(line[3].move);                // the gap breaks the line
  EXPECT_GT(line[0].y, line[2].y);          // higher values higher up
  EXPECT_EQ(line[0].y, CHART_HEIGHT - 40);  // 0 on the lowest tick

  std::string empty;
  write_line_chart(empty, "e", "Empty", {chart_line("alt", 0, &none)}, TimeAxis{0, 5, false});
  EXPECT_TRUE(empty.empty());
}

TEST(ReportCharts, RightAxisLinesHaveABandBelowAndLimitsAndSharedRangesWidenTheAxis) {
  const Series volts = line_of({14.0, 14.2, 14.1}, 1);
  const Series amps = line_of({3, -2, 5}, 1);
  ChartLine left = chart_line("m-v", 0, &volts), right = chart_line("amps", 1, &amps);
  left.unit = "V";
  right.unit = "A";
  left.max_limit = 15;
  std::string svg;
  write_line_chart(svg, "c", "Electrical", {left, right}, TimeAxis{0, 2, false});
  const auto paths = line_paths(svg);
  ASSERT_GE(paths.size(), 2U);
  // Every point of the left line stands above every point of the right one (each line is
  // followed by its legend's sample).
  ASSERT_EQ(paths.size(), 4U);
  for (const PathPoint& a : paths[0]) {
    for (const PathPoint& b : paths[2]) EXPECT_LT(a.y, b.y);
  }
  // The limit: a dashed line named with its value, inside the axis.
  EXPECT_NE(svg.find("class=\"lim\""), std::string::npos);
  EXPECT_NE(svg.find(">max m-v 15</text>"), std::string::npos);
  // The axes are titled with their units.
  EXPECT_NE(svg.find(">m-v (V)</text>"), std::string::npos);
  EXPECT_NE(svg.find(">amps (A)</text>"), std::string::npos);

  // A shared range widens the left axis: the same rise of 100 is drawn shorter on a scale that
  // also holds 200 and 1600.
  std::string own, shared;
  const Series egt = line_of({1300, 1400}, 1);
  write_line_chart(own, "a", "EGT", {chart_line("EGT 1", 0, &egt)}, TimeAxis{0, 1, false});
  write_line_chart(shared, "b", "EGT", {chart_line("EGT 1", 0, &egt)}, TimeAxis{0, 1, false},
                   ValueRange{200, 1600});
  const auto rise = [](const std::string& chart) {
    const auto points = line_paths(chart)[0];
    return points.front().y - points.back().y;
  };
  EXPECT_GT(rise(own), 2 * rise(shared));
}

TEST(ReportCharts, TheTrackKeepsItsTrueShape) {
  // A square of 1 km sides at 60 degrees north: a degree of longitude there is half a degree of
  // latitude long, so the square spans twice as many degrees of longitude as of latitude.
  TrackLine track;
  const double lat = 60, side = 1.0 / 111.2;  // degrees of latitude in 1 km
  const double corners[][2] = {
      {lat, 10}, {lat, 10 + 2 * side}, {lat + side, 10 + 2 * side}, {lat + side, 10}, {lat, 10}};
  std::size_t bucket = 0;
  for (const auto& c : corners) track.add(bucket++, c[0], c[1], false);
  std::string svg;
  write_track_chart(svg, "t", "Track", track);
  const auto paths = line_paths(svg);
  ASSERT_EQ(paths.size(), 1U);
  double x_lo = 1e9, x_hi = -1e9, y_lo = 1e9, y_hi = -1e9;
  for (const PathPoint& p : paths[0]) {
    x_lo = std::min(x_lo, p.x), x_hi = std::max(x_hi, p.x);
    y_lo = std::min(y_lo, p.y), y_hi = std::max(y_hi, p.y);
  }
  EXPECT_NEAR((x_hi - x_lo) / (y_hi - y_lo), 1.0, 0.02);
  EXPECT_NE(svg.find("start"), std::string::npos);
  EXPECT_NE(svg.find("end"), std::string::npos);
}

std::size_t occurrences(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(ReportPage, TextIsEscapedAndBytesThatAreNoUtf8BecomeReplacementCharacters) {
  const std::string kReplacement = "\xEF\xBF\xBD";
  const struct {
    std::string text, html;
  } kCases[] = {
      {"Korvex.rec", "Korvex.rec"},
      {"a<b>&\"c\"", "a&lt;b&gt;&amp;&quot;c&quot;"},
      {"Fl\xC3\xBCge \xE2\x82\xAC \xF0\x9F\x9B\xA9", "Fl\xC3\xBCge \xE2\x82\xAC \xF0\x9F\x9B\xA9"},
      {"latin1 \xFC.rec", "latin1 " + kReplacement + ".rec"},
      {"cut \xE2\x82", "cut " + kReplacement + kReplacement},
      {"overlong \xC0\xAF \xE0\x80\xAF", "overlong " + kReplacement + kReplacement + " " +
                                             kReplacement + kReplacement + kReplacement},
      {"surrogate \xED\xA0\x80", "surrogate " + kReplacement + kReplacement + kReplacement},
      {"beyond \xF4\x90\x80\x80",
       "beyond " + kReplacement + kReplacement + kReplacement + kReplacement},
      {"lone \x80 \xFF", "lone " + kReplacement + " " + kReplacement},
  };
  for (const auto& c : kCases) EXPECT_EQ(html_text(c.text), c.html) << c.text;

  // A log whose name is no UTF-8: the page that declares UTF-8 is UTF-8.
  const std::string path =
      write_temp_file("flights-\xFC\xE9.rec", LogBuilder().records(2, {1, 2}).bytes);
  const ProcessResult run = run_tool_process({"-q", "html", path});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(
      run.out.find("<title>Flight report: flights-" + kReplacement + kReplacement + ".rec</title>"),
      std::string::npos);
  EXPECT_EQ(run.out.find_first_of("\xFC\xE9"), std::string::npos);
}

TEST(ReportPage, StaysSmallWithVeryManyFlights) {
  // Many short flights, then enough long ones, every section present, to fill both the flights
  // kept for charts and the budget of points.
  const std::size_t short_flights = MAX_LISTED_FLIGHTS, long_flights = MAX_CHARTED_FLIGHTS;
  LogBuilder log;
  std::uint32_t t = 9661 * 86400U;
  for (std::size_t f = 0; f < short_flights + long_flights; ++f, t += 1000) {
    const std::uint32_t seconds = f < short_flights ? 3 : 60;
    for (std::uint32_t s = 0; s < seconds; ++s) log.record(2, t + s, SECTION_ALL);
  }
  const Conversion run = convert(log.bytes, "html");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string flights = std::to_string(short_flights + long_flights);
  EXPECT_LT(run.out.size(), 10'000'000U);
  EXPECT_EQ(occurrences(run.out, "<section class=\"flight\""), MAX_CHARTED_FLIGHTS);
  EXPECT_EQ(occurrences(run.out, "<tr>"), MAX_LISTED_FLIGHTS + 1);
  EXPECT_NE(run.err.find("The report charts the last 200 of " + flights + " flights"),
            std::string::npos);
  EXPECT_NE(run.err.find("lists the last 3000 of " + flights + " flights"), std::string::npos);
  // The last flight is charted, and its charts are no more than their share of the budget.
  EXPECT_NE(run.out.find("id=\"flight-" + flights + "\""), std::string::npos);
  std::size_t points = 0;
  for (const auto& path : line_paths(run.out)) points += path.size();
  EXPECT_GT(points, 100'000U);
  EXPECT_LE(points, 400'000U);
}

}  // namespace
}  // namespace korvex::test
