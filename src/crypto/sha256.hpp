#pragma once
// SHA-256 (FIPS 180-4).
#include <array>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace qv::crypto {

using Sha256Digest = std::array<unsigned char, 32>;

// SHA-256 of the bytes. Cannot fail.
Sha256Digest sha256(std::span<const unsigned char> bytes);
Sha256Digest sha256(std::string_view bytes);

// SHA-256 as 64 lower-case hex digits.
std::string sha256_hex(std::string_view bytes);

// Incremental hashing of data that arrives in pieces.
class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void update(std::string_view bytes);
  void update(std::span<const unsigned char> bytes);
  // The digest of everything given so far; the hasher starts afresh.
  Sha256Digest finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace qv::crypto
