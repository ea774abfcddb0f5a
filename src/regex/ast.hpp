// The syntax tree of a pattern, as written (before flags take effect).
// Internal to the regex component.
#pragma once

#include <cstdint>
#include <expected>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "regex/error.hpp"

namespace qv::regex::ast {

enum class Kind : std::uint8_t {
  kEmpty,
  kFlags,           // (?flags)
  kLiteral,         // c; hex_x marks the two-digit \xNN form
  kDot,
  kAssertion,       // sub: AssertionKind
  kClassUnicode,    // \p / \P; name, value, sub: UnicodeKind
  kClassPerl,       // \d \s \w and negations; sub: PerlKind
  kClassBracketed,  // [...]; children[0] is the class set
  kRepetition,      // children[0]; min, max, greedy
  kGroup,           // children[0]; sub: GroupKind
  kAlternation,
  kConcat,
  // Class set items (inside brackets).
  kSetRange,   // children[0] .. children[1], both kLiteral
  kSetAscii,   // [:name:]; sub: AsciiKind
  kSetUnion,   // children
  kSetBinaryOp,  // children[0] op children[1]; sub: BinaryOpKind
};

enum class AssertionKind : std::uint8_t {
  kStartLine,
  kEndLine,
  kStartText,
  kEndText,
  kWordBoundary,
  kNotWordBoundary,
  kWordBoundaryStart,
  kWordBoundaryEnd,
  kWordBoundaryStartAngle,
  kWordBoundaryEndAngle,
  kWordBoundaryStartHalf,
  kWordBoundaryEndHalf,
};

enum class PerlKind : std::uint8_t { kDigit, kSpace, kWord };
enum class UnicodeKind : std::uint8_t { kOneLetter, kNamed, kNamedValue };
enum class GroupKind : std::uint8_t { kCaptureIndex, kCaptureName, kNonCapturing };
enum class BinaryOpKind : std::uint8_t { kIntersection, kDifference, kSymmetricDifference };
enum class AsciiKind : std::uint8_t {
  kAlnum, kAlpha, kAscii, kBlank, kCntrl, kDigit, kGraph, kLower, kPrint, kPunct, kSpace, kUpper, kWord, kXdigit
};

inline constexpr std::uint32_t kNoMax = 0xFFFFFFFFu;

struct Node {
  Kind kind = Kind::kEmpty;
  std::uint8_t sub = 0;
  bool negated = false;
  bool greedy = true;
  bool hex_x = false;
  char32_t c = 0;
  std::uint32_t min = 0;
  std::uint32_t max = 0;  // kNoMax when unbounded
  std::uint32_t capture_index = 0;
  Span span;
  std::string name;   // group name, or property name
  std::string value;  // property value
  // Flags of kFlags and of non-capturing groups: (flag letter, enabled).
  std::vector<std::pair<char, bool>> flags;
  std::vector<std::uint32_t> children;
};

struct Ast {
  std::vector<Node> nodes;
  std::uint32_t root = 0;
  std::uint32_t capture_count = 0;  // explicit groups
};

// Reads the syntax (and checks the nesting limit) without recursion.
std::expected<Ast, Error> parse(std::string_view pattern);

}  // namespace qv::regex::ast
