#include "support/log_builder.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>

#include "cli/convert.h"
#include "record/framing.h"

namespace korvex::test {

RecordFields sample_fields(std::uint32_t timestamp, SectionFlags sections) {
  const auto k = static_cast<int>(timestamp % 1000);
  RecordFields f;
  f.timestamp = timestamp;
  f.base = {
      1000 + k, 2992, static_cast<std::int16_t>(90 + k % 10), 98, -120, 12, 0x8005, 141, 127, -35,
      4,        -7};
  if (sections & (SECTION_TELM1 | SECTION_TELM2)) {
    TelmFields t;
    t.rpm = static_cast<std::uint16_t>(2400 + k);
    t.rfl1 = 11;
    t.rfl2 = 12;
    t.ch1 = 21;
    t.ch2 = 22;
    t.flow = 1025;
    t.map = 245;
    t.fl1 = 31;
    t.fl2 = 32;
    t.flc = 187;
    t.oil_t = 185;
    t.oil_p = 652;
    t.carb = -3;
    t.fuel_p = 52;
    t.h2o = 7;
    for (int i = 0; i < 12; ++i) t.tc[i] = static_cast<std::uint16_t>(1301 + i);
    t.rch1 = 41;
    t.rch2 = 42;
    t.rot = 43;
    t.rop = 44;
    t.ref = 45;
    t.fail = 46;
    t.spare = 47;
    if (sections & SECTION_TELM1) f.telm1 = t;
    t.rpm = static_cast<std::uint16_t>(t.rpm + 100);
    if (sections & SECTION_TELM2) f.telm2 = t;
  }
  if (sections & SECTION_ATTITUDE) {
    f.attitude = AttitudeFields{-15, 4, 1, 271, 2, 11, 5, 12};
  }
  if (sections & SECTION_GPS) {
    f.gps = GpsFields{47.5f, 122.25f, 268, 112, 1490 + k, 3, 9, 4, 6};
  }
  return f;
}

RecordFields split_fields(std::uint32_t timestamp, int pairs) {
  RecordFields f = sample_fields(timestamp, 0);
  f.base.alt = 0x0055AA00;  // bytes 00 AA 55 00
  if (pairs >= 2) f.base.baro = 0x55AA;
  if (pairs >= 3) f.base.asi = 0x55AA;
  if (pairs >= 4) f.base.tas = 0x55AA;
  return f;
}

LogBuilder& LogBuilder::record(RecordLayout layout, std::uint32_t timestamp,
                               SectionFlags sections) {
  return record(layout, sample_fields(timestamp, sections));
}

LogBuilder& LogBuilder::record(RecordLayout layout, const RecordFields& fields) {
  append_record(bytes, fields, layout);
  return *this;
}

LogBuilder& LogBuilder::records(RecordLayout layout, std::initializer_list<std::uint32_t> stamps,
                                SectionFlags sections) {
  for (std::uint32_t t : stamps) record(layout, t, sections);
  return *this;
}

LogBuilder& LogBuilder::marker() {
  return raw({MARKER_FIRST, MARKER_SECOND});
}

LogBuilder& LogBuilder::raw(std::initializer_list<std::uint8_t> data) {
  bytes.insert(bytes.end(), data);
  return *this;
}

LogBuilder& LogBuilder::raw(const Bytes& data) {
  bytes.insert(bytes.end(), data.begin(), data.end());
  return *this;
}

LogBuilder& LogBuilder::fill(std::size_t count, std::uint8_t value) {
  bytes.insert(bytes.end(), count, value);
  return *this;
}

Bytes record_body(RecordLayout layout, const RecordFields& fields) {
  Bytes body(MAX_RECORD_BODY);
  body.resize(encode_record(fields, layout, body.data()));
  return body;
}

Conversion convert(const Bytes& log, DelimiterMode mode) {
  constexpr std::string_view kClassic[] = {"tab", "comma", "space"};
  Options options;
  options.format = find_format(kClassic[mode]);
  options.classic = true;  // the classic command line: FORMAT LOGFILE
  return convert(log, options);
}

Conversion convert(const Bytes& log, std::string_view format) {
  Options options;
  options.format = find_format(format);
  return convert(log, options);
}

Conversion convert(const Bytes& log, const Options& options) {
  Conversion c;
  MessageCapture err;
  MemoryStream in(log);
  OutBuffer out(&c.out);
  c.status = convert_log(in.stream, out, options, err.messages);
  out.flush();
  c.err = err.str();
  return c;
}

Conversion convert(const std::vector<Bytes>& logs, const Options& options) {
  Conversion c;
  MessageCapture err;
  std::vector<std::unique_ptr<MemoryStream>> streams;
  std::vector<ByteStream*> ins;
  for (const Bytes& log : logs) {
    streams.push_back(std::make_unique<MemoryStream>(log));
    ins.push_back(&streams.back()->stream);
  }
  OutBuffer out(&c.out);
  c.status = convert_logs(ins, out, options, err.messages);
  out.flush();
  c.err = err.str();
  return c;
}

std::string write_temp_file(const std::string& name, const Bytes& bytes) {
  const auto dir = std::filesystem::temp_directory_path() / "korvex-tests";
  std::filesystem::create_directories(dir);
  const std::string path = (dir / name).string();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) throw std::runtime_error("cannot create " + path);
  const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (std::fclose(f) != 0 || !ok) throw std::runtime_error("cannot write " + path);
  return path;
}

}  // namespace korvex::test
