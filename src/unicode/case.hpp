#pragma once
// Lower-casing and simple case folding.
#include <string>
#include <string_view>
#include <vector>

namespace qv::unicode {

// Full lower-casing of a text, independent of any locale: every character
// takes its full lower-case mapping (U+0130 becomes U+0069 U+0307), and a
// capital sigma becomes final sigma (U+03C2) when it ends a word: a cased
// character comes before it (skipping case-ignorable ones) and none comes
// after it (likewise). Ill-formed bytes come out as U+FFFD. Offsets in the
// result do not correspond to offsets in the argument.
std::string to_lowercase(std::string_view text);

// The full lower-case mapping of one character, without context (a capital
// sigma gives U+03C3): one or more code points.
std::u32string lowercase_mapping(char32_t c);

// Simple case folding (the common and simple mappings: one code point to one).
char32_t simple_case_fold(char32_t c);

// Every code point with the same simple case folding as c, c included, in
// ascending order: {k, K, U+212A}, {s, S, U+017F}, {ß, ẞ}, {σ, ς, Σ}.
// A code point that folds with no other gives just itself.
std::vector<char32_t> simple_case_fold_class(char32_t c);

}  // namespace qv::unicode
