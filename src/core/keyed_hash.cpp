#include "core/keyed_hash.hpp"

#include <sys/random.h>

#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <string>

#include "core/panic.hpp"

namespace qv::core {

namespace {

struct SipState {
  std::uint64_t v0, v1, v2, v3;
  void round() noexcept {
    v0 += v1;
    v1 = std::rotl(v1, 13);
    v1 ^= v0;
    v0 = std::rotl(v0, 32);
    v2 += v3;
    v3 = std::rotl(v3, 16);
    v3 ^= v2;
    v0 += v3;
    v3 = std::rotl(v3, 21);
    v3 ^= v0;
    v2 += v1;
    v1 = std::rotl(v1, 17);
    v1 ^= v2;
    v2 = std::rotl(v2, 32);
  }
};

std::uint64_t load_le64(const unsigned char* p) noexcept {
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

struct ProcessKey {
  std::uint64_t k0 = 0, k1 = 0;
  // A key nobody can predict is what keeps the tables unfloodable: a failing
  // source (no kernel source, or the call refused) is a broken invariant,
  // never a fixed key. The key is then left undrawn, and the next use tries
  // again.
  ProcessKey() {
    std::array<unsigned char, 16> bytes{};
    if (getentropy(bytes.data(), bytes.size()) != 0) {
      const int err = errno;
      panic("Error: " + std::string(std::strerror(err)) + " (os error " + std::to_string(err) + ")");
    }
    k0 = load_le64(bytes.data());
    k1 = load_le64(bytes.data() + 8);
  }
};

}  // namespace

std::uint64_t siphash13(std::uint64_t k0, std::uint64_t k1, std::string_view bytes) noexcept {
  SipState s{k0 ^ 0x736f6d6570736575ull, k1 ^ 0x646f72616e646f6dull, k0 ^ 0x6c7967656e657261ull,
             k1 ^ 0x7465646279746573ull};
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  const std::size_t whole = n & ~std::size_t{7};
  for (std::size_t i = 0; i < whole; i += 8) {
    const std::uint64_t m = load_le64(p + i);
    s.v3 ^= m;
    s.round();
    s.v0 ^= m;
  }
  std::uint64_t last = static_cast<std::uint64_t>(n) << 56;
  for (std::size_t i = 0; i < (n & 7); ++i) last |= static_cast<std::uint64_t>(p[whole + i]) << (8 * i);
  s.v3 ^= last;
  s.round();
  s.v0 ^= last;
  s.v2 ^= 0xff;
  s.round();
  s.round();
  s.round();
  return s.v0 ^ s.v1 ^ s.v2 ^ s.v3;
}

std::uint64_t keyed_hash(std::string_view bytes) {
  static const ProcessKey key;
  return siphash13(key.k0, key.k1, bytes);
}

}  // namespace qv::core
