#include "output/track/kml_output.h"

#include <string>

#include "output/track/track_point.h"
#include "version.h"

namespace korvex {

namespace {

std::string utc_text(std::int64_t utc) {
  char text[32];
  UtcDateCache dates;
  const char* end = put_utc_time(text, utc, dates);
  return std::string(static_cast<const char*>(text), end);
}

}  // namespace

void KmlOutput::begin() {
  out_.write(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n"
      "<Document>\n"
      "  <name>KorvexLogDump ");
  out_.write(VERSION);
  out_.write(
      "</name>\n"
      "  <Style id=\"flight\"><LineStyle><color>ff0055ff</color><width>3</width></LineStyle>"
      "</Style>\n");
}

void KmlOutput::close_placemark() {
  if (open_flight_ == 0) return;
  out_.write(single_point_ ? "</coordinates></Point>\n  </Placemark>\n"
                           : "      </coordinates>\n    </LineString>\n  </Placemark>\n");
  open_flight_ = 0;
}

bool KmlOutput::record(const Record& rec, std::int64_t flight) {
  const std::optional<TrackPoint> p = track_point(rec, utc_offset_);
  if (!p) return true;
  if (flight != open_flight_) {
    close_placemark();
    open_flight_ = flight;
    const FlightSpan* span = scan_.span(flight);
    single_point_ = span != nullptr && span->fixes == 1;
    out_.write("  <Placemark>\n    <name>Flight ");
    out_.write(std::to_string(flight));
    out_.write("</name>\n");
    if (span != nullptr && span->dated_fixes) {
      out_.write("    <TimeSpan><begin>");
      out_.write(utc_text(static_cast<std::int64_t>(span->first_fix_time) - utc_offset_));
      out_.write("</begin><end>");
      out_.write(utc_text(static_cast<std::int64_t>(span->last_fix_time) - utc_offset_));
      out_.write("</end></TimeSpan>\n");
    }
    out_.write("    <styleUrl>#flight</styleUrl>\n");
    out_.write(single_point_ ? "    <Point><altitudeMode>absolute</altitudeMode><coordinates>"
                             : "    <LineString>\n      <altitudeMode>absolute</altitudeMode>\n"
                               "      <coordinates>\n");
    points_ = 0;
  }
  if (single_point_ && points_ > 0) return true;  // the scan saw one fix: keep to it
  ++points_;
  char* const start = out_.reserve(POINT_ROOM);
  char* d = put_coordinate(start, p->fix.lon);
  *d++ = ',';
  d = put_coordinate(d, p->fix.lat);
  *d++ = ',';
  d = put_metres(d, p->ele_feet);
  if (!single_point_) *d++ = '\n';
  out_.commit(static_cast<std::size_t>(d - start));
  ++rows_;
  return out_.failed() == 0;
}

bool KmlOutput::end() {
  close_placemark();
  out_.write("</Document>\n</kml>\n");
  return out_.flush();
}

}  // namespace korvex
