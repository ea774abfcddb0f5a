// Compiles a pattern and matches it against a text: the first match must be
// the start of the match list, captures must agree with find and with the
// Pike VM either way it keeps slots, spans must lie on character boundaries
// inside the text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/utf8.hpp"
#include "regex/internals.hpp"
#include "regex/regex.hpp"

namespace {

bool boundary(std::string_view t, std::size_t i) {
  return i == t.size() || (i < t.size() && (static_cast<unsigned char>(t[i]) & 0xC0) != 0x80);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Input: pattern, a zero byte, text.
  const std::string_view all(reinterpret_cast<const char*>(data), size);
  const std::size_t sep = all.find('\0');
  if (sep == std::string_view::npos || sep > 512) return 0;
  const std::string_view pattern = all.substr(0, sep);
  const std::string_view text = all.substr(sep + 1);
  // Texts reach the matcher as valid UTF-8; other inputs are skipped.
  if (!qv::core::is_valid_utf8(text)) return 0;
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
    using qv::regex::PikeSlots;
    const auto slow = qv::regex::RegexInternals::pike_captures(*re, text, start, PikeSlots::kRows);
    const auto fast = re->captures(text, start);
    if (slow != fast) __builtin_trap();
    // Threads that share capture histories read the same groups.
    if (qv::regex::RegexInternals::pike_captures(*re, text, start, PikeSlots::kHistories) != slow) __builtin_trap();
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
