// FNV-1a over whole values, for the component's interning tables and
// bounded caches. Internal to the regex component.
#pragma once

#include <cstdint>

namespace qv::regex {

struct Fnv1a {
  std::uint64_t value = 0xcbf29ce484222325ull;
  Fnv1a& add(std::uint64_t v) {
    value = (value ^ v) * 0x100000001b3ull;
    return *this;
  }
};

}  // namespace qv::regex
