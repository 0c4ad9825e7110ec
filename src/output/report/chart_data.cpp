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
    cells_.resize((bucket + 1) * lines_);
  }
  // A pause before the bucket's first record; within a bucket, where a merge put it, the page
  // shows it before the bucket.
  if (pause) flags_[bucket] |= PAUSE;
  flags_[bucket] |= HAS;
  current_ = bucket;
  row_ = bucket * lines_;
}

FlightSamples::Extremes FlightSamples::merge(Extremes a, Extremes b) {
  if (b.first == NONE) return a;
  if (a.first == NONE) return b;
  // The four values in time order; the lowest and the highest of them (the earliest of equal
  // ones) stay, in their order.
  const std::int32_t v[4] = {a.first, a.second, b.first, b.second};
  int low = 0, high = 0;
  for (int k = 1; k < 4; ++k) {
    low = v[k] < v[low] ? k : low;
    high = v[k] > v[high] ? k : high;
  }
  return low < high ? Extremes{v[low], v[high]} : Extremes{v[high], v[low]};
}

void FlightSamples::halve() {
  const std::size_t buckets = flags_.size();
  const std::size_t halved = (buckets + 1) / 2;
  for (std::size_t i = 0; i < halved; ++i) {
    const std::uint8_t later = 2 * i + 1 < buckets ? flags_[2 * i + 1] : 0;
    flags_[i] = flags_[2 * i] | later;
    Extremes* merged = &cells_[i * lines_];
    const Extremes* a = &cells_[2 * i * lines_];
    if (2 * i + 1 == buckets) {
      std::copy(a, a + lines_, merged);
      continue;
    }
    const Extremes* b = a + lines_;
    for (std::size_t l = 0; l < lines_; ++l) merged[l] = merge(a[l], b[l]);
  }
  flags_.resize(halved);
  cells_.resize(halved * lines_);
  // What a flight merged gives back is kept for no other.
  flags_.shrink_to_fit();
  cells_.shrink_to_fit();
  width_ *= 2;
  current_ /= 2;
  row_ = current_ * lines_;
}

bool FlightSamples::has(std::size_t line) const {
  for (std::size_t at = line; at < cells_.size(); at += lines_) {
    if (cells_[at].first != NONE) return true;
  }
  return false;
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
  for (std::size_t b = 0; b < flags_.size(); ++b) {
    for (std::size_t l = 0; l < lines_; ++l) {
      const Extremes& e = cells_[b * lines_ + l];
      if (e.first != e.second) two[b] = true;
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
  for (std::size_t l = 0; l < lines_; ++l) {
    if (l > 0) out += ',';
    if (!has(l)) {
      out += "null";
      continue;
    }
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
      const Extremes& e = cells_[b * lines_ + l];
      value(e.first);
      if (two[b]) value(e.second);
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
