#include "io/messages.h"

#include <time.h>

#include <cstring>

namespace korvex {

namespace {

constexpr std::size_t kMessageBuffer = std::size_t{64} * 1024;
constexpr std::int64_t kHoldNs = 100'000'000;

// A cheap monotonic clock: held dots only need a tenth of a second's precision.
std::int64_t now_ns() {
  timespec t{};
  ::clock_gettime(CLOCK_MONOTONIC_COARSE, &t);
  return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

}  // namespace

Messages::Messages(int fd) : out_(fd, kMessageBuffer), last_write_ns_(now_ns()) {}

Messages::Messages(std::string* text) : out_(text, kMessageBuffer), last_write_ns_(now_ns()) {}

void Messages::write_heading() {
  const std::string heading = std::move(heading_);
  heading_.clear();
  if (line_open_) out_.put('\n');
  out_.write(heading);
  line_open_ = !heading.empty() && heading.back() != '\n';
}

void Messages::append(std::string_view text) {
  if (!heading_.empty() && !text.empty()) write_heading();
  if (quiet_ && !line_open_ && !text.empty() && text[0] == '\n') text.remove_prefix(1);
  if (text.empty()) return;
  out_.write(text);
  line_open_ = text.back() != '\n';
}

void Messages::progress(std::string_view text) {
  if (quiet_) return;
  append(text);
  flush();
}

void Messages::say(std::string_view text) {
  append(text);
  flush();
}

void Messages::note(std::string_view text) {
  append(text);
  flush_when_due();
}

void Messages::dot() {
  if (quiet_) return;
  if (!heading_.empty()) write_heading();
  out_.put('.');
  line_open_ = true;
  flush_when_due();
}

void Messages::error_report(std::string_view prefix, int err) {
  append(prefix);
  append(": ");
  append(std::strerror(err));
  say("\n");
}

void Messages::flush() {
  out_.flush();
  last_write_ns_ = now_ns();
}

void Messages::flush_when_due() {
  if (now_ns() - last_write_ns_ >= kHoldNs) flush();
}

}  // namespace korvex
