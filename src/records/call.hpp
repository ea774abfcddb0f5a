#pragma once
// What an operation offered to the module's callers gives back: its result,
// or why it failed. Input that cannot be read is reported in its reader's
// own words (a JSON error with its position, a hex error, a fixed text); a
// failure of the operation itself is the EngineError it returned, shown with
// its display text. Which failures count as failed integrity checks is the
// caller's to decide, from the EngineError's kind.
#include <expected>
#include <string>
#include <variant>

#include "core/error.hpp"

namespace qv::records {

struct InputError {
  std::string text;
};

using CallError = std::variant<InputError, core::EngineError>;

template <class T>
using CallResult = std::expected<T, CallError>;

// The text a caller sees: an input error's own text, or the engine error's
// display text.
inline std::string display(const CallError& error) {
  if (const auto* input = std::get_if<InputError>(&error)) return input->text;
  return std::get<core::EngineError>(error).display();
}

}  // namespace qv::records
