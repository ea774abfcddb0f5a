// Errors of the pattern syntax and of compilation, and their display.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace qv::regex {

// A position in a pattern: byte offset, and line and column counted in
// characters from 1.
struct Position {
  std::size_t offset = 0;
  std::uint32_t line = 1;
  std::uint32_t column = 1;
  friend auto operator<=>(const Position& a, const Position& b) { return a.offset <=> b.offset; }
  friend bool operator==(const Position& a, const Position& b) { return a.offset == b.offset; }
};

struct Span {
  Position start;
  Position end;
  friend auto operator<=>(const Span&, const Span&) = default;
  friend bool operator==(const Span&, const Span&) = default;
};

enum class ErrorKind : std::uint8_t {
  // Syntax.
  kCaptureLimitExceeded,
  kClassEscapeInvalid,
  kClassRangeInvalid,
  kClassRangeLiteral,
  kClassUnclosed,
  kDecimalEmpty,
  kDecimalInvalid,
  kEscapeHexEmpty,
  kEscapeHexInvalid,
  kEscapeHexInvalidDigit,
  kEscapeUnexpectedEof,
  kEscapeUnrecognized,
  kFlagDanglingNegation,
  kFlagDuplicate,
  kFlagRepeatedNegation,
  kFlagUnexpectedEof,
  kFlagUnrecognized,
  kGroupNameDuplicate,
  kGroupNameEmpty,
  kGroupNameInvalid,
  kGroupNameUnexpectedEof,
  kGroupUnclosed,
  kGroupUnopened,
  kNestLimitExceeded,
  kRepetitionCountInvalid,
  kRepetitionCountDecimalEmpty,
  kRepetitionCountUnclosed,
  kRepetitionMissing,
  kSpecialWordBoundaryUnclosed,
  kSpecialWordBoundaryUnrecognized,
  kSpecialWordOrRepetitionUnexpectedEof,
  kUnicodeClassInvalid,
  kUnsupportedBackreference,
  kUnsupportedLookAround,
  // Meaning (after the syntax is read).
  kUnicodeNotAllowed,
  kInvalidUtf8,
  kUnicodePropertyNotFound,
  kUnicodePropertyValueNotFound,
  // Compilation.
  kCompiledTooBig,
};

inline constexpr std::uint32_t kNestLimit = 250;
inline constexpr std::size_t kSizeLimit = 10 * (1u << 20);

struct Error {
  ErrorKind kind{};
  std::string pattern;
  Span span;
  std::optional<Span> aux_span;  // the first of two clashing flags or names

  // The short description of the kind ("unclosed group").
  std::string description() const;
  // The full display: the pattern with carets under the error's spans and
  // "error: ..." (or the size-limit sentence), without a final newline.
  std::string to_string() const;
};

}  // namespace qv::regex
