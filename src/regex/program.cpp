#include "regex/program.hpp"

#include "unicode/sets.hpp"

namespace qv::regex {

namespace {

inline bool is_word_byte(unsigned char b) {
  return (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b == '_';
}

bool is_word_char(char32_t c) {
  if (c < 0x80) return is_word_byte(static_cast<unsigned char>(c));
  if (c == kInvalid) return false;
  return unicode::set_contains(unicode::perl_word(), c);
}

}  // namespace

std::uint8_t char_flags(char32_t c) {
  std::uint8_t f = 0;
  if (c == '\n') f |= kCtxLF;
  if (c == '\r') f |= kCtxCR;
  if (c < 0x80 && is_word_byte(static_cast<unsigned char>(c))) f |= kCtxWordAscii;
  if (is_word_char(c)) f |= kCtxWordUnicode;
  return f;
}

bool look_ctx(Look look, std::uint8_t before, std::uint8_t after) {
  switch (look) {
    case Look::kStart:
      return before & kCtxStart;
    case Look::kEnd:
      return after & kCtxEnd;
    case Look::kStartLF:
      return before & (kCtxStart | kCtxLF);
    case Look::kEndLF:
      return after & (kCtxEnd | kCtxLF);
    case Look::kStartCRLF:
      return (before & (kCtxStart | kCtxLF)) || ((before & kCtxCR) && !(after & kCtxLF));
    case Look::kEndCRLF:
      return (after & (kCtxEnd | kCtxCR)) || ((after & kCtxLF) && !(before & kCtxCR));
    default:
      break;
  }
  const bool ascii = look == Look::kWordAscii || look == Look::kWordAsciiNegate || look == Look::kWordStartAscii ||
                     look == Look::kWordEndAscii || look == Look::kWordStartHalfAscii || look == Look::kWordEndHalfAscii;
  const std::uint8_t bit = ascii ? kCtxWordAscii : kCtxWordUnicode;
  const bool b = before & bit, a = after & bit;
  switch (look) {
    case Look::kWordAscii:
    case Look::kWordUnicode:
      return b != a;
    case Look::kWordAsciiNegate:
    case Look::kWordUnicodeNegate:
      return b == a;
    case Look::kWordStartAscii:
    case Look::kWordStartUnicode:
      return !b && a;
    case Look::kWordEndAscii:
    case Look::kWordEndUnicode:
      return b && !a;
    case Look::kWordStartHalfAscii:
    case Look::kWordStartHalfUnicode:
      return !b;
    case Look::kWordEndHalfAscii:
    case Look::kWordEndHalfUnicode:
      return !a;
    default:
      return false;
  }
}

bool look_holds(Look look, std::string_view h, std::size_t at) {
  const std::uint8_t before = at == 0 ? kCtxStart : char_flags(decode_before(h, at).c);
  const std::uint8_t after = at == h.size() ? kCtxEnd : char_flags(decode(h, at).c);
  return look_ctx(look, before, after);
}

}  // namespace qv::regex
