// Everything the tool says besides its output: progress texts and dots, warnings, error reports
// and the summary, on standard error (or into a text, for tests). One object per run, handed to
// whatever has something to say.
//
// Progress dots are held and written out together: when another message is written, when the
// run ends, or when about a tenth of a second has passed since the last write. The bytes and
// their order are the same as if every dot were written at once.
//
// When quiet, progress texts and dots are left out, and so is the line break that a message
// begins with to end the line of dots.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "io/out_buffer.h"

namespace korvex {

class Messages {
 public:
  explicit Messages(int fd);
  explicit Messages(std::string* text);

  void set_quiet(bool quiet) { quiet_ = quiet; }

  // A heading written before the next text or dot, if any comes: the name of what the messages
  // that follow are about. An empty text takes a heading not yet written back.
  void heading(std::string_view text) { heading_ = text; }
  // A progress text: what the tool is doing, followed by dots on the same line.
  void progress(std::string_view text);
  // A message written out at once (with the dots held before it).
  void say(std::string_view text);
  // A message that may wait with the dots (a warning that can come once per record).
  void note(std::string_view text);
  // The progress dot: "." with no line break.
  void dot();
  // The error report: prefix, a colon, a space, the system's text for err, a line break.
  void error_report(std::string_view prefix, int err);
  // Writes out whatever is held.
  void flush();

 private:
  void flush_when_due();
  void append(std::string_view text);
  void write_heading();

  OutBuffer out_;
  bool quiet_ = false;
  bool line_open_ = false;  // the last byte written was no line break
  std::string heading_;     // not yet written
  std::int64_t last_write_ns_ = 0;
};

}  // namespace korvex
