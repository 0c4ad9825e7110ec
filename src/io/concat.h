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

// The text in single quotes, as messages show what a user gave.
inline std::string quoted(std::string_view text) {
  return concat({"'", text, "'"});
}

}  // namespace korvex
