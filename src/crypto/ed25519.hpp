#pragma once
#include <array>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>

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
  // Signs the UTF-8 bytes of a text (a record or document hash).
  std::array<unsigned char, kSignatureSize> sign_text(std::string_view message) const {
    return sign(std::span<const unsigned char>(reinterpret_cast<const unsigned char*>(message.data()), message.size()));
  }

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

// A fresh seed in lower-case hex, for a caller to keep. Its key is derived
// once, which checks that the seed is usable.
SecretText generate_seed_hex();

// The Ed25519 key of a seed given as hex of either case; none when the text
// is not hex or not exactly 32 bytes. The decoded seed is wiped.
std::optional<SigningKey> signing_key_from_seed_hex(std::string_view seed_hex);

// Why 32 bytes are no Ed25519 public key.
inline constexpr std::string_view kCannotDecompressEdwardsPoint = "Cannot decompress Edwards point";

struct Ed25519KeyError {
  std::string_view cause = kCannotDecompressEdwardsPoint;
  // "signature error: Cannot decompress Edwards point"
  std::string display() const { return "signature error: " + std::string(cause); }
};

// An Ed25519 public key whose 32 bytes decompress to a curve point.
class Ed25519PublicKey {
 public:
  const std::array<unsigned char, kPublicKeySize>& bytes() const { return bytes_; }

  friend std::expected<Ed25519PublicKey, Ed25519KeyError> ed25519_key_from_bytes(
      std::span<const unsigned char, kPublicKeySize> bytes);

 private:
  Ed25519PublicKey() = default;
  std::array<unsigned char, kPublicKeySize> bytes_{};
};

// A public key from its compressed encoding. Decompression is lenient: the
// y coordinate is not range-checked and x = 0 with the sign bit set is
// accepted; only a y for which no x exists is refused.
std::expected<Ed25519PublicKey, Ed25519KeyError> ed25519_key_from_bytes(
    std::span<const unsigned char, kPublicKeySize> bytes);

// RFC 8032 verification of `signature` over `message` (pure Ed25519). The
// scalar half must be canonical (below the group order). Stricter than the
// decompression test above: keys whose encoding is not canonical (y >= p),
// public keys and R values of small order do not verify.
bool ed25519_verify(const Ed25519PublicKey& key, std::span<const unsigned char> message,
                    std::span<const unsigned char, kSignatureSize> signature);

// The same verification on 32 key bytes that have not been through
// ed25519_key_from_bytes. Success implies that they decompress.
bool ed25519_verify_raw(std::span<const unsigned char, kPublicKeySize> key, std::span<const unsigned char> message,
                        std::span<const unsigned char, kSignatureSize> signature);

}  // namespace qv::crypto
