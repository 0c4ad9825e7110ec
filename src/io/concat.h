// Messages made of pieces: one string, appended to, instead of a chain of operator+ (whose
// temporaries g++ 12 misreads as overlapping copies).
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace korvex {

inline std::string concat(std::initializer_list<std::string_view> pieces) {
  std::string text;
  for (const std::string_view piece : pieces) text.append(piece);
  return text;
}

// Appends the pieces to `out`, with no string made for them on the way.
inline void append(std::string& out, std::initializer_list<std::string_view> pieces) {
  for (const std::string_view piece : pieces) out.append(piece);
}

// What a user gave, as a message shows it: whole, or when long its first characters and "…"
// (at a character's start, so that UTF-8 stays whole).
inline std::string shown(std::string_view text) {
  constexpr std::size_t kLongest = 80;
  if (text.size() <= kLongest) return std::string(text);
  std::size_t cut = kLongest;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return concat({text.substr(0, cut), "…"});
}

// The text in single quotes, as messages show what a user gave (cut when long).
inline std::string quoted(std::string_view text) {
  return concat({"'", shown(text), "'"});
}

}  // namespace korvex
