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

// A context kept by each thread for one-shot digests, so that a digest
// allocates no context of its own: the engine takes many of short texts.
EVP_MD_CTX* kept_context() {
  struct Kept {
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    ~Kept() { EVP_MD_CTX_free(ctx); }
  };
  thread_local Kept kept;
  if (kept.ctx == nullptr) core::panic("SHA-256 failed");
  return kept.ctx;
}

}  // namespace

Sha256Digest sha256(std::span<const unsigned char> bytes) {
  EVP_MD_CTX* ctx = kept_context();
  Sha256Digest out{};
  unsigned int len = 0;
  if (EVP_DigestInit_ex(ctx, sha256_md(), nullptr) != 1 || EVP_DigestUpdate(ctx, bytes.data(), bytes.size()) != 1 ||
      EVP_DigestFinal_ex(ctx, out.data(), &len) != 1 || len != out.size()) {
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
