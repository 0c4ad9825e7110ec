#include "output/report/report_output.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "fields/blocks.h"
#include "io/concat.h"
#include "output/findings/finding_text.h"
#include "output/format/format.h"
#include "record/timestamp.h"
#include "version.h"

namespace korvex {

namespace {

// All lines of all flights together hold at most this many points, so the page (and the memory
// that keeps them) stays small whatever the size of the log.
constexpr std::size_t kPointBudget = 400000;
// A bucket of a line holds two points at most: its lowest and its highest value.
constexpr std::size_t kPointsPerBucket = 2;
// The widest buckets a flight starts with, and the widest they become, in seconds.
constexpr std::uint32_t kMaxFirstWidth = 1U << 20;
constexpr std::uint32_t kMaxWidth = 1U << 30;

constexpr std::string_view kStyle = R"(<style>
:root{color-scheme:light}
body{margin:0;font:15px/1.45 system-ui,-apple-system,"Segoe UI",Roboto,Helvetica,Arial,sans-serif;color:#1d2733;background:#eef1f5}
header{background:#14324b;color:#fff;padding:22px 32px}
header h1{margin:0;font-size:26px;font-weight:600}
header p{margin:6px 0 0;color:#c5d3e0}
main{max-width:1180px;margin:0 auto;padding:8px 24px 32px}
section{background:#fff;border-radius:10px;box-shadow:0 1px 3px rgba(20,50,75,.15);padding:18px 22px;margin:18px 0}
h2{margin:0 0 6px;font-size:20px}
h2 a{color:inherit;text-decoration:none}
.when{margin:0 0 12px;color:#51606f}
.scroll{overflow-x:auto}
table{border-collapse:collapse;font-size:13px;font-variant-numeric:tabular-nums}
th,td{padding:5px 9px;text-align:right;border-bottom:1px solid #e3e8ee;white-space:nowrap}
th{background:#f4f6f9;color:#3c4a57;font-weight:600;position:sticky;top:0}
td a{font-weight:600;color:#14548a}
dl{display:grid;grid-template-columns:repeat(auto-fill,minmax(140px,1fr));gap:8px;margin:0 0 14px}
dl div{background:#f4f6f9;border-radius:8px;padding:7px 11px}
dt{font-size:12px;color:#5b6b7b}
dd{margin:0;font-size:19px;font-weight:600;font-variant-numeric:tabular-nums}
.charts{display:grid;grid-template-columns:repeat(auto-fit,minmax(540px,1fr));gap:14px}
figure{margin:0;border:1px solid #e3e8ee;border-radius:8px;padding:8px 8px 2px}
figcaption{font-weight:600;font-size:14px;margin:0 0 2px 4px}
svg{display:block;width:100%;height:auto}
svg text{font-size:12px;fill:#3c4a57}
svg .k{font-size:13px;fill:#1d2733}
svg .t{fill:#5b6b7b}
.g{stroke:#e8ecf1;fill:none}
.a{stroke:#8a97a5;fill:none}
.l{fill:none;stroke-width:1.7;stroke-linejoin:round;stroke-linecap:round}
.lim{fill:none;stroke-width:1.2}
.shade{fill:#d62728;fill-opacity:.14}
tr.found td{background:#fdecea}
tr.found td:first-child{box-shadow:inset 4px 0 #d62728}
table.findings{margin:0 0 14px}
table.findings caption{text-align:left;font-weight:600;color:#b3261e;padding:0 0 6px}
table.findings td.what{text-align:left}
p.none{margin:0 0 12px;color:#2e7d32;font-weight:600}
p.partial{margin:0 0 12px;color:#8a5300;font-weight:600}
h3{margin:4px 0 6px;font-size:15px}h3 span{font-weight:400;color:#51606f}
dl.cruise div{background:#eaf5ec}dl div.wide{grid-column:span 2}
.cruise{fill:#43a047;fill-opacity:.08}
p.phases{margin:0 0 10px;font-size:12px;color:#51606f}p.phases span{margin-right:8px;white-space:nowrap}
p.phases i{display:inline-block;width:12px;height:8px;margin-right:3px;border-radius:2px}
p.phases i.cruise{background:#43a047;opacity:.3}
svg .lt{font-size:11px}
header p.note{font-size:13px;max-width:900px}
code{font-family:ui-monospace,Menlo,Consolas,monospace;font-size:12px}
footer{color:#6b7a89;font-size:13px;text-align:center;padding:8px}
@media print{body{background:#fff}header{background:none;color:#000}header p{color:#333}
section{box-shadow:none;border:1px solid #ccc}section.flight{break-before:page}
figure{break-inside:avoid}.charts{display:block}figure{margin:0 0 10px}}
</style>
)";

// The number of bytes of the UTF-8 sequence that starts `text`, or 0 when it is none.
std::size_t utf8_length(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  std::size_t n = 0;
  unsigned low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    n = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    n = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    n = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing beyond U+10FFFF
  } else {
    return 0;
  }
  if (text.size() < n || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < n; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return n;
}

std::string with_unit(std::string text, std::string_view unit) {
  if (!unit.empty()) append(text, {" (", unit, ")"});
  return text;
}

// The label of a figure on its flight's card, in words: "max RPM (RPM), engine 1".
std::string figure_label(const FlightColumn& c, const Profile& profile) {
  if (c.kind != FlightColumn::FIGURE) return html_text(c.name);
  const FigureTraits& f = FIGURES[c.figure];
  std::string label(f.label);
  if (f.type == FigureType::VALUE && f.unit == FigureUnit::COLUMN) {
    label = concat({label, " ", profile.label(f.column)});
  }
  label = with_unit(std::move(label), figure_unit(c.figure, profile));
  if (f.engine() >= 0) label += concat({", ", engine_name(profile, f.column.block)});
  return html_text(label);
}

// Whether a column is shown on a flight's card: not the flight and its times (the section's
// heading has them), nor the twelve temperatures.
bool on_card(const FlightColumn& c) {
  // A flight held in part says so in words above its cards.
  if (c.kind == FlightColumn::FLIGHT || c.kind == FlightColumn::START ||
      c.kind == FlightColumn::END || c.kind == FlightColumn::PARTIAL) {
    return false;
  }
  return c.kind != FlightColumn::FIGURE || FIGURES[c.figure].on_card;
}

// A temperature as the thermocouples give it: a whole number.
std::string figure_number(double value) {
  return std::to_string(std::llround(value));
}

// A time as the report shows it: 2026-06-14 12:13:23 (2026-06-14 10:13:23 UTC), or the raw
// count.
std::string report_time(std::uint32_t timestamp, RecordLayout layout, const TimeZone& zone) {
  return time_text(timestamp, layout, TimeForm::READABLE, zone);
}

using Line = ReportOutput::Line;
using Chart = ReportOutput::Chart;
using Scale = ReportOutput::Scale;

struct LineDef {
  int block;
  const Field* field;  // known_field(): the columns the charts draw are checked when compiled
  int axis;
};

// The charts of a log of these sections, and their lines, as the profile names them.
void define_charts(SectionFlags sections, const Profile& profile, std::vector<Chart>& charts,
                   std::vector<Line>& lines) {
  auto add_line = [&](ColumnRef column, int axis, std::string name) {
    const ColumnSetup* setup = profile.setup(column);
    lines.push_back({name.empty() ? std::string(profile.label(column)) : std::move(name), axis,
                     column, value_decoder(column), profile.calibration(column),
                     std::string(profile.unit(column)),
                     setup != nullptr ? setup->min : std::nullopt,
                     setup != nullptr ? setup->max : std::nullopt});
  };
  auto chart = [&](std::string title, std::initializer_list<LineDef> defs) {
    charts.push_back({std::move(title), lines.size(), defs.size(), Scale::OWN});
    for (const LineDef& d : defs) add_line({d.block, d.field}, d.axis, {});
  };
  // A chart of thermocouples; `word` names a cylinder's line where the profile gives no label.
  auto temperatures = [&](std::string title, Scale scale, int block, const std::vector<int>& tcs,
                          std::string_view word) {
    if (tcs.empty()) return;
    charts.push_back({std::move(title), lines.size(), tcs.size(), scale});
    for (std::size_t i = 0; i < tcs.size(); ++i) {
      const ColumnRef column = thermocouple_column(block, tcs[i]);
      const ColumnSetup* setup = profile.setup(column);
      const bool labelled = setup != nullptr && !setup->label.empty();
      add_line(
          column, 0,
          labelled || word.empty() ? std::string() : concat({word, " ", std::to_string(i + 1)}));
    }
  };
  const bool gps = (sections & SECTION_GPS) != 0;
  if (gps) {
    chart("Altitude", {{BASE_BLOCK, known_field(BASE_BLOCK, "alt"), 0},
                       {SECTION_ID_GPS, known_field(SECTION_ID_GPS, "g-alt"), 0}});
    chart("Speeds", {{BASE_BLOCK, known_field(BASE_BLOCK, "ASI"), 0},
                     {BASE_BLOCK, known_field(BASE_BLOCK, "TAS"), 0},
                     {SECTION_ID_GPS, known_field(SECTION_ID_GPS, "gs"), 0}});
  } else {
    chart("Altitude", {{BASE_BLOCK, known_field(BASE_BLOCK, "alt"), 0}});
    chart("Speeds", {{BASE_BLOCK, known_field(BASE_BLOCK, "ASI"), 0},
                     {BASE_BLOCK, known_field(BASE_BLOCK, "TAS"), 0}});
  }
  chart("Vertical speed", {{BASE_BLOCK, known_field(BASE_BLOCK, "VSI"), 0}});
  for (const int id : {SECTION_ID_TELM1, SECTION_ID_TELM2}) {
    if ((sections & section_flag(id)) == 0) continue;
    const std::string engine = concat({", ", engine_name(profile, id)});
    chart(concat({"RPM and MAP", engine}), {{id, known_field(SECTION_ID_TELM1, "RPM"), 0},
                                            {id, known_field(SECTION_ID_TELM1, "MAP"), 1}});
    // The cylinders' EGTs and CHTs as the profile names them, and the other thermocouples.
    const EngineSetup& setup = *profile.engine(id);
    temperatures(concat({"EGT", engine}), Scale::EGT, id, setup.egt, "EGT");
    temperatures(concat({"CHT", engine}), Scale::CHT, id, setup.cht, "CHT");
    std::vector<int> others;
    for (int tc = 1; tc <= THERMOCOUPLES; ++tc) {
      const auto named = [tc](const std::vector<int>& v) {
        return std::find(v.begin(), v.end(), tc) != v.end();
      };
      if (!named(setup.egt) && !named(setup.cht)) others.push_back(tc);
    }
    const bool cylinders = !setup.egt.empty() || !setup.cht.empty();
    temperatures(concat({cylinders ? "Other temperatures" : "Temperatures", engine}), Scale::OWN,
                 id, others, "");
    chart(concat({"Oil", engine}), {{id, known_field(SECTION_ID_TELM1, "o-t"), 0},
                                    {id, known_field(SECTION_ID_TELM1, "oil-p"), 1}});
    chart(concat({"Fuel", engine}), {{id, known_field(SECTION_ID_TELM1, "flow"), 0},
                                     {id, known_field(SECTION_ID_TELM1, "fl1"), 1},
                                     {id, known_field(SECTION_ID_TELM1, "fl2"), 1}});
  }
  chart("Electrical", {{BASE_BLOCK, known_field(BASE_BLOCK, "m-v"), 0},
                       {BASE_BLOCK, known_field(BASE_BLOCK, "b-v"), 0},
                       {BASE_BLOCK, known_field(BASE_BLOCK, "amps"), 1}});
  if ((sections & SECTION_ATTITUDE) != 0) {
    chart("Attitude", {{SECTION_ID_ATTITUDE, known_field(SECTION_ID_ATTITUDE, "bank"), 0},
                       {SECTION_ID_ATTITUDE, known_field(SECTION_ID_ATTITUDE, "ptch"), 0}});
  }
}

}  // namespace

std::string html_text(std::string_view text) {
  std::string out;
  while (!text.empty()) {
    const std::size_t n = utf8_length(text);
    if (n == 0) {
      out += "\uFFFD";
      text.remove_prefix(1);
      continue;
    }
    switch (text[0]) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out.append(text.substr(0, n));
    }
    text.remove_prefix(n);
  }
  return out;
}

ReportOutput::ReportOutput(OutBuffer& out, std::string log_name, SectionFlags sections,
                           std::uint64_t seconds, const Profile& profile, const TimeZone& zone)
    : out_(out),
      log_name_(std::move(log_name)),
      zone_(zone),
      profile_(profile),
      analysis_(sections, profile, FlightAnalysis::ALL | FlightAnalysis::CRUISE_SEGMENTS),
      findings_(analysis_.finds()),
      columns_(flight_columns(analysis_.figures(), findings_)),
      track_((sections & SECTION_GPS) != 0) {
  define_charts(sections, profile, charts_, lines_);
  max_buckets_ = kPointBudget / kPointsPerBucket / (lines_.size() + (track_ ? 1 : 0));
  // Buckets about as wide as the budget allows from the start, rather than narrow ones merged
  // again and again as the records come.
  width_ = static_cast<std::uint32_t>(
      std::clamp<std::uint64_t>(seconds / max_buckets_, 1, kMaxFirstWidth));
}

bool ReportOutput::begin_flight(const FlightFacts& facts) {
  if (flights_++ == 0) {
    first_time_ = facts.first_time;
    first_layout_ = facts.first_layout;
  }
  analysis_.start(facts);
  if (listed_.size() == MAX_LISTED_FLIGHTS) listed_.pop_front();
  listed_.push_back(analysis_.summary());
  if (drawings_.size() == MAX_CHARTED_FLIGHTS) {
    buckets_ -= drawings_.front().buckets;
    drawings_.pop_front();
  }
  drawings_.emplace_back();
  Drawing& d = drawings_.back();
  d.flight = facts.number;
  d.series.resize(lines_.size());
  clock_.reset(facts.first_time, width_);
  return true;
}

void ReportOutput::halve(Drawing& d) {
  for (Series& s : d.series) s.halve();
  d.track.halve();
  const std::size_t halved = (d.buckets + 1) / 2;
  buckets_ -= d.buckets - halved;
  d.buckets = halved;
}

void ReportOutput::take_findings() {
  analysis_.take_findings(found_);
  Drawing& d = drawings_.back();
  for (const Finding& f : found_) {
    if (d.findings.size() < MAX_SHOWN_FINDINGS) d.findings.push_back(f);
  }
  found_.clear();
}

bool ReportOutput::end_flight() {
  analysis_.finish();
  if (findings_) take_findings();
  take_cruise();
  listed_.back() = analysis_.summary();
  totals_.add(listed_.back());
  if (const std::int64_t n = listed_.back().findings; n > 0) count_ += {n, 1};
  return true;
}

void ReportOutput::take_cruise() {
  analysis_.take_cruise(segments_);
  Drawing& d = drawings_.back();
  for (const CruiseSegment& s : segments_) {
    if (d.cruise.size() < MAX_SHOWN_CRUISE) d.cruise.push_back({s.first_time, s.last_time});
  }
  segments_.clear();
}

bool ReportOutput::record(const RecordEvent& event) {
  const Record& rec = event.rec;
  analysis_.add(event);
  if (findings_) take_findings();
  take_cruise();
  Drawing& d = drawings_.back();
  if (event.phased) {
    const auto phase = static_cast<std::uint8_t>(event.phase);
    if (!d.phases.empty() &&
        (d.phases.back().phase == phase || d.phases.size() == MAX_PHASE_STRETCHES)) {
      d.phases.back().last = rec.timestamp;
    } else {
      d.phases.push_back({rec.timestamp, rec.timestamp, phase});
    }
  }
  bool pause = false;
  int halvings = 0;
  std::size_t bucket = clock_.tick(rec.timestamp, pause, halvings);
  for (; halvings > 0; --halvings) halve(d);
  if (bucket >= d.buckets) {
    buckets_ += bucket + 1 - d.buckets;
    d.buckets = bucket + 1;
    // Over the budget: every flight's buckets, and those to come, twice as wide.
    while (buckets_ > max_buckets_ && width_ < kMaxWidth) {
      for (Drawing& each : drawings_) halve(each);
      width_ *= 2;
      clock_.widen();
      bucket /= 2;
    }
  }
  const RecordView& view = event.view();
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const Line& line = lines_[i];
    if (const std::optional<double> v = read_value(view, line.column, line.decode)) {
      d.series[i].add(bucket, rec.timestamp,
                      line.calibration != nullptr ? line.calibration->apply(*v) : *v, pause);
    } else {
      d.series[i].lack();
    }
  }
  if (track_) {
    if (const std::optional<GpsFix>& fix = event.fix()) {
      d.track.add(bucket, fix->lat, fix->lon, pause);
    } else {
      d.track.lack();
    }
  }
  ++rows_;
  return true;
}

void ReportOutput::write_flight(const FlightSummary& l, const Drawing& d) {
  const std::string n = std::to_string(l.flight);
  std::string text = concat({"<section class=\"flight\" id=\"flight-", n,
                             "\">\n<h2><a href=\"#flight-", n, "\">Flight ", n, "</a></h2>\n",
                             "<p class=\"when\">", report_time(l.first_time, l.first_layout, zone_),
                             " to ", report_time(l.last_time, l.last_layout, zone_), "</p>\n"});
  // What the log lacks of it.
  if (l.partial_start) {
    append(text, {"<p class=\"partial\">",
                  l.airborne_at_start ? "begins in the air" : "begins with the engine running",
                  ": the older records were overwritten</p>\n"});
  }
  if (l.partial_end) {
    append(text, {"<p class=\"partial\">",
                  l.airborne_at_end ? "ends in the air" : "ends with the engine running",
                  ": the log ends before the flight did</p>\n"});
  }
  text += "<dl>";
  const std::vector<std::string> texts =
      flight_texts(columns_, l, profile_, TimeForm::READABLE, "-", zone_);
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    if (!on_card(columns_[i])) continue;
    append(text, {"<div><dt>", figure_label(columns_[i], profile_), "</dt><dd>",
                  html_text(texts[i]), "</dd></div>"});
  }
  text += cylinder_cards(l);
  text += "</dl>\n";
  text += cruise_cards(l);
  if (!d.phases.empty()) {
    // The key to the band of phases under every chart.
    text += "<p class=\"phases\">Phases:";
    for (std::size_t p = 0; p < PHASE_COUNT; ++p) {
      append(text, {" <span><i style=\"background:", PHASE_COLOURS[p], "\"></i>", PHASE_NAMES[p],
                    "</span>"});
    }
    text += " <span><i class=\"cruise\"></i>cruise segment</span></p>\n";
  }
  if (findings_) text += findings_table(l, d);
  text += "<div class=\"charts\">\n";
  const TimeAxis axis{l.first_time, l.last_time, l.first_layout >= FIRST_DATED_LAYOUT, zone_};
  // The EGT charts of both engines share one scale, and so do the CHT charts.
  std::optional<ValueRange> shared[3];
  for (const Chart& chart : charts_) {
    std::optional<ValueRange>& range = shared[static_cast<int>(chart.scale)];
    for (std::size_t i = chart.first_line; i < chart.first_line + chart.line_count; ++i) {
      const Series& s = d.series[i];
      if (chart.scale == Scale::OWN || s.empty()) continue;
      range = range ? ValueRange{std::min(range->low, s.min()), std::max(range->high, s.max())}
                    : ValueRange{s.min(), s.max()};
    }
  }
  for (std::size_t c = 0; c < charts_.size(); ++c) {
    const Chart& chart = charts_[c];
    std::vector<ChartLine> lines;
    for (std::size_t i = chart.first_line; i < chart.first_line + chart.line_count; ++i) {
      const Line& line = lines_[i];
      lines.push_back({html_text(line.name), line.axis, &d.series[i], html_text(line.unit),
                       line.min_limit, line.max_limit});
    }
    TimeMarks marks;
    marks.phases = &d.phases;
    marks.cruise = &d.cruise;
    for (const Finding& f : d.findings) {
      if (chart_of(f) == c) marks.findings.push_back({f.first_time, f.last_time});
    }
    std::string svg;
    const std::string id = concat({"f", n, "c", std::to_string(c)});
    write_line_chart(svg, id, html_text(concat({chart.title, ", flight ", n})), lines, axis,
                     shared[static_cast<int>(chart.scale)], marks);
    if (!svg.empty()) {
      text += concat({"<figure id=\"", id, "-chart\">\n<figcaption>", html_text(chart.title),
                      "</figcaption>\n", svg, "</figure>\n"});
    }
  }
  if (track_ && !d.track.empty()) {
    std::string svg;
    write_track_chart(svg, concat({"f", n, "track"}), concat({"GPS track, flight ", n}), d.track);
    append(text, {"<figure>\n<figcaption>GPS track</figcaption>\n", svg, "</figure>\n"});
  }
  text += "</div>\n</section>\n";
  out_.write(text);
}

std::optional<std::size_t> ReportOutput::chart_of(const Finding& f) const {
  for (std::size_t c = 0; c < charts_.size(); ++c) {
    const Chart& chart = charts_[c];
    for (std::size_t i = chart.first_line; i < chart.first_line + chart.line_count; ++i) {
      if (lines_[i].column == f.column) return c;
    }
  }
  return std::nullopt;
}

std::string ReportOutput::findings_table(const FlightSummary& l, const Drawing& d) const {
  if (l.findings == 0) return "<p class=\"none\">No findings</p>\n";
  const std::string n = std::to_string(l.flight);
  std::string text =
      concat({"<div class=\"scroll\"><table class=\"findings\">\n<caption>",
              std::to_string(l.findings), l.findings == 1 ? " finding" : " findings",
              "</caption>\n<tr><th>start</th><th>end</th><th>seconds</th><th>what</th><th>kind</th>"
              "<th>limit</th><th>peak</th></tr>\n"});
  for (const Finding& f : d.findings) {
    const std::string unit = finding_unit(f, profile_);
    const std::string with = unit.empty() ? "" : concat({" ", unit});
    const std::optional<std::size_t> chart = chart_of(f);
    std::string what = html_text(finding_label(f, profile_));
    if (chart) {
      what = concat({"<a href=\"#f", n, "c", std::to_string(*chart), "-chart\">", what, "</a>"});
    }
    append(text, {"<tr><td>", report_time(f.first_time, f.first_layout, zone_), "</td><td>",
                  report_time(f.last_time, f.last_layout, zone_), "</td><td>",
                  std::to_string(f.seconds()), "</td><td class=\"what\">", what, "</td><td>",
                  finding_kind(f.kind), "</td><td>", html_text(finding_limit(f) + with),
                  "</td><td>", html_text(finding_peak(f, profile_) + with), "</td></tr>\n"});
  }
  if (static_cast<std::size_t>(l.findings) > d.findings.size()) {
    append(text, {"<tr><td colspan=\"7\">and ",
                  std::to_string(l.findings - static_cast<std::int64_t>(d.findings.size())),
                  " more; KorvexLogDump --findings lists them all</td></tr>\n"});
  }
  text += "</table></div>\n";
  return text;
}

std::string ReportOutput::cruise_cards(const FlightSummary& l) const {
  std::string cards;
  for (const FlightColumn& c : columns_) {
    if (c.kind != FlightColumn::FIGURE) continue;
    const FigureTraits& f = FIGURES[c.figure];
    // The thermocouples follow, as the profile names their cylinders.
    const bool thermocouple =
        f.kind == FigureKind::CRUISE && f.column.field->label.starts_with("tc");
    if (!f.is_cruise() || thermocouple) continue;
    const std::optional<double>& v = l.figures[c.figure];
    if (!v) continue;
    std::string label = f.kind == FigureKind::CRUISE_SPREAD ? std::string("EGT spread")
                                                            : std::string(profile_.label(f.column));
    label = with_unit(std::move(label), figure_unit(c.figure, profile_));
    if (f.engine() >= 0) label += concat({", ", engine_name(profile_, f.column.block)});
    append(cards, {"<div><dt>", html_text(label), "</dt><dd>",
                   html_text(figure_text(c.figure, v, "-", profile_)), "</dd></div>"});
  }
  // Each engine's named cylinders, EGTs and CHTs, a card each.
  for (int n = 0; n < ENGINE_COUNT; ++n) {
    const int block = SECTION_ID_TELM1 + n;
    const EngineSetup& e = *profile_.engine(block);
    for (const auto& [tcs, what] : {std::pair{&e.egt, "EGT"}, std::pair{&e.cht, "CHT"}}) {
      std::string values, unit;
      for (const int tc : *tcs) {
        const ColumnRef column = thermocouple_column(block, tc);
        const FigureId id = find_figure(concat({"cruise_", column_name(block, *column.field)}));
        if (id == FIGURE_COUNT || !l.figures[id]) continue;
        append(values, {values.empty() ? "" : " ", figure_text(id, l.figures[id], "-", profile_)});
        unit = figure_unit(id, profile_);
      }
      if (values.empty()) continue;
      const std::string label =
          concat({with_unit(concat({what, " 1–", std::to_string(tcs->size())}), unit), ", ",
                  engine_name(profile_, block)});
      append(cards, {"<div class=\"wide\"><dt>", html_text(label), "</dt><dd>", html_text(values),
                     "</dd></div>"});
    }
  }
  if (cards.empty()) return {};
  std::string time;
  for (const FlightColumn& c : columns_) {
    if (c.kind == FlightColumn::FIGURE && FIGURES[c.figure].kind == FigureKind::PHASE_TIME &&
        FIGURES[c.figure].phase == Phase::CRUISE) {
      time = figure_text(c.figure, l.figures[c.figure], "-", profile_);
    }
  }
  return concat({"<h3>Cruise <span>medians over ", html_text(time),
                 "</span></h3>\n<dl class=\"cruise\">", cards, "</dl>\n"});
}

std::string ReportOutput::cylinder_cards(const FlightSummary& l) const {
  std::string text;
  for (int n = 0; n < ENGINE_COUNT; ++n) {
    const int block = SECTION_ID_TELM1 + n;
    const EngineSetup& setup = *profile_.engine(block);
    const CylinderValues& c = l.cylinders[n];
    const std::string engine = concat({", ", engine_name(profile_, block)});
    if (c.hottest_cht) {
      const std::size_t cylinder = static_cast<std::size_t>(c.hottest_cylinder - 1);
      const ColumnRef column = thermocouple_column(block, setup.cht[cylinder]);
      const ColumnSetup* named = profile_.setup(column);
      const std::string where = named != nullptr && !named->label.empty()
                                    ? named->label
                                    : concat({"cylinder ", std::to_string(c.hottest_cylinder)});
      append(text, {"<div><dt>",
                    html_text(concat({with_unit("hottest CHT", profile_.unit(column)), engine})),
                    "</dt><dd>", html_text(concat({figure_number(*c.hottest_cht), ", ", where})),
                    "</dd></div>"});
    }
    if (c.max_egt_spread) {
      const ColumnRef column = thermocouple_column(block, setup.egt.front());
      append(text, {"<div><dt>",
                    html_text(concat({with_unit("max EGT spread", profile_.unit(column)), engine})),
                    "</dt><dd>", figure_number(*c.max_egt_spread), "</dd></div>"});
    }
  }
  return text;
}

void ReportOutput::write_table() {
  if (listed_.empty()) return;
  out_.write("<section class=\"flights\">\n<h2>Flights</h2>\n");
  if (static_cast<std::size_t>(flights_) > listed_.size()) {
    out_.write(concat({"<p class=\"when\">The last ", std::to_string(listed_.size()), " of ",
                       std::to_string(flights_),
                       " flights; KorvexLogDump --flights lists them all.</p>\n"}));
  }
  out_.write("<div class=\"scroll\"><table>\n<tr>");
  for (const FlightColumn& c : columns_) {
    const std::string unit = c.kind == FlightColumn::FIGURE ? figure_unit(c.figure, profile_) : "";
    out_.write(concat({"<th>", html_text(with_unit(c.name, unit)), "</th>"}));
  }
  out_.write("</tr>\n");
  const std::int64_t first_charted = drawings_.empty() ? 0 : drawings_.front().flight;
  for (const FlightSummary& l : listed_) {
    const std::vector<std::string> texts =
        flight_texts(columns_, l, profile_, TimeForm::READABLE, "-", zone_);
    // A flight with findings is marked.
    out_.write(l.findings > 0 ? "<tr class=\"found\">" : "<tr>");
    for (std::size_t i = 0; i < texts.size(); ++i) {
      const std::string cell =
          i == 0 && l.flight >= first_charted
              ? concat({"<a href=\"#flight-", texts[0], "\">", texts[0], "</a>"})
              : html_text(texts[i]);
      out_.write(concat({"<td>", cell, "</td>"}));
    }
    out_.write("</tr>\n");
  }
  out_.write("</table></div>\n</section>\n");
}

bool ReportOutput::end() {
  const std::string name = html_text(log_name_);
  const std::string title = html_text(profile_.title);
  out_.write(concat(
      {"<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
       "<title>",
       title.empty() ? "" : concat({title, " · "}), "Flight report: ", name, "</title>\n", kStyle,
       "</head>\n<body>\n<header>\n<h1>", title.empty() ? concat({"Flight report: ", name}) : title,
       "</h1>\n<p>", title.empty() ? "" : concat({"Flight report: ", name, " · "})}));
  if (listed_.empty()) {
    out_.write("No records selected");
  } else {
    const FlightSummary& last = listed_.back();
    out_.write(concat({report_time(first_time_, first_layout_, zone_), " to ",
                       report_time(last.last_time, last.last_layout, zone_), " · ",
                       html_text(totals_text(totals_, profile_))}));
  }
  out_.write("</p>\n");
  if (static_cast<std::size_t>(flights_) > drawings_.size()) {
    out_.write(concat({"<p>Charts of the last ", std::to_string(drawings_.size()),
                       " flights; --flight, --from, --to or --split chart the others.</p>\n"}));
  }
  if (profile_.path.empty()) {
    out_.write(
        "<p class=\"note\">Values are shown as logged, without units. An aircraft profile names "
        "units, cylinders and limits: <code>KorvexLogDump --profile-template &gt; "
        "profile.toml</code>, edit it, and give <code>--profile profile.toml</code> (or keep it "
        "as <code>~/.config/korvexlogdump/profile.toml</code>).</p>\n");
  }
  out_.write("</header>\n<main>\n");
  write_table();
  const std::size_t skipped = listed_.size() - drawings_.size();
  for (std::size_t i = 0; i < drawings_.size(); ++i) {
    write_flight(listed_[skipped + i], drawings_[i]);
  }
  out_.write(concat(
      {"</main>\n<footer>Made by KorvexLogDump ", VERSION, "</footer>\n</body>\n</html>\n"}));
  return out_.flush();
}

std::unique_ptr<LogOutput> make_report(const OutputSetup& setup) {
  return std::make_unique<ReportOutput>(setup.out, std::string(setup.log_name),
                                        setup.columns.sections, setup.seconds, setup.profile,
                                        setup.zone);
}

void report_notes(const RunTotals& totals, Messages& messages) {
  // Each file of --split holds one flight.
  if (totals.split) return;
  const std::string flights = std::to_string(totals.flights);
  const auto count = static_cast<std::size_t>(totals.flights);
  if (count > MAX_CHARTED_FLIGHTS) {
    messages.say(concat({"The report charts the last ", std::to_string(MAX_CHARTED_FLIGHTS), " of ",
                         flights, " flights; --flight, --from, --to or --split chart others.\n"}));
  }
  if (count > MAX_LISTED_FLIGHTS) {
    messages.say(concat({"Its flights table lists the last ", std::to_string(MAX_LISTED_FLIGHTS),
                         " of ", flights, " flights; --flights lists them all.\n"}));
  }
}

}  // namespace korvex
