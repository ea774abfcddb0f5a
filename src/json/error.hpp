#pragma once
// A failure of the JSON layer: a message and, when known, the position
// (line from 1, column in bytes; line 0 means no position).
#include <cstddef>
#include <expected>
#include <string>

#include "core/error.hpp"

namespace qv::json {

struct JsonError {
  std::string message;
  std::size_t line = 0;
  std::size_t column = 0;

  bool has_position() const { return line != 0; }
  // "{message} at line {line} column {column}", or the bare message when
  // there is no position.
  std::string display() const;
  bool operator==(const JsonError&) const = default;
};

template <class T>
using JsonResult = std::expected<T, JsonError>;

// A JSON failure as the engine reports it: Serialisation with the display
// text above.
core::EngineError json_error_to_engine_error(const JsonError& error);

}  // namespace qv::json
