#include "regex/internals.hpp"

#include <algorithm>

namespace qv::regex {

bool RegexInternals::pike_is_match(const Regex& re, std::string_view text, std::size_t start) {
  if (start > text.size()) return false;
  CacheGuard g(*re.prog_, 0);
  return pike_search(*re.prog_, g.get(), text, start, true, nullptr);
}

std::optional<Captures> RegexInternals::pike_captures(const Regex& re, std::string_view text, std::size_t start,
                                                     PikeSlots how) {
  if (start > text.size()) return std::nullopt;
  const std::size_t nslots = 2 * re.prog_->captures_len;
  CacheGuard g(*re.prog_, nslots);
  std::vector<std::size_t> slots(nslots, kNone);
  if (!pike_any(*re.prog_, g.get(), text, start, false, slots.data(), how)) return std::nullopt;
  return to_captures(slots);
}

RegexInternals::AlphabetParts RegexInternals::alphabet(const Regex& re) {
  const Program::Alphabet& a = re.prog_->alphabet;
  return {a.starts, std::vector<std::uint8_t>(a.flags.begin(), a.flags.begin() + a.starts.size()), a.ascii};
}

RegexInternals::AlphabetParts RegexInternals::alphabet_in_plain_order(const Regex& re) {
  const Program& prog = *re.prog_;
  std::vector<char32_t> cuts{0, '\n', '\n' + 1, '\r', '\r' + 1, '0', '9' + 1, 'A', 'Z' + 1, '_', '_' + 1, 'a', 'z' + 1, 0x80};
  for (const ClassMatcher& m : prog.classes) add_set_cuts(cuts, *m.set);
  if (has_unicode_word_look(prog)) add_set_cuts(cuts, unicode::perl_word());
  std::sort(cuts.begin(), cuts.end());
  cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
  AlphabetParts out;
  for (const char32_t c : cuts) out.flags.push_back(char_flags(c));
  for (char32_t c = 0; c < 0x80; ++c) {
    out.ascii[c] = static_cast<std::uint32_t>(std::upper_bound(cuts.begin(), cuts.end(), c) - cuts.begin()) - 1;
  }
  out.starts = std::move(cuts);
  return out;
}

}  // namespace qv::regex
