#include "output/report/svg_chart.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>

#include "io/concat.h"
#include "output/report/axis_ticks.h"

namespace korvex {

namespace {

// Twelve colours told apart easily, for as many lines as an engine monitor has thermocouples.
constexpr const char* kColours[] = {"#1f77b4", "#ff7f0e", "#2ca02c", "#d62728",
                                    "#9467bd", "#8c564b", "#e377c2", "#7f7f7f",
                                    "#bcbd22", "#17becf", "#393b79", "#637939"};
constexpr const char* kDash = " stroke-dasharray=\"7 4\"";

// The geometry of a chart, in SVG units: the margins around the plot (a right axis takes as much
// room as the left one), the height of a track's plan view, where tick labels stand from their
// axis and their line, where the axis titles stand, and the legend's row at the top.
constexpr double kLeftMargin = 64;
constexpr double kRightMargin = 16;
constexpr double kRightAxisMargin = 64;
constexpr double kTopMargin = 30;
constexpr double kBottomMargin = 40;
constexpr int kTrackHeight = 420;
constexpr double kTickLabelGap = 6;       // between a value axis and its labels
constexpr double kTickLabelDrop = 4;      // a value label's baseline below its grid line
constexpr double kTimeLabelDrop = 16;     // a time label's baseline below the plot
constexpr double kAxisTitleRise = 6;      // the time axis title's baseline above the bottom
constexpr double kLeftTitleX = 14;        // the left axis title, turned upright
constexpr double kRightTitleInset = 10;   // the right axis title, from the right edge
constexpr double kLegendLineY = 12;       // the legend's sample lines
constexpr double kLegendTextY = 16;       // and the baseline of its names
constexpr double kLegendSample = 18;      // the length of a sample line
constexpr double kLegendTextGap = 22;     // from a sample to its name
constexpr double kLegendEntryGap = 30;    // a sample and the blank after its name
constexpr double kLegendCharWidth = 7.2;  // about the width of a character of a name
constexpr int kLongitudeTicks = 7;        // the plan view is wider than high
constexpr int kManyLines = 3;             // an axis of more lines is titled by its first and last

struct Box {
  double left, right, top, bottom;
};

std::string number(double v) {
  return std::to_string(std::lround(v));
}

// Appends a step of a path, "M" or "L" and the point, rounded to whole units.
void path_step(std::string& d, bool move, double x, double y) {
  char text[24];
  d += move ? 'M' : 'L';
  d.append(text, std::to_chars(text, text + sizeof text, std::lround(x)).ptr);
  d += ' ';
  d.append(text, std::to_chars(text, text + sizeof text, std::lround(y)).ptr);
}

void open_svg(std::string& out, const std::string& id, const std::string& title, int height) {
  append(out, {"<svg viewBox=\"0 0 ", std::to_string(CHART_WIDTH), " ", std::to_string(height),
               "\" role=\"img\" aria-labelledby=\"", id, "\"><title id=\"", id, "\">", title,
               "</title>\n"});
}

// A legend entry at x on the top row; returns the x of the next one.
double legend_entry(std::string& out, double x, const std::string& name, const char* colour,
                    bool dashed) {
  append(out, {"<path class=\"l\" d=\"M", number(x), " ", number(kLegendLineY), "h",
               number(kLegendSample), "\" stroke=\"", colour, "\"", dashed ? kDash : "",
               "/><text class=\"k\" x=\"", number(x + kLegendTextGap), "\" y=\"",
               number(kLegendTextY), "\">", name, "</text>\n"});
  return x + kLegendEntryGap + kLegendCharWidth * static_cast<double>(name.size());
}

// The attributes of an axis title turned upright about (x, y), read from below.
std::string upright(double x, double y) {
  return concat({" class=\"t\" transform=\"rotate(-90 ", number(x), " ", number(y), ")\""});
}

void text(std::string& out, double x, double y, const std::string& label, const char* extra = "") {
  append(out, {"<text x=\"", number(x), "\" y=\"", number(y), "\"", extra, ">", label, "</text>"});
}

// The grid and the tick labels of a chart, gathered so that each kind is written once: one path
// of grid lines, and the labels in a group per text anchor.
struct Frame {
  std::string grid;
  std::string labels[3];  // anchored at their end, middle and start
  enum Anchor { END, MIDDLE, START };

