#pragma once
// Enumerations shared across the engine, with their JSON words.
#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qv::core {

namespace detail {
template <class E, std::size_t N>
constexpr std::optional<E> from_words(const std::array<std::string_view, N>& words, std::string_view word) {
  for (std::size_t i = 0; i < N; ++i) {
    if (words[i] == word) return static_cast<E>(i);
  }
  return std::nullopt;
}
}  // namespace detail

// The verdict of a claim or an answer, ordered PASS < REVIEW < FAIL.
enum class Decision : std::uint8_t { Pass = 0, Review = 1, Fail = 2 };
inline constexpr std::array<std::string_view, 3> kDecisionWords = {"PASS", "REVIEW", "FAIL"};
constexpr std::string_view to_word(Decision d) { return kDecisionWords[static_cast<std::size_t>(d)]; }
// Exact, case-sensitive.
constexpr std::optional<Decision> decision_from_word(std::string_view w) {
  return detail::from_words<Decision>(kDecisionWords, w);
}
// Decisions combine by taking the stricter one.
constexpr Decision combine(Decision a, Decision b) { return std::max(a, b); }

enum class ClaimKind : std::uint8_t { Numeric = 0, Temporal = 1, Entity = 2, Citation = 3, Statement = 4, Word = 5 };
inline constexpr std::array<std::string_view, 6> kClaimKindWords = {"numeric",  "temporal",  "entity",
                                                                    "citation", "statement", "word"};
constexpr std::string_view to_word(ClaimKind k) { return kClaimKindWords[static_cast<std::size_t>(k)]; }
constexpr std::optional<ClaimKind> claim_kind_from_word(std::string_view w) {
  return detail::from_words<ClaimKind>(kClaimKindWords, w);
}

enum class RoundingRule : std::uint8_t { HalfUp = 0, HalfEven = 1, WithinLastDigit = 2 };
inline constexpr std::array<std::string_view, 3> kRoundingRuleWords = {"half_up", "half_even", "within_last_digit"};
constexpr std::string_view to_word(RoundingRule r) { return kRoundingRuleWords[static_cast<std::size_t>(r)]; }
constexpr std::optional<RoundingRule> rounding_rule_from_word(std::string_view w) {
  return detail::from_words<RoundingRule>(kRoundingRuleWords, w);
}

// The locale of a request that names none.
inline std::string default_locale() { return "und"; }

}  // namespace qv::core
