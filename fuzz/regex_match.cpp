// Compiles a pattern and matches it against a text: the first match must be
// the start of the match list, captures must agree with find, spans must lie
// on character boundaries inside the text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "regex/internals.hpp"
#include "regex/regex.hpp"

namespace {

bool boundary(std::string_view t, std::size_t i) {
  return i == t.size() || (i < t.size() && (static_cast<unsigned char>(t[i]) & 0xC0) != 0x80);
}

// Texts reach the matcher as valid UTF-8; other inputs are skipped.
bool valid_utf8(std::string_view t) {
  std::size_t i = 0;
  while (i < t.size()) {
    const auto b = static_cast<unsigned char>(t[i]);
    std::size_t len = b < 0x80 ? 1 : (b >= 0xC2 && b <= 0xDF) ? 2 : (b >= 0xE0 && b <= 0xEF) ? 3 : (b >= 0xF0 && b <= 0xF4) ? 4 : 0;
    if (len == 0 || i + len > t.size()) return false;
    std::uint32_t c = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
    for (std::size_t k = 1; k < len; ++k) {
      const auto n = static_cast<unsigned char>(t[i + k]);
      if ((n & 0xC0) != 0x80) return false;
      c = (c << 6) | (n & 0x3F);
    }
    if ((len == 3 && (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))) || (len == 4 && (c < 0x10000 || c > 0x10FFFF))) {
      return false;
    }
    i += len;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Input: pattern, a zero byte, text.
  const std::string_view all(reinterpret_cast<const char*>(data), size);
  const std::size_t sep = all.find('\0');
  if (sep == std::string_view::npos || sep > 512) return 0;
  const std::string_view pattern = all.substr(0, sep);
  const std::string_view text = all.substr(sep + 1);
  if (!valid_utf8(text)) return 0;
  auto re = qv::regex::Regex::compile(pattern);
  if (!re) return 0;
  const bool m = re->is_match(text);
  const auto f = re->find(text);
  const auto c = re->captures(text);
  const auto list = re->find_all(text);
  if (m != f.has_value() || m != c.has_value() || m != !list.empty()) __builtin_trap();
  if (f) {
    if (!(*c)[0] || *(*c)[0] != *f || list.front() != *f) __builtin_trap();
    for (const auto& g : *c) {
      if (g && (g->start > g->end || g->end > text.size() || !boundary(text, g->start) || !boundary(text, g->end))) {
        __builtin_trap();
      }
    }
  }
  // The DFA-led path must agree with the Pike VM alone, from any offset.
  for (std::size_t start : {std::size_t{0}, text.size() / 2}) {
    while (start < text.size() && !boundary(text, start)) ++start;
    const auto slow = qv::regex::RegexInternals::pike_captures(*re, text, start);
    const auto fast = re->captures(text, start);
    if (slow != fast) __builtin_trap();
    if (qv::regex::RegexInternals::pike_is_match(*re, text, start) != re->is_match(text, start)) __builtin_trap();
    const auto f2 = re->find(text, start);
    if (f2.has_value() != slow.has_value() || (f2 && *f2 != *(*slow)[0])) __builtin_trap();
  }
  std::size_t last = 0;
  for (const auto& s : list) {
    if (s.start < last || s.end < s.start || !boundary(text, s.start) || !boundary(text, s.end)) __builtin_trap();
    last = s.end;
  }
  return 0;
}
