#include "regex/internals.hpp"

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

}  // namespace qv::regex
