#include "output/track/gpx_output.h"

#include <string>

#include "output/cells/time_cell.h"
#include "output/format/format.h"
#include "output/track/track_point.h"
#include "version.h"

namespace korvex {

namespace {

char* put(char* d, std::string_view text) {
  std::memcpy(d, text.data(), text.size());
  return d + text.size();
}

}  // namespace

bool GpxOutput::begin() {
  out_.write(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<gpx version=\"1.1\" creator=\"KorvexLogDump ");
  out_.write(VERSION);
  out_.write(
      "\" xmlns=\"http://www.topografix.com/GPX/1/1\" "
      "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
      "xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 "
      "http://www.topografix.com/GPX/1/1/gpx.xsd\">\n");
  return out_.failed() == 0;
}

bool GpxOutput::begin_flight(const FlightFacts& facts) {
  flight_ = facts;
  return true;
}

bool GpxOutput::end_flight() {
  if (open_) out_.write("    </trkseg>\n  </trk>\n");
  open_ = false;
  return out_.failed() == 0;
}

bool GpxOutput::record(const RecordEvent& event) {
  const std::optional<TrackPoint> p = track_point(event, utc_offset_);
  if (!p) return true;
  if (!open_) {
    open_ = true;
    out_.write("  <trk>\n    <name>Flight ");
    out_.write(std::to_string(flight_.number));
    out_.write("</name>\n");
    if (flight_.scanned) {
      out_.write("    <desc>");
      out_.write(time_text(flight_.first_time, flight_.first_layout, TimeForm::PLAIN));
      out_.write(" to ");
      out_.write(time_text(flight_.last_time, flight_.last_layout, TimeForm::PLAIN));
      out_.write("</desc>\n");
    }
    out_.write("    <trkseg>\n");
  }
  char* const start = out_.reserve(POINT_ROOM);
  char* d = put(start, "      <trkpt lat=\"");
  d = put_coordinate(d, p->fix.lat);
  d = put(d, "\" lon=\"");
  d = put_coordinate(d, p->fix.lon);
  d = put(d, "\"><ele>");
  d = put_metres(d, p->ele_feet);
  d = put(d, "</ele>");
  if (p->utc) {
    d = put(d, "<time>");
    d = put_utc_time(d, *p->utc, dates_);
    d = put(d, "</time>");
  }
  if (p->sats >= 0) {
    d = put(d, "<sat>");
    d = cell::unsigned_cell(d, static_cast<std::uint64_t>(p->sats), DELIM_SPACE, 0);
    d = put(d, "</sat>");
  }
  d = put(d, "</trkpt>\n");
  out_.commit(static_cast<std::size_t>(d - start));
  ++rows_;
  return out_.failed() == 0;
}

bool GpxOutput::end() {
  out_.write("</gpx>\n");
  return out_.flush();
}

std::unique_ptr<LogOutput> make_gpx(const OutputSetup& setup) {
  return std::make_unique<GpxOutput>(setup.out, setup.zone.offset);
}

}  // namespace korvex
