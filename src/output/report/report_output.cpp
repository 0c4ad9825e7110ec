#include "output/report/report_output.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "chart_library.h"
#include "fields/blocks.h"
#include "io/concat.h"
#include "output/findings/finding_text.h"
#include "output/format/format.h"
#include "record/timestamp.h"
#include "version.h"

namespace korvex {

namespace {

// The values the page's charts draw, all flights together, a line's at a point each: about 13
// hours of records of the sample's aircraft (49 lines) at one a second. A bucket of a second is
// one point, a wider one two (its lowest and highest); in memory a bucket of a line takes 8
// bytes, and the page writes about 2.5 bytes a value (a difference to the value before), so
// that the page's tables have room beside them within MAX_PAGE_BYTES.
constexpr std::size_t kValueBudget = 2'400'000;
// Before the page drops the oldest flights' charts to keep to its size, their buckets are
// merged down to this many.
constexpr std::size_t kFewestBuckets = 128;

constexpr std::string_view kStyle = R"(<style>
:root{color-scheme:light}
body{margin:0;font:15px/1.45 system-ui,-apple-system,"Segoe UI",Roboto,Helvetica,Arial,sans-serif;color:#1d2733;background:#eef1f5}
header{background:#14324b;color:#fff;padding:22px 32px}
header h1{margin:0;font-size:26px;font-weight:600}
header p{margin:6px 0 0;color:#c5d3e0}
main{max-width:1180px;margin:0 auto;padding:8px 24px 32px}
section.flight{content-visibility:auto;contain-intrinsic-size:auto 4000px}
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
.charts{display:grid;grid-template-columns:1fr;gap:10px}
figure{margin:0;border:1px solid #e3e8ee;border-radius:8px;padding:8px 8px 2px}
figcaption{font-weight:600;font-size:14px;margin:0 0 2px 4px}
figure.chart{display:grid;grid-template-columns:minmax(0,1fr) 250px;grid-template-rows:auto 1fr;column-gap:8px}
figure.chart figcaption{grid-column:1/3}
.plot{min-width:0;min-height:230px}
.legend .u-legend{text-align:left;font-size:12px;font-variant-numeric:tabular-nums}
.legend .u-legend .u-series{display:table-row}
.legend .u-legend th{background:none;position:static;padding:1px 4px;font-weight:400;color:#3c4a57;text-align:left}
.legend .u-legend td{padding:1px 4px;border:none;text-align:right}
.legend .u-legend .u-marker{width:14px;height:3px;margin-right:5px}
.legend .u-legend tr:first-child th,.legend .u-legend tr:first-child td{font-weight:600}
.nojs figure.chart,.nojs .hint{display:none}
p.nojs{margin:0 0 12px;color:#8a5300;font-weight:600}
p.detail{margin:0 0 8px;font-size:12px;color:#51606f}
svg{display:block;width:100%;height:auto}
svg text{font-size:12px;fill:#3c4a57}
svg .k{font-size:13px;fill:#1d2733}
svg .t{fill:#5b6b7b}
.g{stroke:#e8ecf1;fill:none}
.a{stroke:#8a97a5;fill:none}
.l{fill:none;stroke-width:1.7;stroke-linejoin:round;stroke-linecap:round}
tr.found td{background:#fdecea}
tr.found td:first-child{box-shadow:inset 4px 0 #d62728}
table.findings{margin:0 0 14px}
table.findings caption{text-align:left;font-weight:600;color:#b3261e;padding:0 0 6px}
table.findings td.what{text-align:left}
p.none{margin:0 0 12px;color:#2e7d32;font-weight:600}
p.partial{margin:0 0 12px;color:#8a5300;font-weight:600}
h3{margin:4px 0 6px;font-size:15px}h3 span{font-weight:400;color:#51606f}
dl.cruise div{background:#eaf5ec}dl div.wide{grid-column:span 2}
p.phases{margin:0 0 10px;font-size:12px;color:#51606f}p.phases span{margin-right:8px;white-space:nowrap}
p.phases i{display:inline-block;width:12px;height:8px;margin-right:3px;border-radius:2px}
p.phases i.cruise{background:#43a047;opacity:.3}
header p.note{font-size:13px;max-width:900px}
code{font-family:ui-monospace,Menlo,Consolas,monospace;font-size:12px}
footer{color:#6b7a89;font-size:13px;text-align:center;padding:8px}
@media print{body{background:#fff;zoom:.75}header{background:none;color:#000}header p{color:#333}
section{box-shadow:none;border:1px solid #ccc}section.flight+section.flight{break-before:page}
figure{break-inside:avoid}.charts{display:block}figure{margin:0 0 10px}.hint{display:none}
figure.chart{grid-template-columns:minmax(0,1fr) 190px}
dl{grid-template-columns:repeat(auto-fill,minmax(100px,1fr));gap:4px;margin:0 0 8px}
dl div{padding:2px 6px}dt{font-size:9px}dd{font-size:13px}dl div.wide{grid-column:span 3}
table{font-size:10px}th,td{padding:2px 5px}
.plot .uplot,.plot .u-wrap{width:auto!important;height:auto!important}
.plot canvas{width:100%!important;height:auto!important;position:static!important}
.plot .u-over,.plot .u-under,.plot .u-cursor-x,.plot .u-cursor-pt{display:none!important}}
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

// What the page adds to the timestamps of a flight from `start` for its clock: seconds from 1970
// (as the browser counts them), on the clock shown (UTC with --utc); raw times count from the
// flight's start.
std::int64_t page_shift(std::uint32_t start, RecordLayout layout, const TimeZone& zone) {
  if (layout < FIRST_DATED_LAYOUT) return -std::int64_t{start};
  const std::int64_t epoch = std::chrono::sys_seconds(LOG_EPOCH).time_since_epoch().count();
  return std::int64_t{zone.shown(start, layout)} - start + epoch;
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
                           const Profile& profile, const TimeZone& zone)
    : out_(out),
      log_name_(std::move(log_name)),
      zone_(zone),
      profile_(profile),
      analysis_(sections, profile, FlightAnalysis::ALL | FlightAnalysis::CRUISE_SEGMENTS),
      findings_(analysis_.finds()),
      columns_(flight_columns(analysis_.figures(), findings_)),
      track_((sections & SECTION_GPS) != 0) {
  define_charts(sections, profile, charts_, lines_);
  for (const Line& line : lines_) {
    decimals_.push_back(profile.decimals(line.column));
    scales_.push_back(FlightSamples::scale_of(decimals_.back()));
  }
}

bool ReportOutput::begin_flight(const FlightFacts& facts) {
  if (flights_++ == 0) {
    first_time_ = facts.first_time;
    first_layout_ = facts.first_layout;
    dated_ = facts.first_layout >= FIRST_DATED_LAYOUT;
  }
  analysis_.start(facts);
  if (listed_.size() == MAX_LISTED_FLIGHTS) listed_.pop_front();
  listed_.push_back(analysis_.summary());
  if (drawings_.size() == MAX_CHARTED_FLIGHTS) {
    values_ -= cost(drawings_.front().samples);
    drawings_.pop_front();
  }
  drawings_.emplace_back(facts.number, facts.first_time, decimals_);
  drawings_.back().layout = facts.first_layout;
  return true;
}

std::size_t ReportOutput::cost(const FlightSamples& samples) const {
  return samples.buckets() * lines_.size() * (samples.width() == 1 ? 1 : 2);
}

void ReportOutput::halve_largest() {
  if (drawings_.empty()) return;
  auto largest = drawings_.begin();
  for (auto d = drawings_.begin(); d != drawings_.end(); ++d) {
    if (cost(d->samples) > cost(largest->samples)) largest = d;
  }
  FlightSamples& samples = largest->samples;
  const std::size_t before = cost(samples);
  if (samples.buckets() <= 1) return;
  // Buckets of one second are a point each, wider ones two: from one second to four.
  if (samples.width() == 1) samples.halve();
  samples.halve();
  values_ -= before - cost(samples);
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
  const bool pause = d.ticked && rec.timestamp - d.last_time > BREAK_SECONDS;
  d.ticked = true;
  d.last_time = rec.timestamp;
  const std::size_t before = cost(d.samples);
  d.samples.tick(rec.timestamp);
  values_ += cost(d.samples) - before;
  // Over the budget: the flight of the most points has its buckets merged (this one, or
  // another).
  while (values_ > kValueBudget && values_ > lines_.size()) {
    const std::size_t kept = values_;
    halve_largest();
    if (values_ == kept) break;
  }
  const RecordView& view = event.view();
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const Line& line = lines_[i];
    if (const std::optional<double> v = read_value(view, line.column, line.decode)) {
      d.samples.add(
          i, FlightSamples::scaled(line.calibration != nullptr ? line.calibration->apply(*v) : *v,
                                   scales_[i]));
    }
  }
  if (track_) {
    if (const std::optional<GpsFix>& fix = event.fix()) {
      d.track.add(rec.timestamp, fix->lat, fix->lon, pause);
    } else {
      d.track.lack();
    }
  }
  ++rows_;
  return true;
}

std::string ReportOutput::flight_section(const FlightSummary& l, const Drawing& d) const {
  const std::string n = std::to_string(l.flight);
  std::string text = concat({"<section class=\"flight\" id=\"flight-", n, "\" data-flight=\"", n,
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
  // How much of the flight its charts show.
  const std::uint32_t width = d.samples.width();
  text += width == 1
              ? "<p class=\"detail\">The charts show every record.</p>\n"
              : concat({"<p class=\"detail\">The charts show the lowest and the highest value "
                        "of every ",
                        std::to_string(width),
                        " seconds (the report's budget); the flight alone (--flight ", n,
                        ") is charted in more detail.</p>\n"});
  text +=
      concat({"<p class=\"detail hint\">Point at a chart to read every value at that second; "
              "drag across one to zoom all the flight's charts, double-click to return; a "
              "finding's link zooms to it.</p>\n"
              "<noscript><p class=\"nojs\">The charts need JavaScript: allow it for this "
              "page to see them.</p></noscript>\n<div class=\"charts\">\n"});
  for (std::size_t c = 0; c < charts_.size(); ++c) {
    const Chart& chart = charts_[c];
    bool any = false;
    for (std::size_t i = chart.first_line; i < chart.first_line + chart.line_count; ++i) {
      any = any || d.samples.has(i);
    }
    if (!any) continue;
    const std::string id = concat({"f", n, "c", std::to_string(c)});
    append(text,
           {"<figure class=\"chart\" id=\"", id, "-chart\" data-chart=\"", std::to_string(c),
            "\">\n<figcaption>", html_text(chart.title),
            "</figcaption>\n<div class=\"plot\"></div><div class=\"legend\"></div></figure>\n"});
  }
  if (track_ && !d.track.empty()) {
    std::string svg;
    write_track_chart(svg, concat({"f", n, "track"}), concat({"GPS track, flight ", n}), d.track);
    append(text, {"<figure>\n<figcaption>GPS track</figcaption>\n", svg, "</figure>\n"});
  }
  text += "</div>\n";
  return text;
}

std::string ReportOutput::flight_data(const Drawing& d) const {
  const std::string n = std::to_string(d.flight);
  // The times of its stretches on the clock of its samples' (that the page shows).
  const std::uint32_t start = d.samples.start();
  const std::int64_t shift = page_shift(start, d.layout, zone_);
  const auto at = [&](std::uint32_t t) { return std::to_string(std::int64_t{t} + shift); };
  std::string text = d.samples.json(shift);
  text.pop_back();  // the closing brace
  text += ",\"findings\":[";
  bool first = true;
  for (const Finding& f : d.findings) {
    const std::optional<std::size_t> chart = chart_of(f);
    if (!chart) continue;
    append(text, {first ? "[" : ",[", at(f.first_time), ",", at(f.last_time), ",",
                  std::to_string(*chart), "]"});
    first = false;
  }
  text += "],\"phases\":[";
  for (std::size_t i = 0; i < d.phases.size(); ++i) {
    const PhaseStretch& p = d.phases[i];
    append(text,
           {i == 0 ? "[" : ",[", at(p.first), ",", at(p.last), ",", std::to_string(p.phase), "]"});
  }
  text += "],\"cruise\":[";
  for (std::size_t i = 0; i < d.cruise.size(); ++i) {
    append(text, {i == 0 ? "[" : ",[", at(d.cruise[i].first), ",", at(d.cruise[i].last), "]"});
  }
  text += "]}";
  return concat({"<script type=\"application/json\" id=\"f", n, "-data\">", text, "</script>\n"});
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
      // A click zooms the flight's charts to the finding's stretch (on the clock they show).
      const std::int64_t shift = page_shift(d.samples.start(), d.layout, zone_);
      what = concat({"<a href=\"#f", n, "c", std::to_string(*chart), "-chart\" data-first=\"",
                     std::to_string(f.first_time + shift), "\" data-last=\"",
                     std::to_string(f.last_time + shift), "\">", what, "</a>"});
    }
    append(text, {"<tr><td>", report_time(f.first_time, f.first_layout, zone_), "</td><td>",
                  report_time(f.last_time, f.last_layout, zone_), "</td><td>",
                  std::to_string(f.seconds()), "</td><td class=\"what\">", what, "</td><td>",
                  finding_kind(f.kind), "</td><td>", html_text(finding_limit(f, profile_) + with),
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

std::string ReportOutput::flights_table(std::int64_t first_charted) const {
  std::string text;
  if (listed_.empty()) return text;
  text.append("<section class=\"flights\">\n<h2>Flights</h2>\n");
  if (static_cast<std::size_t>(flights_) > listed_.size()) {
    text.append(concat({"<p class=\"when\">The last ", std::to_string(listed_.size()), " of ",
                        std::to_string(flights_),
                        " flights; KorvexLogDump --flights lists them all.</p>\n"}));
  }
  text.append("<div class=\"scroll\"><table>\n<tr>");
  // The columns of --flights but the thermocouples' maxima and the cruise figures, which each
  // flight's cards give: a table of a hundred columns is slow to lay out and hard to read.
  std::vector<bool> shown(columns_.size());
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    const FlightColumn& c = columns_[i];
    const FigureTraits* f = c.kind == FlightColumn::FIGURE ? &FIGURES[c.figure] : nullptr;
    shown[i] =
        f == nullptr || (!f->is_cruise() && (f->on_card || f->kind == FigureKind::PHASE_TIME));
    if (!shown[i]) continue;
    const std::string unit = c.kind == FlightColumn::FIGURE ? figure_unit(c.figure, profile_) : "";
    text.append(concat({"<th>", html_text(with_unit(c.name, unit)), "</th>"}));
  }
  text.append("</tr>\n");
  for (const FlightSummary& l : listed_) {
    const std::vector<std::string> texts =
        flight_texts(columns_, l, profile_, TimeForm::READABLE, "-", zone_);
    // A flight with findings is marked.
    text.append(l.findings > 0 ? "<tr class=\"found\">" : "<tr>");
    for (std::size_t i = 0; i < texts.size(); ++i) {
      if (!shown[i]) continue;
      const std::string cell =
          i == 0 && l.flight >= first_charted
              ? concat({"<a href=\"#flight-", texts[0], "\">", texts[0], "</a>"})
              : html_text(texts[i]);
      text.append(concat({"<td>", cell, "</td>"}));
    }
    text.append("</tr>\n");
  }
  text.append("</table></div>\n</section>\n");
  return text;
}

bool ReportOutput::end() {
  // The flights' sections and their data, merged further or left out where the page would be
  // over its size.
  const std::size_t skipped = listed_.size() - drawings_.size();
  std::vector<std::string> sections(drawings_.size()), data(drawings_.size());
  std::size_t total = 0;
  for (std::size_t i = 0; i < drawings_.size(); ++i) {
    sections[i] = flight_section(listed_[skipped + i], drawings_[i]);
    data[i] = flight_data(drawings_[i]);
    total += sections[i].size() + data[i].size();
  }
  const std::string definitions = chart_definitions();
  const std::size_t fixed = kStyle.size() + CHART_LIBRARY_CSS.size() + CHART_LIBRARY_JS.size() +
                            REPORT_SCRIPT.size() + definitions.size() +
                            flights_table(drawings_.empty() ? 0 : drawings_.front().flight).size();
  // Room for the heading and the footer.
  constexpr std::size_t kHeading = 4096;
  std::size_t first = 0;  // the first flight charted
  while (first < drawings_.size() && fixed + kHeading + total > MAX_PAGE_BYTES) {
    std::size_t largest = first;
    for (std::size_t i = first; i < drawings_.size(); ++i) {
      if (data[i].size() > data[largest].size()) largest = i;
    }
    Drawing& d = drawings_[largest];
    if (d.samples.buckets() > kFewestBuckets) {
      total -= sections[largest].size() + data[largest].size();
      d.samples.halve();
      sections[largest] = flight_section(listed_[skipped + largest], d);
      data[largest] = flight_data(d);
      total += sections[largest].size() + data[largest].size();
    } else {
      total -= sections[first].size() + data[first].size();
      ++first;
    }
  }
  const std::size_t charted = drawings_.size() - first;

  const std::string name = html_text(log_name_);
  // The aircraft's registration, then the profile's title.
  std::string title = html_text(profile_.aircraft.registration);
  if (!profile_.title.empty()) {
    title = concat({title, title.empty() ? "" : " · ", html_text(profile_.title)});
  }
  out_.write(concat(
      {"<!DOCTYPE html>\n<html lang=\"en\" class=\"nojs\">\n<head>\n<meta charset=\"utf-8\">\n"
       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
       "<title>",
       title.empty() ? "" : concat({title, " · "}), "Flight report: ", name, "</title>\n", kStyle,
       "<style>", CHART_LIBRARY_CSS,
       "</style>\n<script>document.documentElement.className = \"js\";</script>\n"
       "</head>\n<body>\n<header>\n<h1>",
       title.empty() ? concat({"Flight report: ", name}) : title, "</h1>\n<p>",
       title.empty() ? "" : concat({"Flight report: ", name, " · "})}));
  if (listed_.empty()) {
    out_.write("No records selected");
  } else {
    const FlightSummary& last = listed_.back();
    out_.write(concat({report_time(first_time_, first_layout_, zone_), " to ",
                       report_time(last.last_time, last.last_layout, zone_), " · ",
                       html_text(totals_text(totals_, profile_))}));
  }
  out_.write("</p>\n");
  if (static_cast<std::size_t>(flights_) > charted) {
    out_.write(concat({"<p>Charts of the last ", std::to_string(charted),
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
  out_.write(flights_table(charted > 0 ? drawings_[first].flight : flights_ + 1));
  for (std::size_t i = first; i < drawings_.size(); ++i) {
    out_.write(sections[i]);
    out_.write(data[i]);
    out_.write("</section>\n");
  }
  out_.write(concat({"</main>\n<footer>Made by KorvexLogDump ", VERSION, "</footer>\n"}));
  // What draws the charts, where there are any.
  if (charted > 0) {
    out_.write(concat({definitions, "<script>", CHART_LIBRARY_JS, "</script>\n<script>",
                       REPORT_SCRIPT, "</script>\n"}));
  }
  out_.write("</body>\n</html>\n");
  return out_.flush();
}

std::string ReportOutput::chart_definitions() const {
  std::string text = concat({"<script type=\"application/json\" id=\"korvex-charts\">{\"dated\":",
                             dated_ ? "true" : "false", ",\"utc\":", zone_.utc ? "true" : "false",
                             ",\"phaseColours\":["});
  for (std::size_t p = 0; p < PHASE_COUNT; ++p) {
    append(text, {p == 0 ? "" : ",", json_string(PHASE_COLOURS[p])});
  }
  text += "],\"lines\":[";
  const auto limit = [](const std::optional<double>& v) {
    return v ? json_number(*v) : std::string("null");
  };
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const Line& l = lines_[i];
    append(text, {i == 0 ? "{" : ",{", "\"name\":", json_string(l.name),
                  ",\"column\":", json_string(column_name(l.column.block, *l.column.field)),
                  ",\"unit\":", json_string(l.unit), ",\"axis\":", std::to_string(l.axis),
                  ",\"min\":", limit(l.min_limit), ",\"max\":", limit(l.max_limit), "}"});
  }
  text += "],\"charts\":[";
  for (std::size_t c = 0; c < charts_.size(); ++c) {
    const Chart& chart = charts_[c];
    append(text, {c == 0 ? "{" : ",{", "\"title\":", json_string(chart.title),
                  ",\"scale\":", std::to_string(static_cast<int>(chart.scale)), ",\"lines\":["});
    for (std::size_t i = 0; i < chart.line_count; ++i) {
      append(text, {i == 0 ? "" : ",", std::to_string(chart.first_line + i)});
    }
    text += "]}";
  }
  text += "]}</script>\n";
  return text;
}

std::unique_ptr<LogOutput> make_report(const OutputSetup& setup) {
  return std::make_unique<ReportOutput>(setup.out, std::string(setup.log_name),
                                        setup.columns.sections, setup.profile, setup.zone);
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
