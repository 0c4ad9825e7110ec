#include "output/report/track_svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "io/concat.h"

namespace korvex {

namespace {

// The geometry of the plan view, in SVG units: the margins around the plot, where tick labels
// stand from their axis and their line, where the axis titles stand, and the legend's row at the
// top.
constexpr double kLeftMargin = 64;
constexpr double kRightMargin = 16;
constexpr double kTopMargin = 30;
constexpr double kBottomMargin = 40;
constexpr int kTrackHeight = 420;
constexpr double kTickLabelGap = 6;    // between the latitude axis and its labels
constexpr double kTickLabelDrop = 4;   // a label's baseline below its grid line
constexpr double kTimeLabelDrop = 16;  // a longitude label's baseline below the plot
constexpr double kAxisTitleRise = 6;   // the longitude title's baseline above the bottom
constexpr double kLeftTitleX = 14;     // the latitude title, turned upright
constexpr double kLegendLineY = 12;
constexpr double kLegendTextY = 16;
constexpr int kLatitudeTicks = 5;
constexpr int kLongitudeTicks = 7;  // the plan view is wider than high
constexpr const char* kTrackColour = "#1f77b4";

struct Box {
  double left, right, top, bottom;
};

std::string number(double v) {
  return std::to_string(std::lround(v));
}

// Appends a step of a path, "M" or "L" and the point, rounded to whole units.
void path_step(std::string& d, bool move, double x, double y) {
  append(d, {move ? "M" : "L", number(x), " ", number(y)});
}

void text(std::string& out, double x, double y, const std::string& label, const char* extra = "") {
  append(out, {"<text x=\"", number(x), "\" y=\"", number(y), "\"", extra, ">", label, "</text>"});
}

struct Ticks {
  double step;
  std::vector<double> values;
};

// 1, 2 or 5 times a power of ten, the first at or above `rough`.
double round_step(double rough) {
  const double magnitude = std::pow(10.0, std::floor(std::log10(rough)));
  for (const double m : {1.0, 2.0, 5.0}) {
    if (m * magnitude >= rough * (1 - 1e-9)) return m * magnitude;
  }
  return 10 * magnitude;
}

// Round ticks covering `min` to `max`, about `count` of them.
Ticks value_ticks(double min, double max, int count) {
  Ticks t;
  t.step = round_step((max - min) / std::max(1, count - 1));
  const double low = std::floor(min / t.step) * t.step;
  const auto steps =
      static_cast<int>(std::lround((std::ceil(max / t.step) * t.step - low) / t.step));
  for (int i = 0; i <= steps; ++i) t.values.push_back(low + i * t.step);
  return t;
}

// The text of a tick value: as few decimals as the step needs.
std::string tick_label(double value, double step) {
  const int decimals = step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
  if (std::fabs(value) < step * 1e-6) value = 0;  // no "-0"
  char label[48];
  std::snprintf(label, sizeof label, "%.*f", decimals, value);
  return label;
}

}  // namespace

void TrackLine::add(std::uint32_t time, double lat, double lon, bool pause) {
  std::size_t bucket = (time - start_) / width_;
  while (bucket >= MAX_TRACK_BUCKETS) {
    halve();
    bucket = (time - start_) / width_;
  }
  if (bucket >= buckets_.size()) buckets_.resize(bucket + 1);
  Bucket& b = buckets_[bucket];
  if (broken_ || (pause && count_ > 0)) b.breaks = true;
  broken_ = false;
  b.has = true;
  b.lat = lat;
  b.lon = lon;
  if (count_ == 0) first_ = {lat, lon, true};
  last_ = {lat, lon, false};
  ++count_;
  lat_sum_ += lat;
}

void TrackLine::halve() {
  std::vector<Bucket> merged((buckets_.size() + 1) / 2);
  for (std::size_t i = 0; i < buckets_.size(); ++i) {
    const Bucket& b = buckets_[i];
    if (!b.has) continue;
    Bucket& m = merged[i / 2];
    const bool breaks = m.has ? m.breaks : b.breaks;
    m = b;  // the later fix of the two
    m.breaks = breaks;
  }
  buckets_ = std::move(merged);
  width_ *= 2;
}

std::vector<TrackLine::Fix> TrackLine::fixes() const {
  std::vector<Fix> fixes;
  bool starts = true;
  for (const Bucket& b : buckets_) {
    if (!b.has) continue;
    fixes.push_back({b.lat, b.lon, starts || b.breaks});
    starts = false;
  }
  return fixes;
}

void write_track_chart(std::string& out, const std::string& id, const std::string& title,
                       const TrackLine& track) {
  if (track.empty()) return;
  const Box box{kLeftMargin, TRACK_WIDTH - kRightMargin, kTopMargin, kTrackHeight - kBottomMargin};
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

  append(out, {"<svg viewBox=\"0 0 ", std::to_string(TRACK_WIDTH), " ",
               std::to_string(kTrackHeight), "\" role=\"img\" aria-labelledby=\"", id,
               "\"><title id=\"", id, "\">", title, "</title>\n"});
  const double lat_span = (box.bottom - box.top) / units / 2;
  const double lon_span = (box.right - box.left) / units / scale_x / 2;
  // The grid of round degrees, and its labels: latitudes anchored at their end, longitudes and
  // the titles in the middle.
  std::string grid, ends, middles;
  const Ticks lats = value_ticks(lat_mid - lat_span, lat_mid + lat_span, kLatitudeTicks);
  for (const double v : lats.values) {
    if (y_of(v) < box.top - 0.5 || y_of(v) > box.bottom + 0.5) continue;
    append(grid, {"M", number(box.left), " ", number(y_of(v)), "H", number(box.right)});
    text(ends, box.left - kTickLabelGap, y_of(v) + kTickLabelDrop, tick_label(v, lats.step));
  }
  const Ticks lons = value_ticks(lon_mid - lon_span, lon_mid + lon_span, kLongitudeTicks);
  for (const double v : lons.values) {
    if (x_of(v) < box.left - 0.5 || x_of(v) > box.right + 0.5) continue;
    append(grid, {"M", number(x_of(v)), " ", number(box.top), "V", number(box.bottom)});
    text(middles, x_of(v), box.bottom + kTimeLabelDrop, tick_label(v, lons.step));
  }
  text(middles, (box.left + box.right) / 2, kTrackHeight - kAxisTitleRise, "longitude (degrees)",
       " class=\"t\"");
  const std::string upright = concat(
      {" class=\"t\" transform=\"rotate(-90 ", number(kLeftTitleX), " ", number(mid_y), ")\""});
  text(middles, kLeftTitleX, mid_y, "latitude (degrees)", upright.c_str());
  append(out, {"<path class=\"g\" d=\"", grid, "\"/>\n<g text-anchor=\"end\">", ends,
               "</g>\n<g text-anchor=\"middle\">", middles, "</g>\n"});
  append(out, {"<path class=\"a\" d=\"M", number(box.left), " ", number(box.top), "V",
               number(box.bottom), "H", number(box.right), "\"/>\n"});
  std::string d;
  for (const TrackLine::Fix& f : fixes) {
    path_step(d, f.starts_stretch, x_of(f.lon), y_of(f.lat));
  }
  append(out, {"<path class=\"l\" d=\"", d, "\" stroke=\"", kTrackColour, "\"/>\n"});
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
