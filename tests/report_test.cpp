// The report's charts, on values in memory: the samples a flight's charts are drawn from, checked
// against a model of the buckets that keeps every record of each; the JSON text the page reads;
// the track's plan view; and the page's budget, that keeps short flights whole and the page
// small.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "output/report/chart_data.h"
#include "output/report/report_output.h"
#include "output/report/track_svg.h"
#include "support/log_builder.h"
#include "support/run_capture.h"

namespace korvex::test {
namespace {

// The numbers of a JSON array of numbers and nulls that starts at `at` ("[1,null,-2.5]").
std::vector<std::optional<double>> json_numbers(const std::string& text, std::size_t at) {
  std::vector<std::optional<double>> numbers;
  const std::size_t end = text.find(']', at);
  std::istringstream cells(text.substr(at + 1, end - at - 1));
  for (std::string cell; std::getline(cells, cell, ',');) {
    numbers.push_back(cell == "null" ? std::nullopt : std::optional<double>(std::stod(cell)));
  }
  return numbers;
}

// A flight's data read back as the page's script reads it: the times of its points, and per line
// its values in its decimals (nothing for a line without values).
struct Decoded {
  std::vector<double> x;
  std::vector<std::optional<std::vector<std::optional<double>>>> y;
};
Decoded decode(const std::string& json) {
  Decoded d;
  const double x0 = std::stod(json.substr(json.find("\"x0\":") + 5));
  double t = x0;
  for (const auto& step : json_numbers(json, json.find("\"x\":[") + 4)) {
    t += step.value();
    d.x.push_back(t);
  }
  std::size_t at = json.find("\"y\":[") + 4;  // its [
  while (json[at] != ']') {
    ++at;  // '[' or ','
    if (json.compare(at, 4, "null") == 0) {
      d.y.emplace_back();
      at += 4;
      continue;
    }
    const auto cells = json_numbers(json, at);
    std::vector<std::optional<double>> values;
    double v = 0;
    bool started = false;
    for (std::size_t i = 1; i < cells.size(); ++i) {
      if (!cells[i]) {
        values.emplace_back();
        continue;
      }
      v = started ? v + *cells[i] : *cells[i];
      started = true;
      values.push_back(v);
    }
    d.y.push_back(values);
    at = json.find(']', at) + 1;
  }
  return d;
}

// Records of a flight: a time, and per line a value or none.
struct ModelRecord {
  std::uint32_t time;
  std::vector<std::optional<std::int32_t>> values;
};

TEST(ReportSamples, EachBucketKeepsItsLowestAndHighestInTheOrderTheyCame) {
  // Random flights (ties, gaps in a line, pauses, records in the same second), merged 0 to 6
  // times, against a model that buckets the records themselves: each bucket's points are its
  // lowest and its highest value at their first records, in time order, one point where every
  // line has one value; a pause is a point of nulls before its bucket.
  for (unsigned seed = 1; seed <= 12; ++seed) {
    std::mt19937 engine(seed);
    const auto random = [&engine] { return static_cast<std::uint32_t>(engine()); };
    const std::size_t lines = 3;
    const std::uint32_t start = 1000 + seed;
    std::vector<ModelRecord> records;
    std::uint32_t t = start;
    const std::size_t count = 50 + random() % 400;
    for (std::size_t r = 0; r < count; ++r) {
      if (r > 0) {
        const unsigned step = random() % 40;
        t += step == 0 ? 0 : step == 1 ? 6 + random() % 30 : 1;
      }
      ModelRecord rec{t, {}};
      for (std::size_t l = 0; l < lines; ++l) {
        // Line 2 only now and then; the others lack a value now and then.
        const bool lacks = l == 2 ? random() % 5 != 0 : random() % 12 == 0;
        rec.values.push_back(
            lacks ? std::nullopt
                  : std::optional<std::int32_t>(static_cast<std::int32_t>(random() % 9) - 4));
      }
      records.push_back(rec);
    }
    for (int halvings = 0; halvings <= 6; ++halvings) {
      SCOPED_TRACE(testing::Message() << "seed " << seed << ", merged " << halvings << " times");
      FlightSamples samples(start, std::vector<int>(lines, 1));
      for (const ModelRecord& rec : records) {
        samples.tick(rec.time);
        for (std::size_t l = 0; l < lines; ++l) {
          if (rec.values[l]) samples.add(l, *rec.values[l]);
        }
      }
      for (int h = 0; h < halvings; ++h) samples.halve();
      const std::uint32_t width = 1U << halvings;
      ASSERT_EQ(samples.width(), width);

      // The model's points.
      struct Point {
        std::optional<double> x;  // none: a gap's
        std::vector<std::optional<double>> y;
      };
      std::vector<Point> expected;
      std::size_t r = 0;
      bool any = false;
      while (r < records.size()) {
        const std::uint32_t bucket = (records[r].time - start) / width;
        std::size_t end = r;
        bool pause = false;
        while (end < records.size() && (records[end].time - start) / width == bucket) {
          pause = pause || (end > 0 && records[end].time - records[end - 1].time > BREAK_SECONDS);
          ++end;
        }
        if (pause && any)
          expected.push_back({std::nullopt, std::vector<std::optional<double>>(lines)});
        std::vector<std::vector<std::int32_t>> firsts(lines);  // per line: low, high in order
        bool two = false;
        for (std::size_t l = 0; l < lines; ++l) {
          std::optional<std::size_t> low, high;
          for (std::size_t k = r; k < end; ++k) {
            const auto& v = records[k].values[l];
            if (!v) continue;
            if (!low || *v < *records[*low].values[l]) low = k;
            if (!high || *v > *records[*high].values[l]) high = k;
          }
          if (!low) continue;
          const std::int32_t lv = *records[*low].values[l], hv = *records[*high].values[l];
          firsts[l] = *low <= *high ? std::vector{lv, hv} : std::vector{hv, lv};
          two = two || lv != hv;
        }
        const double at = start + static_cast<double>(bucket) * width;
        for (int k = 0; k < (two ? 2 : 1); ++k) {
          Point p{at + k * width / 2.0, {}};
          for (std::size_t l = 0; l < lines; ++l) {
            p.y.push_back(firsts[l].empty() ? std::nullopt
                                            : std::optional<double>(firsts[l][k == 0 ? 0 : 1]));
          }
          expected.push_back(p);
        }
        any = true;
        r = end;
      }

      const Decoded got = decode(samples.json());
      ASSERT_EQ(got.x.size(), expected.size());
      for (std::size_t i = 0; i < expected.size(); ++i) {
        if (expected[i].x) {
          EXPECT_DOUBLE_EQ(got.x[i], *expected[i].x) << "point " << i;
        } else if (i > 0) {
          EXPECT_GT(got.x[i], got.x[i - 1]) << "the gap's point " << i;
        }
        for (std::size_t l = 0; l < lines; ++l) {
          ASSERT_TRUE(got.y[l].has_value()) << "line " << l;
          EXPECT_EQ((*got.y[l])[i], expected[i].y[l]) << "line " << l << ", point " << i;
        }
      }
    }
  }
}

TEST(ReportSamples, ValuesAreKeptInTheirDecimalsAndALineWithoutValuesIsNull) {
  const struct {
    double value;
    int decimals;
    std::int32_t kept;
  } kCases[] = {
      {12.34, 1, 123},      {-0.05, 1, -1},         {2548, 0, 2548},      {0.6667, 4, 6667},
      {1e12, 2, INT32_MAX}, {-1e12, 0, -INT32_MAX}, {std::nan(""), 1, 0},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(FlightSamples::scaled(c.value, FlightSamples::scale_of(c.decimals)), c.kept)
        << c.value << " " << c.decimals;
  }
  FlightSamples samples(10, {1, 0});
  samples.tick(10);
  samples.add(0, 125);
  samples.tick(11);
  samples.add(0, 120);
  EXPECT_EQ(samples.json(5), "{\"x0\":15,\"w\":1,\"x\":[0,1],\"y\":[[1,125,-5],null]}");
}

TEST(ReportSamples, TextInThePagesScriptsIsQuotedAndCannotCloseThem) {
  const struct {
    std::string text, json;
  } kCases[] = {
      {"Oil temperature", "\"Oil temperature\""},
      {"a \"b\" \\ c", "\"a \\\"b\\\" \\\\ c\""},
      {"</script><b>&", "\"\\u003c/script\\u003e\\u003cb\\u003e\\u0026\""},
      {"tab\tline\n", "\"tab\\u0009line\\u000a\""},
      {"°F", "\"°F\""},
  };
  for (const auto& c : kCases) EXPECT_EQ(json_string(c.text), c.json) << c.text;
  EXPECT_EQ(json_number(245), "245");
  EXPECT_EQ(json_number(12.5), "12.5");
  EXPECT_EQ(json_number(std::nan("")), "null");
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

TEST(ReportTrack, KeepsItsTrueShape) {
  // A square of 1 km sides at 60 degrees north: a degree of longitude there is half a degree of
  // latitude long, so the square spans twice as many degrees of longitude as of latitude.
  TrackLine track;
  const double lat = 60, side = 1.0 / 111.2;  // degrees of latitude in 1 km
  const double corners[][2] = {
      {lat, 10}, {lat, 10 + 2 * side}, {lat + side, 10 + 2 * side}, {lat + side, 10}, {lat, 10}};
  std::uint32_t t = 0;
  for (const auto& c : corners) track.add(t++, c[0], c[1], false);
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
  EXPECT_NE(run.err.find("lists the last " + std::to_string(MAX_LISTED_FLIGHTS) + " of " + flights +
                         " flights"),
            std::string::npos);
  // The last flight is charted, and every charted flight keeps every record.
  EXPECT_NE(run.out.find("id=\"flight-" + flights + "\""), std::string::npos);
  EXPECT_EQ(occurrences(run.out, "The charts show every record."), MAX_CHARTED_FLIGHTS);
}

TEST(ReportPage, TheBudgetKeepsShortFlightsWholeAndMergesTheLongest) {
  // Three flights of ten minutes and one of thirty hours, every section: the long one alone is
  // over the budget, so its buckets are merged and the short ones keep every record.
  LogBuilder log;
  std::uint32_t t = 9661 * 86400U;
  for (const std::uint32_t seconds : {600U, 108'000U, 600U, 600U}) {
    for (std::uint32_t s = 0; s < seconds; ++s) log.record(2, t + s, SECTION_ALL);
    t += seconds + 3600;
  }
  const Conversion run = convert(log.bytes, "html");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_LT(run.out.size(), MAX_PAGE_BYTES);
  EXPECT_EQ(occurrences(run.out, "The charts show every record."), 3U);
  const std::size_t long_flight = run.out.find("id=\"flight-2\"");
  ASSERT_NE(long_flight, std::string::npos);
  const std::size_t said =
      run.out.find("The charts show the lowest and the highest value of every ");
  EXPECT_GT(said, long_flight);
  EXPECT_LT(said, run.out.find("id=\"flight-3\""));
  // Its data: no more points than the budget leaves it (the records are alike, so a bucket is
  // one point), and buckets no wider than the budget needs.
  const std::size_t data = run.out.find("<script type=\"application/json\" id=\"f2-data\">");
  ASSERT_NE(data, std::string::npos);
  const Decoded d = decode(run.out.substr(data, run.out.find("</script>", data) - data));
  EXPECT_GE(d.x.size(), 108'000U / 8);
  EXPECT_LE(d.x.size(), 108'000U / 2);
}

}  // namespace
}  // namespace korvex::test
