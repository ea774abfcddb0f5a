// Reads arbitrary patterns: every input is accepted or refused with an error
// whose display can be built, without crashing or unbounded work.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "regex/hir.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 4096) return 0;
  const std::string_view pattern(reinterpret_cast<const char*>(data), size);
  auto r = qv::regex::parse(pattern);
  if (!r) {
    const std::string display = r.error().to_string();
    if (display.empty()) __builtin_trap();
  } else if (r->names.size() != r->captures_len) {
    __builtin_trap();
  }
  return 0;
}
