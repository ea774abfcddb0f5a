#pragma once
// Character-level reading shared by the numeral, scale-word and quantity
// code: decoding at and before a byte offset, and the caseless matching of
// fixed ASCII phrases.
#include <cstddef>
#include <string_view>

#include "core/utf8.hpp"
#include "unicode/properties.hpp"

namespace qv::numeric::scan {

struct Char {
  char32_t c;
  std::size_t length;
};

// The character at byte `pos` (pos < text.size()); an ill-formed part reads
// as U+FFFD, which is neither a letter nor a digit.
inline Char at(std::string_view text, std::size_t pos) {
  const core::Utf8Step s = core::utf8_step(text, pos);
  return {s.code_point, s.length};
}

// The character ending at byte `pos` (pos > 0).
inline Char before(std::string_view text, std::size_t pos) {
  const core::Utf8Step s = core::utf8_step_back(text, pos);
  return {s.code_point, s.length};
}

// ASCII letter or digit, Unicode Alphabetic or Unicode Numeric.
inline bool is_alphanumeric(char32_t c) { return unicode::is_alphanumeric(c); }

inline bool is_ascii_digit(std::string_view text, std::size_t pos) {
  return pos < text.size() && text[pos] >= '0' && text[pos] <= '9';
}

// A space inside a fixed phrase: U+0020, or U+202F, which text
// normalisation puts in place of a no-break space.
inline std::size_t phrase_space_length(std::string_view text, std::size_t pos) {
  if (pos < text.size() && text[pos] == ' ') return 1;
  if (text.substr(pos, 3) == "\u202F") return 3;
  return 0;
}

// Whether the text at `pos`, lower-cased, begins with `phrase` (lower-case
// ASCII letters, apostrophes and spaces, each space standing for either
// space above). Gives the end of the phrase in the text, or 0 when it does
// not begin there. Only ASCII letters lower-case to ASCII letters in a way
// that can continue such a phrase, so comparing ASCII letters without case
// gives the same answer as comparing the lower-cased text.
inline std::size_t match_phrase(std::string_view text, std::size_t pos, std::string_view phrase) {
  for (const char p : phrase) {
    if (p == ' ') {
      const std::size_t n = phrase_space_length(text, pos);
      if (n == 0) return 0;
      pos += n;
      continue;
    }
    if (pos >= text.size()) return 0;
    char c = text[pos];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
    if (c != p) return 0;
    ++pos;
  }
  return pos;
}

}  // namespace qv::numeric::scan
