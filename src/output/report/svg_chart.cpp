#include "output/report/svg_chart.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>
#include <utility>

#include "io/concat.h"
#include "output/report/axis_ticks.h"
#include "profile/phase.h"

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
constexpr double kBandGap = 16;           // between the bands of the left and the right axis
constexpr int kTicks = 5;                 // about this many ticks on an axis of the whole plot
constexpr int kTimeTicks = 6;             // and on the time axis
constexpr int kBandTicks = 4;             // and on one of a band

struct Box {
  double left, right, top, bottom;
};

std::string number(double v) {
  return std::to_string(std::lround(v));
}

// A number as it was given: as few digits as tell it.
std::string shortest(double v) {
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, v).ptr);
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
double legend_entry(std::string& out, double x, const std::string& name, const char* colour) {
  append(out,
         {"<path class=\"l\" d=\"M", number(x), " ", number(kLegendLineY), "h",
          number(kLegendSample), "\" stroke=\"", colour, "\"/><text class=\"k\" x=\"",
          number(x + kLegendTextGap), "\" y=\"", number(kLegendTextY), "\">", name, "</text>\n"});
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

// The title of a value axis: the names of its lines (the first and the last of many: the legend
// names them all) with their unit, once when they share it.
std::string axis_title(const std::vector<const ChartLine*>& lines) {
  if (lines.empty()) return {};
  const bool one_unit = std::all_of(lines.begin(), lines.end(), [&](const ChartLine* l) {
    return l->unit == lines.front()->unit;
  });
  auto with_unit = [](const std::string& name, const std::string& unit) {
    return unit.empty() ? name : concat({name, " (", unit, ")"});
  };
  std::string title;
  if (lines.size() > kManyLines) {
    title = concat({lines.front()->name, " to ", lines.back()->name});
  } else {
    for (const ChartLine* l : lines) {
      if (!title.empty()) title += ", ";
      title += one_unit ? l->name : with_unit(l->name, l->unit);
    }
  }
  return one_unit ? with_unit(title, lines.front()->unit) : title;
}

}  // namespace

