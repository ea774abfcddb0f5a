#pragma once
// The White_Space property and trimming by it.
#include <string_view>

namespace qv::unicode {

// White_Space: U+0009..U+000D, U+0020, U+0085, U+00A0, U+1680, U+2000..U+200A,
// U+2028, U+2029, U+202F, U+205F and U+3000 (25 code points). U+180E, U+200B,
// U+FEFF and U+001C..U+001F are not white space.
constexpr bool is_white_space(char32_t c) {
  if (c <= 0x20) return c == 0x20 || (c >= 0x09 && c <= 0x0D);
  if (c < 0x85) return false;
  switch (c) {
    case 0x85: case 0xA0: case 0x1680: case 0x2028: case 0x2029:
    case 0x202F: case 0x205F: case 0x3000:
      return true;
    default:
      return c >= 0x2000 && c <= 0x200A;
  }
}

// The text without its leading and/or trailing white-space characters. The
// result is a view into the argument. Ill-formed bytes count as non-white
// space, so they are never trimmed.
std::string_view trim_white_space(std::string_view text);
std::string_view trim_start_white_space(std::string_view text);
std::string_view trim_end_white_space(std::string_view text);

// True when the text is empty or holds white space only.
bool is_blank(std::string_view text);

}  // namespace qv::unicode
