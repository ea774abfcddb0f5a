// Texts that all share one value of libstdc++'s std::hash for strings, as a
// caller flooding a table on that hash would build them. The hash (a
// MurmurHash2 variant with a fixed, public seed) mixes 8-byte blocks with
// invertible steps, so after any first block the second block that brings
// the state to a chosen value can be computed: every key is 16 bytes, its
// first block a counter in hexadecimal, its second block solved for; keys
// whose solved block is not ASCII (not valid UTF-8 on its own) are passed
// over. ASCII keys may hold control characters: JSON writers escape them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace qv::testing {

namespace flood_detail {

inline constexpr std::uint64_t kMul = 0xc6a4a7935bd1e995ull;
inline constexpr std::uint64_t kSeed = 0xc70f6907ull;

constexpr std::uint64_t inverse(std::uint64_t odd) {
  std::uint64_t x = odd;  // right to 3 bits; each step doubles them
  for (int i = 0; i < 5; ++i) x *= 2 - odd * x;
  return x;
}
inline constexpr std::uint64_t kMulInverse = inverse(kMul);
static_assert(kMul * kMulInverse == 1);

constexpr std::uint64_t shift_mix(std::uint64_t v) { return v ^ (v >> 47); }  // its own inverse
constexpr std::uint64_t mix_block(std::uint64_t k) { return shift_mix(k * kMul) * kMul; }
constexpr std::uint64_t unmix_block(std::uint64_t d) { return shift_mix(d * kMulInverse) * kMulInverse; }

inline std::uint64_t load(const char* p) {
  std::uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

}  // namespace flood_detail

// `count` distinct 16-byte ASCII texts with one std::hash value.
inline std::vector<std::string> std_hash_colliding_keys(std::size_t count) {
  using namespace flood_detail;
  constexpr std::uint64_t kTarget = 0x5175696c6c617665ull;  // the state every key is brought to
  const std::uint64_t start = kSeed ^ (16 * kMul);
  std::vector<std::string> keys;
  keys.reserve(count);
  char key[16];
  for (std::uint64_t i = 0; keys.size() < count; ++i) {
    static const char kHex[] = "0123456789abcdef";
    for (int d = 0; d < 8; ++d) key[d] = kHex[(i >> (4 * (7 - d))) & 15];
    const std::uint64_t state = (start ^ mix_block(load(key))) * kMul;
    const std::uint64_t second = unmix_block(state ^ kTarget);
    if ((second & 0x8080808080808080ull) != 0) continue;
    std::memcpy(key + 8, &second, 8);
    keys.emplace_back(key, 16);
  }
  return keys;
}

}  // namespace qv::testing
