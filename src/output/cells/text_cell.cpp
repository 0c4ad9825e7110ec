#include "output/cells/text_cell.h"

#include <charconv>
#include <string>

namespace korvex {

void put_text_cell(OutBuffer& out, DelimiterMode mode, std::string_view text, int width, bool first,
                   bool quote) {
  std::string quoted;
  if (quote && mode == DELIM_COMMA && text.find_first_of(",\"\r\n") != std::string_view::npos) {
    quoted = "\"";
    for (const char c : text) {
      if (c == '"') quoted += '"';
      quoted += c;
    }
    quoted += '"';
    text = quoted;
  } else if (quote && text.find_first_of("\t\r\n") != std::string_view::npos) {
    quoted = text;
    for (char& c : quoted) c = c == '\t' || c == '\r' || c == '\n' ? ' ' : c;
    text = quoted;
  }
  if (mode == DELIM_SPACE) {
    const std::size_t room = static_cast<std::size_t>(width) + (first ? 0 : 1);
    for (std::size_t n = text.size(); n < room; ++n) out.put(' ');
    if (!first && text.size() >= room) out.put(' ');
  } else if (!first) {
    out.put(mode == DELIM_TAB ? '\t' : ',');
  }
  out.write(text);
}

std::string fixed_text(double value, int decimals) {
  char text[64];
  const char* end =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr;
  return std::string(static_cast<const char*>(text), end);
}

}  // namespace korvex
