#include "output/track/gpx_output.h"

#include <string>

#include "output/cells/time_cell.h"
#include "output/track/track_point.h"
#include "version.h"

namespace korvex {

namespace {

char* put(char* d, std::string_view text) {
  std::memcpy(d, text.data(), text.size());
  return d + text.size();
}

// A time as the classic table shows it, without its quotes.
std::string plain_time(std::uint32_t timestamp, RecordLayout revision) {
  std::string text = time_text(timestamp, revision, false);
  if (text.size() >= 2 && text.front() == '"') text = text.substr(1, text.size() - 2);
  return text;
}

}  // namespace

void GpxOutput::begin() {
  out_.write(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<gpx version=\"1.1\" creator=\"KorvexLogDump ");
  out_.write(VERSION);
  out_.write(
      "\" xmlns=\"http://www.topografix.com/GPX/1/1\" "
      "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
      "xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 "
      "http://www.topografix.com/GPX/1/1/gpx.xsd\">\n");
}

void GpxOutput::close_track() {
  if (open_flight_ != 0) out_.write("    </trkseg>\n  </trk>\n");
  open_flight_ = 0;
}

bool GpxOutput::record(const Record& rec, std::int64_t flight) {
  const std::optional<TrackPoint> p = track_point(rec, utc_offset_);
  if (!p) return true;
  if (flight != open_flight_) {
    close_track();
    open_flight_ = flight;
    out_.write("  <trk>\n    <name>Flight ");
    out_.write(std::to_string(flight));
    out_.write("</name>\n");
    if (const FlightSpan* span = scan_.span(flight)) {
      out_.write("    <desc>");
      out_.write(plain_time(span->first_time, span->first_layout));
      out_.write(" to ");
      out_.write(plain_time(span->last_time, span->last_layout));
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
  close_track();
  out_.write("</gpx>\n");
  return out_.flush();
}

}  // namespace korvex
