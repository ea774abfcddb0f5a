#pragma once
#include <array>
#include <span>

#include "crypto/secret.hpp"

namespace qv::crypto {

inline constexpr std::size_t kSeedSize = 32;
inline constexpr std::size_t kPublicKeySize = 32;
inline constexpr std::size_t kSignatureSize = 64;

// An Ed25519 signing key: the seed and the expanded secret key, both wiped
// when the key is destroyed.
class SigningKey {
 public:
  SigningKey(const SigningKey&) = delete;
  SigningKey& operator=(const SigningKey&) = delete;
  SigningKey(SigningKey&&) noexcept = default;
  SigningKey& operator=(SigningKey&&) noexcept = default;

  const std::array<unsigned char, kPublicKeySize>& public_key() const { return public_key_; }
  std::span<const unsigned char, kSeedSize> seed() const { return std::span<const unsigned char, kSeedSize>(seed_.data(), kSeedSize); }
  std::array<unsigned char, kSignatureSize> sign(std::span<const unsigned char> message) const;

  friend SigningKey signing_key_from_seed(std::span<const unsigned char, kSeedSize> seed);

 private:
  SigningKey() = default;
  SecretBytes<kSeedSize> seed_;
  SecretBytes<64> secret_key_;  // libsodium's seed || public key form
  std::array<unsigned char, kPublicKeySize> public_key_{};
};

// The Ed25519 key of a 32-byte seed.
SigningKey signing_key_from_seed(std::span<const unsigned char, kSeedSize> seed);

// An Ed25519 key from 32 fresh bytes of the operating system's random source.
SigningKey generate_signing_key();

}  // namespace qv::crypto