  void label(Anchor anchor, double x, double y, const std::string& label) {
    text(labels[anchor], x, y, label);
  }
  void write(std::string& out) const {
    append(out, {"<path class=\"g\" d=\"", grid, "\"/>\n<g text-anchor=\"end\">", labels[END],
                 "</g>\n<g text-anchor=\"middle\">", labels[MIDDLE], "</g>\n"});
    if (!labels[START].empty()) append(out, {"<g>", labels[START], "</g>\n"});
  }
};

}  // namespace

void write_line_chart(std::string& out, const std::string& id, const std::string& title,
                      const std::vector<ChartLine>& all, const TimeAxis& axis) {
  std::vector<const ChartLine*> lines;
  for (const ChartLine& line : all) {
    if (!line.series->empty()) lines.push_back(&line);
  }
  if (lines.empty()) return;
  const bool right_axis =
      std::any_of(lines.begin(), lines.end(), [](const ChartLine* l) { return l->axis == 1; });
  const Box box{kLeftMargin, CHART_WIDTH - (right_axis ? kRightAxisMargin : kRightMargin),
                kTopMargin, CHART_HEIGHT - kBottomMargin};
  open_svg(out, id, title, CHART_HEIGHT);

  // The value axes: round ticks over the values of their lines.
  Ticks ticks[2];
  std::string names[2];
  for (int a = 0; a < 2; ++a) {
    double lo = 0, hi = 0;
    bool any = false;
    for (const ChartLine* l : lines) {
      if (l->axis != a) continue;
      lo = any ? std::min(lo, l->series->min()) : l->series->min();
      hi = any ? std::max(hi, l->series->max()) : l->series->max();
      names[a] += concat({names[a].empty() ? "" : ", ", l->name});
      any = true;
    }
    if (any) ticks[a] = value_ticks(lo, hi);
  }
  // An axis of many lines is titled by its first and last: the legend names them all.
  for (int a = 0; a < 2; ++a) {
    std::vector<const ChartLine*> of_axis;
    for (const ChartLine* l : lines) {
      if (l->axis == a) of_axis.push_back(l);
    }
    if (of_axis.size() > kManyLines)
      names[a] = concat({of_axis.front()->name, " to ", of_axis.back()->name});
  }
  auto y_of = [&](int a, double v) {
    const Ticks& t = ticks[a];
    return box.bottom - (v - t.low) / (t.high - t.low) * (box.bottom - box.top);
  };
  const double span = axis.end > axis.start ? axis.end - axis.start : 1;
  auto x_of = [&](std::uint32_t t) {
    return box.left + (t - axis.start) / span * (box.right - box.left);
  };

  Frame frame;
  for (const double v : ticks[0].values) {
    append(frame.grid, {"M", number(box.left), " ", number(y_of(0, v)), "H", number(box.right)});
    frame.label(Frame::END, box.left - kTickLabelGap, y_of(0, v) + kTickLabelDrop,
                tick_label(v, ticks[0].step));
  }
  if (right_axis) {
    for (const double v : ticks[1].values) {
      frame.label(Frame::START, box.right + kTickLabelGap, y_of(1, v) + kTickLabelDrop,
                  tick_label(v, ticks[1].step));
    }
  }
  const TimeTicks times = time_ticks(axis.start, axis.end, axis.dated);
  for (std::size_t i = 0; i < times.times.size(); ++i) {
    const double x = x_of(times.times[i]);
    append(frame.grid, {"M", number(x), " ", number(box.top), "V", number(box.bottom)});
    frame.label(Frame::MIDDLE, x, box.bottom + kTimeLabelDrop, times.labels[i]);
  }
  const double mid_y = (box.top + box.bottom) / 2;
  std::string& titles = frame.labels[Frame::MIDDLE];
  text(titles, (box.left + box.right) / 2, CHART_HEIGHT - kAxisTitleRise,
       axis.dated ? "time (HH:MM)" : "minutes from the start", " class=\"t\"");
  text(titles, kLeftTitleX, mid_y, names[0], upright(kLeftTitleX, mid_y).c_str());
  if (right_axis) {
    const double x = CHART_WIDTH - kRightTitleInset;
    text(titles, x, mid_y, names[1],
         concat({" class=\"t\" transform=\"rotate(90 ", number(x), " ", number(mid_y), ")\""})
             .c_str());
  }
  frame.write(out);
  append(out, {"<path class=\"a\" d=\"M", number(box.left), " ", number(box.top), "V",
               number(box.bottom), "H", number(box.right), right_axis ? "V" : "",
               right_axis ? number(box.top) : "", "\"/>\n"});

  double legend_x = box.left;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const ChartLine& l = *lines[i];
    const char* colour = kColours[i % std::size(kColours)];
    std::string d;
    for (const Series::Point& p : l.series->points()) {
      path_step(d, p.starts_stretch, x_of(p.time), y_of(l.axis, p.value));
      if (p.starts_stretch) d += "l0 0";  // a stretch of one point shows as a dot
    }
    append(out, {"<path class=\"l\" d=\"", d, "\" stroke=\"", colour, "\"",
                 l.axis == 1 ? kDash : "", "/>\n"});
    legend_x = legend_entry(out, legend_x, l.name, colour, l.axis == 1);
  }
  out += "</svg>\n";
}

