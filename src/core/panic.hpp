#pragma once
// A broken internal invariant. It aborts the current call; the module
// boundary turns it into PanicException. Never used for bad input.
#include <string>
#include <utility>

namespace qv::core {

struct Panic {
  std::string message;
};

[[noreturn]] inline void panic(std::string message) { throw Panic{std::move(message)}; }

}  // namespace qv::core
