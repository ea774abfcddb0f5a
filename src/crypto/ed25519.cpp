#include "crypto/ed25519.hpp"

#include <sodium.h>

#include <cstring>

#include "core/panic.hpp"
#include "crypto/edwards_y.hpp"
#include "crypto/hex.hpp"
#include "crypto/random.hpp"

namespace qv::crypto {

namespace {
void ensure_sodium() {
  static const int status = sodium_init();
  if (status < 0) core::panic("libsodium could not be initialised");
}
}  // namespace

SigningKey signing_key_from_seed(std::span<const unsigned char, kSeedSize> seed) {
  ensure_sodium();
  SigningKey key;
  std::memcpy(key.seed_.data(), seed.data(), kSeedSize);
  crypto_sign_seed_keypair(key.public_key_.data(), key.secret_key_.data(), key.seed_.data());
  return key;
}

SigningKey generate_signing_key() {
  SecretBytes<kSeedSize> seed;
  os_random_bytes(std::span<unsigned char>(seed.data(), kSeedSize));
  return signing_key_from_seed(std::span<const unsigned char, kSeedSize>(seed.data(), kSeedSize));
}

SecretText generate_seed_hex() {
  const SigningKey key = generate_signing_key();
  return SecretText(hex_encode(key.seed()));
}

std::optional<SigningKey> signing_key_from_seed_hex(std::string_view seed_hex) {
  SecretBytes<kSeedSize> seed;
  if (!decode_hex_into(seed_hex, std::span<unsigned char>(seed.data(), kSeedSize))) return std::nullopt;
  return signing_key_from_seed(std::span<const unsigned char, kSeedSize>(seed.data(), kSeedSize));
}

std::expected<Ed25519PublicKey, Ed25519KeyError> ed25519_key_from_bytes(
    std::span<const unsigned char, kPublicKeySize> bytes) {
  if (!edwards_y_decompresses(bytes)) return std::unexpected(Ed25519KeyError{});
  Ed25519PublicKey key;
  std::memcpy(key.bytes_.data(), bytes.data(), kPublicKeySize);
  return key;
}

bool ed25519_verify_raw(std::span<const unsigned char, kPublicKeySize> key, std::span<const unsigned char> message,
                        std::span<const unsigned char, kSignatureSize> signature) {
  ensure_sodium();
  static const unsigned char kEmpty = 0;
  const unsigned char* m = message.empty() ? &kEmpty : message.data();
  return crypto_sign_verify_detached(signature.data(), m, message.size(), key.data()) == 0;
}

bool ed25519_verify(const Ed25519PublicKey& key, std::span<const unsigned char> message,
                    std::span<const unsigned char, kSignatureSize> signature) {
  return ed25519_verify_raw(key.bytes(), message, signature);
}

std::array<unsigned char, kSignatureSize> SigningKey::sign(std::span<const unsigned char> message) const {
  std::array<unsigned char, kSignatureSize> sig{};
  crypto_sign_detached(sig.data(), nullptr, message.data(), message.size(), secret_key_.data());
  return sig;
}

}  // namespace qv::crypto