void write_track_chart(std::string& out, const std::string& id, const std::string& title,
                       const TrackLine& track) {
  if (track.empty()) return;
  const Box box{kLeftMargin, CHART_WIDTH - kRightMargin, kTopMargin, kTrackHeight - kBottomMargin};
  const std::vector<TrackLine::Fix> fixes = track.fixes();
  const double scale_x = std::cos(track.mean_lat() * std::numbers::pi / 180);
  double lat_lo = fixes[0].lat, lat_hi = lat_lo, lon_lo = fixes[0].lon, lon_hi = lon_lo;
  for (const auto& f : {track.first(), track.last()}) {
    lat_lo = std::min(lat_lo, f.lat), lat_hi = std::max(lat_hi, f.lat);
    lon_lo = std::min(lon_lo, f.lon), lon_hi = std::max(lon_hi, f.lon);
  }
  for (const TrackLine::Fix& f : fixes) {
    lat_lo = std::min(lat_lo, f.lat), lat_hi = std::max(lat_hi, f.lat);
    lon_lo = std::min(lon_lo, f.lon), lon_hi = std::max(lon_hi, f.lon);
  }
  // One scale for both directions: a degree of longitude is cos(latitude) of one of latitude.
  const double width = std::max((lon_hi - lon_lo) * scale_x, 1e-4);
  const double height = std::max(lat_hi - lat_lo, 1e-4);
  const double units = std::min((box.right - box.left) / width, (box.bottom - box.top) / height);
  const double mid_x = (box.left + box.right) / 2, mid_y = (box.top + box.bottom) / 2;
  const double lon_mid = (lon_lo + lon_hi) / 2, lat_mid = (lat_lo + lat_hi) / 2;
  auto x_of = [&](double lon) { return mid_x + (lon - lon_mid) * scale_x * units; };
  auto y_of = [&](double lat) { return mid_y - (lat - lat_mid) * units; };

  open_svg(out, id, title, kTrackHeight);
  const double lat_span = (box.bottom - box.top) / units / 2;
  const double lon_span = (box.right - box.left) / units / scale_x / 2;
  Frame frame;
  const Ticks lats = value_ticks(lat_mid - lat_span, lat_mid + lat_span);
  for (const double v : lats.values) {
    if (y_of(v) < box.top - 0.5 || y_of(v) > box.bottom + 0.5) continue;
    append(frame.grid, {"M", number(box.left), " ", number(y_of(v)), "H", number(box.right)});
    frame.label(Frame::END, box.left - kTickLabelGap, y_of(v) + kTickLabelDrop,
                tick_label(v, lats.step));
  }
  const Ticks lons = value_ticks(lon_mid - lon_span, lon_mid + lon_span, kLongitudeTicks);
  for (const double v : lons.values) {
    if (x_of(v) < box.left - 0.5 || x_of(v) > box.right + 0.5) continue;
    append(frame.grid, {"M", number(x_of(v)), " ", number(box.top), "V", number(box.bottom)});
    frame.label(Frame::MIDDLE, x_of(v), box.bottom + kTimeLabelDrop, tick_label(v, lons.step));
  }
  std::string& titles = frame.labels[Frame::MIDDLE];
  text(titles, (box.left + box.right) / 2, kTrackHeight - kAxisTitleRise, "longitude (degrees)",
       " class=\"t\"");
  text(titles, kLeftTitleX, mid_y, "latitude (degrees)", upright(kLeftTitleX, mid_y).c_str());
  frame.write(out);
  append(out, {"<path class=\"a\" d=\"M", number(box.left), " ", number(box.top), "V",
               number(box.bottom), "H", number(box.right), "\"/>\n"});
  std::string d;
  for (const TrackLine::Fix& f : fixes) {
    path_step(d, f.starts_stretch, x_of(f.lon), y_of(f.lat));
  }
  append(out, {"<path class=\"l\" d=\"", d, "\" stroke=\"", kColours[0], "\"/>\n"});
  const TrackLine::Fix first = track.first(), last = track.last();
  // The start as a green dot, the end as a red square, on the track and in the legend.
  constexpr double kStart = 6, kEnd = 5;  // the dot's radius, half the square's side
  constexpr double kEndInLegend = 66;     // where the legend's square stands after its dot
  append(out,
         {"<circle cx=\"", number(x_of(first.lon)), "\" cy=\"", number(y_of(first.lat)), "\" r=\"",
          number(kStart), "\" fill=\"#2ca02c\"/>\n<rect x=\"", number(x_of(last.lon) - kEnd),
          "\" y=\"", number(y_of(last.lat) - kEnd), "\" width=\"", number(2 * kEnd), "\" height=\"",
          number(2 * kEnd), "\" fill=\"#d62728\"/>\n"});
  append(out, {"<circle cx=\"",
               number(box.left + kStart),
               "\" cy=\"",
               number(kLegendLineY),
               "\" r=\"",
               number(kEnd),
               "\" fill=\"#2ca02c\"/>",
               "<text class=\"k\" x=\"",
               number(box.left + kStart + 2 * kEnd),
               "\" y=\"",
               number(kLegendTextY),
               "\">start</text>",
               "<rect x=\"",
               number(box.left + kEndInLegend),
               "\" y=\"",
               number(kLegendLineY - kEnd),
               "\" width=\"",
               number(2 * kEnd),
               "\" height=\"",
               number(2 * kEnd),
               "\" ",
               "fill=\"#d62728\"/><text class=\"k\" x=\"",
               number(box.left + kEndInLegend + 2 * kEnd + kStart),
               "\" y=\"",
               number(kLegendTextY),
               "\">end</text>\n</svg>\n"});
}

}  // namespace korvex
