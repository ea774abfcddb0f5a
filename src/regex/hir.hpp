// The intermediate form of a pattern: what the syntax means, with every
// flag applied. Classes are sets of code points (a literal character is a
// class of one), and the tree is held in an arena of nodes whose depth is
// bounded by the nesting limit.
#pragma once

#include <cstdint>
#include <expected>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "regex/error.hpp"
#include "unicode/sets.hpp"

namespace qv::regex {

// Zero-width assertions.
enum class Look : std::uint8_t {
  kStart,               // \A, or ^ without (?m)
  kEnd,                 // \z, or $ without (?m)
  kStartLF,             // (?m)^
  kEndLF,               // (?m)$
  kStartCRLF,           // (?mR)^
  kEndCRLF,             // (?mR)$
  kWordAscii,           // (?-u)\b
  kWordAsciiNegate,     // (?-u)\B
  kWordUnicode,         // \b
  kWordUnicodeNegate,   // \B
  kWordStartAscii,      // (?-u)\b{start}, \<
  kWordEndAscii,        // (?-u)\b{end}, \>
  kWordStartUnicode,    // \b{start}, \<
  kWordEndUnicode,      // \b{end}, \>
  kWordStartHalfAscii,  // (?-u)\b{start-half}
  kWordEndHalfAscii,    // (?-u)\b{end-half}
  kWordStartHalfUnicode,
  kWordEndHalfUnicode,
};

enum class HirKind : std::uint8_t {
  kEmpty,        // matches the empty string
  kClass,        // one code point from `cls` (an empty class never matches)
  kLook,         // a zero-width assertion
  kRepetition,   // children[0] repeated min..=max times
  kCapture,      // children[0] recorded as group `capture_index`
  kConcat,       // children in sequence
  kAlternation,  // children in order of preference
};

inline constexpr std::uint32_t kUnbounded = std::numeric_limits<std::uint32_t>::max();

using ClassPtr = std::shared_ptr<const unicode::RangeSet>;

struct HirNode {
  HirKind kind = HirKind::kEmpty;
  Look look = Look::kStart;
  bool greedy = true;
  std::uint32_t min = 0;
  std::uint32_t max = 0;  // kUnbounded for no upper bound
  std::uint32_t capture_index = 0;
  ClassPtr cls;  // kClass: never null
  std::vector<std::uint32_t> children;
};

struct Hir {
  std::vector<HirNode> nodes;
  std::uint32_t root = 0;
  // Number of capture groups, group 0 (the whole match) included.
  std::uint32_t captures_len = 1;
  // names[i] is the name of group i, if it has one (names[0] never does).
  std::vector<std::optional<std::string>> names;

  const HirNode& node(std::uint32_t id) const { return nodes[id]; }
  // Smallest and largest number of bytes of UTF-8 text a match spans
  // (largest is nullopt when unbounded).
  std::size_t min_len(std::uint32_t id) const;
  std::optional<std::size_t> max_len(std::uint32_t id) const;
};

// Reads a pattern and gives its intermediate form, refusing what the syntax
// refuses (with the error kind, span and display), patterns nested deeper
// than kNestLimit and patterns whose compiled form would exceed kSizeLimit.
// Works in time and memory proportional to the pattern's length (and the
// sizes of the Unicode classes it names); never recurses on nesting depth
// before the nesting limit has been checked.
std::expected<Hir, Error> parse(std::string_view pattern);

// An estimate of the compiled size in bytes, computed without expanding
// repetitions (saturating at SIZE_MAX).
std::size_t compiled_size(const Hir& hir);

}  // namespace qv::regex
