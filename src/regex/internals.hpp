// Access to the matcher's parts for tests and fuzzing: the Pike VM alone,
// without the DFA in front of it, keeping capture slots either way; the
// alphabet the lazy DFA moves on.
// Internal to the regex component.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "regex/matchers.hpp"
#include "regex/regex.hpp"

namespace qv::regex {

struct RegexInternals {
  static bool pike_is_match(const Regex& re, std::string_view text, std::size_t start);
  static std::optional<Captures> pike_captures(const Regex& re, std::string_view text, std::size_t start,
                                               PikeSlots how = PikeSlots::kAuto);
  // The class starts, flags and ASCII classes of the program's alphabet;
  // and the same built the plain way, every cut gathered and sorted
  // together and each flag and ASCII class looked up alone.
  struct AlphabetParts {
    std::vector<char32_t> starts;
    std::vector<std::uint8_t> flags;
    std::array<std::uint32_t, 128> ascii{};  // the class of each ASCII character
    bool operator==(const AlphabetParts&) const = default;
  };
  static AlphabetParts alphabet(const Regex& re);
  static AlphabetParts alphabet_in_plain_order(const Regex& re);
};

}  // namespace qv::regex
