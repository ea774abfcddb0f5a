#pragma once
// Private UTF-8 walking for the unicode component. Every read is bounds-checked;
// an ill-formed sequence decodes as U+FFFD and consumes its maximal valid prefix
// (at least one byte), so any byte string decodes without reading past its end.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv::unicode::detail {

inline constexpr char32_t kReplacement = 0xFFFD;

struct Decoded {
  char32_t cp;
  std::size_t length;  // bytes consumed, 1 to 4
  bool valid;
};

// Decodes the character starting at byte `pos` (pos < text.size()).
constexpr Decoded decode_at(std::string_view text, std::size_t pos) {
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
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;  // no surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    need = 3;
    cp = b0 & 0x07u;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
  } else {
    return {kReplacement, 1, false};
  }
  std::size_t i = pos + 1;
  for (std::size_t k = 0; k < need; ++k, ++i) {
    if (i >= text.size()) return {kReplacement, i - pos, false};
    const std::uint8_t b = byte(i);
    const std::uint8_t min = k == 0 ? lo : 0x80, max = k == 0 ? hi : 0xBF;
    if (b < min || b > max) return {kReplacement, i - pos, false};
    cp = (cp << 6) | (b & 0x3Fu);
  }
  return {cp, need + 1, true};
}

// Appends the UTF-8 form of a scalar value.
inline void append_utf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// The scalar values of a text (ill-formed parts as U+FFFD).
inline std::vector<char32_t> decode_all(std::string_view text) {
  std::vector<char32_t> out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const Decoded d = decode_at(text, i);
    out.push_back(d.cp);
    i += d.length;
  }
  return out;
}

inline std::string encode_all(const std::vector<char32_t>& cps) {
  std::string out;
  out.reserve(cps.size());
  for (char32_t c : cps) append_utf8(out, c);
  return out;
}

}  // namespace qv::unicode::detail
