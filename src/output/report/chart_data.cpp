#include "output/report/chart_data.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace korvex {

FlightSamples::FlightSamples(std::uint32_t start, std::vector<int> decimals)
    : start_(start), decimals_(std::move(decimals)), lines_(decimals_.size()) {}

void FlightSamples::tick(std::uint32_t time) {
  const bool pause = ticked_ && time - last_ > BREAK_SECONDS;
  ticked_ = true;
  last_ = time;
  const std::size_t bucket = (time - start_) / width_;
  if (bucket >= flags_.size()) {
    flags_.resize(bucket + 1, 0);
    for (std::vector<Extremes>& line : lines_) line.resize(bucket + 1);
  }
  // A pause before the bucket's first record; within a bucket, where a merge put it, the page
  // shows it before the bucket.
  if (pause) flags_[bucket] |= PAUSE;
  flags_[bucket] |= HAS;
  current_ = bucket;
}

std::int32_t FlightSamples::scaled(double value, int decimals) {
  // Up to the four decimals a calibrated value has at most.
  constexpr double kScale[] = {1, 10, 100, 1000, 10000};
  const double v = std::round(value * kScale[std::clamp(decimals, 0, 4)]);
  // The least value is NONE, kept for "no value".
  constexpr double kLow = -2147483647.0, kHigh = 2147483647.0;
  if (!(v > kLow)) return v != v ? 0 : static_cast<std::int32_t>(kLow);
  return v < kHigh ? static_cast<std::int32_t>(v) : static_cast<std::int32_t>(kHigh);
}

void FlightSamples::halve() {
  const std::size_t halved = (flags_.size() + 1) / 2;
  for (std::size_t i = 0; i < halved; ++i) {
    const std::uint8_t b = 2 * i + 1 < flags_.size() ? flags_[2 * i + 1] : 0;
    flags_[i] = flags_[2 * i] | b;
  }
  flags_.resize(halved);
  for (std::vector<Extremes>& line : lines_) {
    for (std::size_t i = 0; i < halved; ++i) {
      // The four values of the two buckets in time order; the lowest and the highest of them
      // (the earliest of equal ones) stay, in their order.
      std::int32_t v[4];
      int n = 0;
      for (std::size_t j = 2 * i; j < 2 * i + 2 && j < line.size(); ++j) {
        if (line[j].first == NONE) continue;
        v[n++] = line[j].first;
        v[n++] = line[j].second;
      }
      if (n == 0) {
        line[i] = {};
        continue;
      }
      int low = 0, high = 0;
      for (int k = 1; k < n; ++k) {
        if (v[k] < v[low]) low = k;
        if (v[k] > v[high]) high = k;
      }
      line[i] = low < high ? Extremes{v[low], v[high]} : Extremes{v[high], v[low]};
    }
    line.resize(halved);
  }
  width_ *= 2;
  current_ /= 2;
}

bool FlightSamples::has(std::size_t line) const {
  for (const Extremes& e : lines_[line]) {
    if (e.first != NONE) return true;
  }
  return false;
}

bool FlightSamples::range(std::size_t line, std::int32_t& low, std::int32_t& high) const {
  bool any = false;
  for (const Extremes& e : lines_[line]) {
    if (e.first == NONE) continue;
    const std::int32_t a = std::min(e.first, e.second), b = std::max(e.first, e.second);
    low = any ? std::min(low, a) : a;
    high = any ? std::max(high, b) : b;
    any = true;
  }
  return any;
}

namespace {

void put_number(std::string& out, std::int64_t v) {
  char text[24];
  out.append(text, std::to_chars(text, text + sizeof text, v).ptr);
}

}  // namespace

std::string FlightSamples::json(std::int64_t shift) const {
  // Which buckets are two points: any of whose lines has two different values.
  std::vector<bool> two(flags_.size(), false);
  for (const std::vector<Extremes>& line : lines_) {
    for (std::size_t b = 0; b < line.size(); ++b) {
      if (line[b].first != line[b].second) two[b] = true;
    }
  }
  // Times in half seconds, so that a bucket of one second holds two points too.
  std::string out = "{\"x0\":";
  put_number(out, std::int64_t{start_} + shift);
  out += ",\"w\":";
  put_number(out, width_);
  out += ",\"x\":[";
  std::int64_t last = 0;  // in half seconds from the start
  bool first = true;
  auto point = [&](std::int64_t at) {
    if (!first) out += ',';
    first = false;
    const std::int64_t d = at - last;
    put_number(out, d / 2);
    if (d % 2 != 0) out += ".5";
    last = at;
  };
  bool any = false;
  for (std::size_t b = 0; b < flags_.size(); ++b) {
    if ((flags_[b] & HAS) == 0) continue;
    const std::int64_t at = 2 * static_cast<std::int64_t>(b) * width_;
    if ((flags_[b] & PAUSE) != 0 && any) point(std::max(last + 1, at - 1));  // the gap
    point(at);
    if (two[b]) point(at + width_);
    any = true;
  }
  out += "],\"y\":[";
  for (std::size_t l = 0; l < lines_.size(); ++l) {
    if (l > 0) out += ',';
    if (!has(l)) {
      out += "null";
      continue;
    }
    const std::vector<Extremes>& line = lines_[l];
    out += '[';
    put_number(out, decimals_[l]);
    std::int64_t previous = 0;
    bool started = false;
    auto value = [&](std::int32_t v) {
      out += ',';
      if (v == NONE) {
        out += "null";
        return;
      }
      put_number(out, started ? std::int64_t{v} - previous : v);
      previous = v;
      started = true;
    };
    bool seen = false;
    for (std::size_t b = 0; b < flags_.size(); ++b) {
      if ((flags_[b] & HAS) == 0) continue;
      if ((flags_[b] & PAUSE) != 0 && seen) value(NONE);
      value(line[b].first);
      if (two[b]) value(line[b].second);
      seen = true;
    }
    out += ']';
  }
  out += "]}";
  return out;
}

std::string json_string(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || c == '<' || c == '>' || c == '&') {
      constexpr const char* kHex = "0123456789abcdef";
      out += "\\u00";
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else {
      out += c;
    }
  }
  out += '"';
  return out;
}

std::string json_number(double v) {
  if (!std::isfinite(v)) return "null";
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, v).ptr);
}

}  // namespace korvex
