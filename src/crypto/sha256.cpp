#include "crypto/sha256.hpp"

#include <openssl/evp.h>

#include "core/panic.hpp"
#include "crypto/hex.hpp"

namespace qv::crypto {

namespace {

const EVP_MD* sha256_md() {
  // Fetched once; the implementation is process-wide and never freed.
  static const EVP_MD* md = [] {
    const EVP_MD* fetched = EVP_MD_fetch(nullptr, "SHA256", nullptr);
    return fetched != nullptr ? fetched : EVP_sha256();
  }();
  return md;
}

}  // namespace

Sha256Digest sha256(std::span<const unsigned char> bytes) {
  Sha256Digest out{};
  unsigned int len = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), out.data(), &len, sha256_md(), nullptr) != 1 || len != out.size()) {
    core::panic("SHA-256 failed");
  }
  return out;
}

Sha256Digest sha256(std::string_view bytes) {
  return sha256(std::span(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()));
}

std::string sha256_hex(std::string_view bytes) { return hex_encode(sha256(bytes)); }

struct Sha256::State {
  EVP_MD_CTX* ctx = nullptr;
  ~State() { EVP_MD_CTX_free(ctx); }
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
  state_->ctx = EVP_MD_CTX_new();
  if (state_->ctx == nullptr || EVP_DigestInit_ex(state_->ctx, sha256_md(), nullptr) != 1) {
    core::panic("SHA-256 failed");
  }
}

Sha256::~Sha256() = default;

void Sha256::update(std::span<const unsigned char> bytes) {
  if (EVP_DigestUpdate(state_->ctx, bytes.data(), bytes.size()) != 1) core::panic("SHA-256 failed");
}

void Sha256::update(std::string_view bytes) {
  update(std::span(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()));
}

Sha256Digest Sha256::finish() {
  Sha256Digest out{};
  unsigned int len = 0;
  if (EVP_DigestFinal_ex(state_->ctx, out.data(), &len) != 1 || len != out.size() ||
      EVP_DigestInit_ex(state_->ctx, sha256_md(), nullptr) != 1) {
    core::panic("SHA-256 failed");
  }
  return out;
}

}  // namespace qv::crypto
