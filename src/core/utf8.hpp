#pragma once
// UTF-8 decoding and encoding. Decoding is strict: no overlong forms, no
// surrogates, nothing above U+10FFFF.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qv::core {

struct DecodedChar {
  char32_t code_point;
  std::size_t length;  // bytes taken, 1 to 4
};

// The character that starts at byte `pos` of `text`, or none when the bytes
// there are not well-formed UTF-8 (or `pos` is at or past the end).
std::optional<DecodedChar> decode_utf8(std::string_view text, std::size_t pos);

// Byte length of the well-formed sequence starting at `pos`, or 0.
std::size_t valid_utf8_length(std::string_view text, std::size_t pos);

// Offset of the first byte that does not start a well-formed character, or
// text.size() when the whole text is valid UTF-8.
std::size_t first_invalid_utf8(std::string_view text);
inline bool is_valid_utf8(std::string_view text) { return first_invalid_utf8(text) == text.size(); }

// Bytes needed to encode a scalar value (1 to 4).
constexpr std::size_t utf8_length(char32_t cp) { return cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4; }

// Appends the encoding of a scalar value (the caller passes no surrogate and
// nothing above U+10FFFF).
void append_utf8(std::string& out, char32_t cp);

}  // namespace qv::core
