#pragma once
// A failure of the YAML layer: the message, the path of the node it concerns
// and where that node starts. The parser's own messages already carry their
// positions in their text.
#include <cstddef>
#include <expected>
#include <optional>
#include <string>

#include "core/error.hpp"

namespace qv::yaml {

// A place in the text: index (in characters, as the parser counts), line
// and column, all counted from 0.
struct Mark {
  std::size_t index = 0;
  std::size_t line = 0;
  std::size_t column = 0;
  bool operator==(const Mark&) const = default;
};

struct YamlError {
  std::string message;
  // The dotted path of the node ("decision.conflicts", "a[2]", ".[0]"); empty
  // at the root.
  std::string path;
  // Where the error stands; none for errors about the whole text.
  std::optional<Mark> mark;
  // The message is the parser's, with its positions already written in.
  bool from_parser = false;

  // "[path: ]message[ at line L column C]", lines and columns from 1; the
  // position is left out at the very start of the text.
  std::string display() const;
  bool operator==(const YamlError&) const = default;
};

template <class T>
using YamlResult = std::expected<T, YamlError>;

// A bare error: no path, no position.
inline YamlError bare_error(std::string message) { return YamlError{std::move(message), {}, std::nullopt, false}; }

inline constexpr const char* kEofWhileParsing = "EOF while parsing a value";
inline constexpr const char* kMoreThanOneDocument =
    "deserializing from YAML containing more than one document is not supported";
inline constexpr const char* kRecursionLimit = "recursion limit exceeded";
inline constexpr const char* kRepetitionLimit = "repetition limit exceeded";

// InvalidInput with the display text.
core::EngineError yaml_error_to_engine_error(const YamlError& error);

}  // namespace qv::yaml
