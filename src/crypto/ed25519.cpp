#include "crypto/ed25519.hpp"

#include <sodium.h>

#include <cstring>

#include "core/panic.hpp"
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

std::array<unsigned char, kSignatureSize> SigningKey::sign(std::span<const unsigned char> message) const {
  std::array<unsigned char, kSignatureSize> sig{};
  crypto_sign_detached(sig.data(), nullptr, message.data(), message.size(), secret_key_.data());
  return sig;
}

}  // namespace qv::crypto
