#include "output/track/kml_output.h"

#include <string>

#include "output/format/format.h"
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

bool KmlOutput::begin() {
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
  return out_.failed() == 0;
}

bool KmlOutput::begin_flight(const FlightFacts& facts) {
  flight_ = facts;
  return true;
}

bool KmlOutput::end_flight() {
  if (open_) {
    out_.write(single_point_ ? "</coordinates></Point>\n  </Placemark>\n"
                             : "      </coordinates>\n    </LineString>\n  </Placemark>\n");
  }
  open_ = false;
  return out_.failed() == 0;
}

bool KmlOutput::record(const RecordEvent& event) {
  const std::optional<TrackPoint> p = track_point(event, utc_offset_);
  if (!p) return true;
  if (!open_) {
    open_ = true;
    single_point_ = flight_.scanned && flight_.fixes == 1;
    out_.write("  <Placemark>\n    <name>Flight ");
    out_.write(std::to_string(flight_.number));
    out_.write("</name>\n");
    if (flight_.dated_fixes) {
      out_.write("    <TimeSpan><begin>");
      out_.write(utc_text(static_cast<std::int64_t>(flight_.first_fix_time) - utc_offset_));
      out_.write("</begin><end>");
      out_.write(utc_text(static_cast<std::int64_t>(flight_.last_fix_time) - utc_offset_));
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
  out_.write("</Document>\n</kml>\n");
  return out_.flush();
}

std::unique_ptr<LogOutput> make_kml(const OutputSetup& setup) {
  return std::make_unique<KmlOutput>(setup.out, setup.zone.offset);
}

}  // namespace korvex