void write_line_chart(std::string& out, const std::string& id, const std::string& title,
                      const std::vector<ChartLine>& all, const TimeAxis& axis,
                      const std::optional<ValueRange>& left_range, const TimeMarks& marks) {
  std::vector<const ChartLine*> lines, of_axis[2];
  for (const ChartLine& line : all) {
    if (line.series->empty()) continue;
    lines.push_back(&line);
    of_axis[line.axis == 1 ? 1 : 0].push_back(&line);
  }
  if (lines.empty()) return;
  const bool right_axis = !of_axis[1].empty();
  const Box box{kLeftMargin, CHART_WIDTH - (right_axis ? kRightAxisMargin : kRightMargin),
                kTopMargin, CHART_HEIGHT - kBottomMargin};
  // With a right axis, its lines have a band of the plot below those of the left axis, so that
  // neither covers the other.
  const double band = right_axis ? (box.bottom - box.top - kBandGap) / 2 : box.bottom - box.top;
  const double band_top[2] = {box.top, box.bottom - band};
  open_svg(out, id, title, CHART_HEIGHT);

  // The value axes: round ticks over the values of their lines and their limits.
  Ticks ticks[2];
  for (int a = 0; a < 2; ++a) {
    if (of_axis[a].empty()) continue;
    double lo = of_axis[a].front()->series->min(), hi = of_axis[a].front()->series->max();
    for (const ChartLine* l : of_axis[a]) {
      lo = std::min(lo, l->series->min());
      hi = std::max(hi, l->series->max());
      for (const std::optional<double>& limit : {l->min_limit, l->max_limit}) {
        if (limit) lo = std::min(lo, *limit), hi = std::max(hi, *limit);
      }
    }
    if (a == 0 && left_range)
      lo = std::min(lo, left_range->low), hi = std::max(hi, left_range->high);
    ticks[a] = value_ticks(lo, hi, right_axis ? kBandTicks : kTicks);
  }
  auto y_of = [&](int a, double v) {
    const Ticks& t = ticks[a];
    return band_top[a] + band - (v - t.low) / (t.high - t.low) * band;
  };
  const double span = axis.end > axis.start ? axis.end - axis.start : 1;
  auto x_of = [&](std::uint32_t t) {
    return box.left + (t - axis.start) / span * (box.right - box.left);
  };

  Frame frame;
  for (int a = 0; a < 2; ++a) {
    for (const double v : ticks[a].values) {
      if (of_axis[a].empty()) break;
      append(frame.grid, {"M", number(box.left), " ", number(y_of(a, v)), "H", number(box.right)});
      frame.label(a == 0 ? Frame::END : Frame::START,
                  a == 0 ? box.left - kTickLabelGap : box.right + kTickLabelGap,
                  y_of(a, v) + kTickLabelDrop, tick_label(v, ticks[a].step));
    }
  }
  const TimeTicks times = time_ticks(axis.start, axis.end, axis.dated, kTimeTicks,
                                     axis.zone.utc ? axis.zone.offset : 0);
  for (std::size_t i = 0; i < times.times.size(); ++i) {
    const double x = x_of(times.times[i]);
    append(frame.grid, {"M", number(x), " ", number(box.top), "V", number(box.bottom)});
    frame.label(Frame::MIDDLE, x, box.bottom + kTimeLabelDrop, times.labels[i]);
  }
  std::string& titles = frame.labels[Frame::MIDDLE];
  text(titles, (box.left + box.right) / 2, CHART_HEIGHT - kAxisTitleRise,
       !axis.dated     ? "minutes from the start"
       : axis.zone.utc ? "time (HH:MM UTC)"
                       : "time (HH:MM)",
       " class=\"t\"");
  const double left_mid = band_top[0] + band / 2;
  text(titles, kLeftTitleX, left_mid, axis_title(of_axis[0]),
       upright(kLeftTitleX, left_mid).c_str());
  if (right_axis) {
    const double x = CHART_WIDTH - kRightTitleInset;
    const double right_mid = band_top[1] + band / 2;
    text(titles, x, right_mid, axis_title(of_axis[1]),
         concat({" class=\"t\" transform=\"rotate(90 ", number(x), " ", number(right_mid), ")\""})
             .c_str());
  }
  frame.write(out);
  // The stretches of findings and of cruise, behind the lines: at least a unit wide, a
  // second's width more than their first to their last time.
  const auto span_of = [&](std::uint32_t first, std::uint32_t last) {
    const double left = std::clamp(x_of(first), box.left, box.right);
    const double right = std::clamp(x_of(last + 1), box.left, box.right);
    return std::pair{left, std::max(right - left, 1.0)};
  };
  if (marks.cruise != nullptr) {
    for (const TimeStretch& t : *marks.cruise) {
      const auto [left, width] = span_of(t.first, t.last);
      append(out, {"<rect class=\"cruise\" x=\"", number(left), "\" y=\"", number(box.top),
                   "\" width=\"", number(width), "\" height=\"", number(box.bottom - box.top),
                   "\"><title>cruise</title></rect>\n"});
    }
  }
  for (const TimeStretch& t : marks.findings) {
    const auto [left, width] = span_of(t.first, t.last);
    append(out,
           {"<rect class=\"shade\" x=\"", number(left), "\" y=\"", number(box.top), "\" width=\"",
            number(width), "\" height=\"", number(box.bottom - box.top), "\"/>\n"});
  }
  // The phases: a band at the foot of the plot.
  if (marks.phases != nullptr) {
    constexpr double kBand = 6;
    for (const PhaseStretch& p : *marks.phases) {
      const auto [left, width] = span_of(p.first, p.last);
      append(out, {"<rect class=\"ph\" x=\"", number(left), "\" y=\"", number(box.bottom - kBand),
                   "\" width=\"", number(width), "\" height=\"", number(kBand), "\" fill=\"",
                   PHASE_COLOURS[p.phase % std::size(PHASE_COLOURS)], "\"><title>",
                   PHASE_NAMES[p.phase % PHASE_COUNT], "</title></rect>\n"});
    }
  }
  append(out, {"<path class=\"a\" d=\"M", number(box.left), " ", number(box.top), "V",
               number(box.bottom), "H", number(box.right), right_axis ? "V" : "",
               right_axis ? number(box.top) : "", "\"/>\n"});

  double legend_x = box.left;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const ChartLine& l = *lines[i];
    const int a = l.axis == 1 ? 1 : 0;
    const char* colour = kColours[i % std::size(kColours)];
    std::string d;
    for (const Series::Point& p : l.series->points()) {
      path_step(d, p.starts_stretch, x_of(p.time), y_of(a, p.value));
      if (p.starts_stretch) d += "l0 0";  // a stretch of one point shows as a dot
    }
    append(out, {"<path class=\"l\" d=\"", d, "\" stroke=\"", colour, "\"/>\n"});
    // Its limits: dashed across the plot, named at the right.
    for (const auto& [limit, word] :
         {std::pair{l.min_limit, "min "}, std::pair{l.max_limit, "max "}}) {
      if (!limit) continue;
      const double y = y_of(a, *limit);
      append(out, {"<path class=\"lim\" d=\"M",
                   number(box.left),
                   " ",
                   number(y),
                   "H",
                   number(box.right),
                   "\" stroke=\"",
                   colour,
                   "\"",
                   kDash,
                   "/>",
                   "<text class=\"lt\" x=\"",
                   number(box.right - kTickLabelGap),
                   "\" y=\"",
                   number(y - kTickLabelDrop),
                   "\" text-anchor=\"end\">",
                   word,
                   l.name,
                   " ",
                   shortest(*limit),
                   "</text>\n"});
    }
    legend_x = legend_entry(out, legend_x, l.name, colour);
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
