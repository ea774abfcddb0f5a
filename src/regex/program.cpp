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

void char_flags_ascending(std::span<const char32_t> ascending, std::uint8_t* out) {
  const unicode::RangeSet& word = unicode::perl_word();
  std::size_t r = 0;  // the first word range not wholly below the character
  for (std::size_t i = 0; i < ascending.size(); ++i) {
    const char32_t c = ascending[i];
    if (c < 0x80 || c == kInvalid) {
      out[i] = char_flags(c);
      continue;
    }
    while (r < word.size() && word[r].hi < c) ++r;
    out[i] = r < word.size() && word[r].lo <= c ? kCtxWordUnicode : 0;
  }
}

void add_set_cuts(std::vector<char32_t>& cuts, const unicode::RangeSet& set) {
  for (const unicode::CodePointRange r : set) {
    cuts.push_back(r.lo);
    if (r.hi < unicode::kMaxCodePoint) cuts.push_back(r.hi + 1);
  }
}

bool has_unicode_word_look(const Program& prog) {
  for (const Inst& i : prog.insts) {
    if (i.op != Op::kLook) continue;
    switch (i.look) {
      case Look::kWordUnicode:
      case Look::kWordUnicodeNegate:
      case Look::kWordStartUnicode:
      case Look::kWordEndUnicode:
      case Look::kWordStartHalfUnicode:
      case Look::kWordEndHalfUnicode:
        return true;
      default:
        break;
    }
  }
  return false;
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
