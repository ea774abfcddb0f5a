#pragma once
// UTF-8 decoding and encoding. Well-formed means: no overlong forms, no
// surrogates, nothing above U+10FFFF. One decoding step serves both the
// strict readers (which refuse an ill-formed part) and the replacing ones
// (which read it as one U+FFFD).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qv::core {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// What starts at a byte of a text: a well-formed character, or an ill-formed
// part, which is the longest prefix of a well-formed sequence there, or one
// byte when no sequence starts there.
struct Utf8Step {
  char32_t code_point;  // U+FFFD for an ill-formed part
  std::size_t length;   // bytes taken: 1 to 4, an ill-formed part 1 to 3
  bool valid;
};

// The step at byte `pos` (pos < text.size()). Reads no byte past the end.
constexpr Utf8Step utf8_step(std::string_view text, std::size_t pos) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  const std::uint8_t b0 = byte(pos);
  if (b0 < 0x80) return {b0, 1, true};
  std::size_t need;
  char32_t cp;
  std::uint8_t lo = 0x80, hi = 0xBF;  // allowed range of the second byte
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    need = 1;
    cp = b0 & 0x1Fu;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    need = 2;
    cp = b0 & 0x0Fu;
    if (b0 == 0xE0) lo = 0xA0;  // no overlong form
    if (b0 == 0xED) hi = 0x9F;  // no surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    need = 3;
    cp = b0 & 0x07u;
    if (b0 == 0xF0) lo = 0x90;  // no overlong form
    if (b0 == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
  } else {
    return {kReplacementCharacter, 1, false};
  }
  std::size_t i = pos + 1;
  for (std::size_t k = 0; k < need; ++k, ++i) {
    if (i >= text.size()) return {kReplacementCharacter, i - pos, false};
    const std::uint8_t b = byte(i);
    const std::uint8_t min = k == 0 ? lo : 0x80, max = k == 0 ? hi : 0xBF;
    if (b < min || b > max) return {kReplacementCharacter, i - pos, false};
    cp = (cp << 6) | (b & 0x3Fu);
  }
  return {cp, need + 1, true};
}

// The step that ends at byte `end` (0 < end <= text.size()), found from the
// nearest lead byte at most three bytes back; when that step does not end at
// `end`, the byte before `end` alone, ill-formed. Reads no byte before the
// start of the text.
Utf8Step utf8_step_back(std::string_view text, std::size_t end);

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
