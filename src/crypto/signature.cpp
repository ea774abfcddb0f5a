#include "crypto/signature.hpp"

#include <array>
#include <span>

#include "crypto/ed25519.hpp"
#include "crypto/hex.hpp"
#include "crypto/p256.hpp"

namespace qv::crypto {

namespace {

std::span<const unsigned char> bytes_of(std::string_view text) {
  return {reinterpret_cast<const unsigned char*>(text.data()), text.size()};
}

}  // namespace

std::optional<SignatureAlgorithm> signature_algorithm_from_name(std::string_view name) {
  if (name == kEd25519Name) return SignatureAlgorithm::Ed25519;
  if (name == kEcdsaP256Sha256Name) return SignatureAlgorithm::EcdsaP256Sha256;
  return std::nullopt;
}

std::string_view signature_failure_text(SignatureFailure failure) {
  switch (failure) {
    case SignatureFailure::Ed25519BadPublicKey: return "bad public key";
    case SignatureFailure::Ed25519KeyNotAPoint: return "signature error: Cannot decompress Edwards point";
    case SignatureFailure::Ed25519BadSignatureEncoding: return "bad signature encoding";
    case SignatureFailure::P256BadPublicKeyEncoding: return "bad public key encoding";
    case SignatureFailure::P256BadPublicKey: return "bad P-256 public key";
    case SignatureFailure::P256BadSignatureEncoding: return "bad signature encoding";
    case SignatureFailure::P256BadSignature: return "bad P-256 signature";
    case SignatureFailure::DoesNotVerify: return "signature does not verify";
  }
  return {};
}

bool signature_failure_names_signer(SignatureFailure failure) {
  switch (failure) {
    case SignatureFailure::Ed25519BadPublicKey:
    case SignatureFailure::Ed25519KeyNotAPoint:
    case SignatureFailure::Ed25519BadSignatureEncoding:
      return false;
    default:
      return true;
  }
}

std::string signature_failure_message(SignatureFailure failure, std::string_view signer) {
  std::string out;
  if (signature_failure_names_signer(failure)) {
    out.append(signer);
    out.append(": ");
  }
  out.append(signature_failure_text(failure));
  return out;
}

std::expected<void, SignatureFailure> verify_ed25519_hex(std::string_view message, std::string_view signature_hex,
                                                         std::string_view public_key_hex) {
  std::array<unsigned char, kPublicKeySize> key{};
  if (!decode_hex_into(public_key_hex, key)) return std::unexpected(SignatureFailure::Ed25519BadPublicKey);
  std::array<unsigned char, kSignatureSize> sig{};
  const bool sig_ok = decode_hex_into(signature_hex, sig).has_value();
  // A signature that verifies proves the key decompresses, so the separate
  // curve test runs only to name the cause of a failure.
  if (sig_ok && ed25519_verify_raw(key, bytes_of(message), sig)) return {};
  if (!ed25519_key_from_bytes(key)) return std::unexpected(SignatureFailure::Ed25519KeyNotAPoint);
  if (!sig_ok) return std::unexpected(SignatureFailure::Ed25519BadSignatureEncoding);
  return std::unexpected(SignatureFailure::DoesNotVerify);
}

std::expected<void, SignatureFailure> verify_p256_sha256(std::string_view message, std::string_view signature_hex,
                                                         std::string_view public_key_hex) {
  const auto key_bytes = decode_hex(public_key_hex);
  if (!key_bytes) return std::unexpected(SignatureFailure::P256BadPublicKeyEncoding);
  const auto key = p256_key_from_sec1(*key_bytes);
  if (!key) return std::unexpected(SignatureFailure::P256BadPublicKey);
  const auto sig_bytes = decode_hex(signature_hex);
  if (!sig_bytes) return std::unexpected(SignatureFailure::P256BadSignatureEncoding);
  const auto sig = p256_signature_from_bytes(*sig_bytes);
  if (!sig) return std::unexpected(SignatureFailure::P256BadSignature);
  if (!p256_verify_sha256(*key, bytes_of(message), *sig)) return std::unexpected(SignatureFailure::DoesNotVerify);
  return {};
}

std::expected<void, SignatureFailure> verify_signature_hex(SignatureAlgorithm algorithm, std::string_view message,
                                                           std::string_view signature_hex,
                                                           std::string_view public_key_hex) {
  switch (algorithm) {
    case SignatureAlgorithm::Ed25519: return verify_ed25519_hex(message, signature_hex, public_key_hex);
    case SignatureAlgorithm::EcdsaP256Sha256: return verify_p256_sha256(message, signature_hex, public_key_hex);
  }
  return std::unexpected(SignatureFailure::DoesNotVerify);
}

}  // namespace qv::crypto
