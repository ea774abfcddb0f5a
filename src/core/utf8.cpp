#include "core/utf8.hpp"

namespace qv::core {

std::size_t valid_utf8_length(std::string_view text, std::size_t pos) {
  if (pos >= text.size()) return 0;
  const auto* s = reinterpret_cast<const unsigned char*>(text.data()) + pos;
  const std::size_t left = text.size() - pos;
  const unsigned char b0 = s[0];
  if (b0 < 0x80) return 1;
  auto cont = [&](std::size_t i) { return i < left && (s[i] & 0xC0) == 0x80; };
  if (b0 >= 0xC2 && b0 <= 0xDF) return cont(1) ? 2 : 0;
  if (b0 >= 0xE0 && b0 <= 0xEF) {
    if (left < 2) return 0;
    const unsigned char b1 = s[1];
    // E0 needs A0..BF (no overlong); ED needs 80..9F (no surrogates).
    const unsigned char lo = b0 == 0xE0 ? 0xA0 : 0x80;
    const unsigned char hi = b0 == 0xED ? 0x9F : 0xBF;
    if (b1 < lo || b1 > hi) return 0;
    return cont(2) ? 3 : 0;
  }
  if (b0 >= 0xF0 && b0 <= 0xF4) {
    if (left < 2) return 0;
    const unsigned char b1 = s[1];
    // F0 needs 90..BF (no overlong); F4 needs 80..8F (at most U+10FFFF).
    const unsigned char lo = b0 == 0xF0 ? 0x90 : 0x80;
    const unsigned char hi = b0 == 0xF4 ? 0x8F : 0xBF;
    if (b1 < lo || b1 > hi) return 0;
    return cont(2) && cont(3) ? 4 : 0;
  }
  return 0;
}

std::optional<DecodedChar> decode_utf8(std::string_view text, std::size_t pos) {
  const std::size_t n = valid_utf8_length(text, pos);
  if (n == 0) return std::nullopt;
  const auto* s = reinterpret_cast<const unsigned char*>(text.data()) + pos;
  char32_t cp = 0;
  switch (n) {
    case 1:
      cp = s[0];
      break;
    case 2:
      cp = (char32_t(s[0] & 0x1F) << 6) | (s[1] & 0x3F);
      break;
    case 3:
      cp = (char32_t(s[0] & 0x0F) << 12) | (char32_t(s[1] & 0x3F) << 6) | (s[2] & 0x3F);
      break;
    default:
      cp = (char32_t(s[0] & 0x07) << 18) | (char32_t(s[1] & 0x3F) << 12) | (char32_t(s[2] & 0x3F) << 6) |
           (s[3] & 0x3F);
      break;
  }
  return DecodedChar{cp, n};
}

std::size_t first_invalid_utf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    // Fast path over ASCII.
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      ++i;
      continue;
    }
    const std::size_t n = valid_utf8_length(text, i);
    if (n == 0) return i;
    i += n;
  }
  return text.size();
}

void append_utf8(std::string& out, char32_t cp) {
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

}  // namespace qv::core
