// The keyed hash for every table whose keys come from callers. A public,
// fixed-seed hash lets a caller choose keys that all collide and turn each
// insertion into a scan of the table; SipHash-1-3 under a key drawn once per
// process from the OS's randomness leaves no such choice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace qv::core {

// SipHash-1-3 of `bytes` under `key` (two 64-bit halves).
std::uint64_t siphash13(std::uint64_t k0, std::uint64_t k1, std::string_view bytes) noexcept;

// SipHash-1-3 of `bytes` under this process's key, drawn from the OS's
// random source on first use. A source that fails panics with "Error: {}"
// and the system's error text; the key is drawn again on the next use.
std::uint64_t keyed_hash(std::string_view bytes);

// Hash functor over texts; transparent, so a table of std::string looks up a
// std::string_view without a copy.
struct TextHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const { return keyed_hash(text); }
};

// Text-keyed tables on the keyed hash.
template <class V>
using TextMap = std::unordered_map<
    std::string, V, TextHash, std::equal_to<>>;
using TextSet = std::unordered_set<
    std::string, TextHash, std::equal_to<>>;
// For keys that live elsewhere (views into an input held for the table's life).
template <class V>
using TextViewMap = std::unordered_map<
    std::string_view, V, TextHash, std::equal_to<>>;
using TextViewSet = std::unordered_set<
    std::string_view, TextHash, std::equal_to<>>;

}  // namespace qv::core
