// Access to the matcher's parts for tests and fuzzing: the Pike VM alone,
// without the DFA in front of it, keeping capture slots either way.
// Internal to the regex component.
#pragma once

#include <optional>
#include <string_view>

#include "regex/matchers.hpp"
#include "regex/regex.hpp"

namespace qv::regex {

struct RegexInternals {
  static bool pike_is_match(const Regex& re, std::string_view text, std::size_t start);
  static std::optional<Captures> pike_captures(const Regex& re, std::string_view text, std::size_t start,
                                               PikeSlots how = PikeSlots::kAuto);
};

}  // namespace qv::regex
