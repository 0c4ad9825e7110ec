#include "io/diagnostics.h"

#include <cstring>

namespace korvex {

namespace {

OutBuffer& standard_error() {
  static OutBuffer err(2, 64 * 1024);
  return err;
}

OutBuffer* current = nullptr;

}  // namespace

OutBuffer& diag() {
  return current != nullptr ? *current : standard_error();
}

OutBuffer* redirect_diag(OutBuffer* out) {
  OutBuffer* previous = current;
  current = out;
  return previous;
}

void diag_write(std::string_view text) {
  diag().write(text);
  diag().flush();
}

void diag_append(std::string_view text) {
  diag().write(text);
}

void diag_flush() {
  diag().flush();
}

void progress_dot() {
  diag_write(".");
}

void error_report(std::string_view prefix, int err) {
  OutBuffer& out = diag();
  out.write(prefix);
  out.write(": ");
  out.write(std::strerror(err));
  out.write("\n");
  out.flush();
}

}  // namespace korvex
