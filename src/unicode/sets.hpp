// Code-point range sets and the Unicode classes that patterns can name.
//
// A RangeSet is a sorted list of disjoint, non-adjacent inclusive ranges of
// code points. Sets built from character properties never hold surrogates
// (U+D800..U+DFFF), since no UTF-8 text can contain them.
#pragma once

#include <cstdint>
#include <expected>
#include <string>
#include <string_view>
#include <vector>

namespace qv::unicode {

struct CodePointRange {
  char32_t lo;
  char32_t hi;
  friend bool operator==(const CodePointRange&, const CodePointRange&) = default;
};

using RangeSet = std::vector<CodePointRange>;

inline constexpr char32_t kMaxCodePoint = 0x10FFFF;

// Sorts and merges overlapping or adjacent ranges.
void canonicalize(RangeSet& set);
RangeSet set_union(const RangeSet& a, const RangeSet& b);
RangeSet set_intersection(const RangeSet& a, const RangeSet& b);
RangeSet set_difference(const RangeSet& a, const RangeSet& b);
RangeSet set_symmetric_difference(const RangeSet& a, const RangeSet& b);
// The complement within 0..=max; surrogates stay out of the result when
// max is above U+FFFF (code-point sets), as they do for byte sets below it.
RangeSet set_complement(const RangeSet& a, char32_t max = kMaxCodePoint);
bool set_contains(const RangeSet& a, char32_t c);
// Number of code points in the set.
std::uint64_t set_size(const RangeSet& a);

// Closes a set under simple case folding: every code point is joined by all
// code points that share its simple case fold (k, K and U+212A; s, S and
// U+017F; ...). Full foldings to several code points (ß to "ss") are not used.
RangeSet simple_case_fold_closure(const RangeSet& a);
// Whether the code point has any other code point with the same simple fold.
bool has_simple_case_fold_partner(char32_t c);

// The Unicode meaning of the Perl classes \d, \s and \w.
const RangeSet& perl_digit();  // General_Category = Nd
const RangeSet& perl_space();  // White_Space
const RangeSet& perl_word();   // Alphabetic, M, Nd, Pc and Join_Control

enum class PropertyError { kPropertyNotFound, kPropertyValueNotFound };

// The class \p{name} names: a binary property, a general category (or Any,
// ASCII, Assigned) or a script. Names match loosely: ASCII case, spaces, '_'
// and '-' and a leading "is" are ignored and non-ASCII characters dropped.
std::expected<RangeSet, PropertyError> property_class(std::string_view name);
// The class \p{name=value} (also written name:value) names.
std::expected<RangeSet, PropertyError> property_value_class(std::string_view name, std::string_view value);

// Character predicates used by the pattern syntax (capture group names).
bool is_alphabetic_code_point(char32_t c);
bool is_numeric_code_point(char32_t c);  // General_Category N (Nd, Nl, No)

}  // namespace qv::unicode
