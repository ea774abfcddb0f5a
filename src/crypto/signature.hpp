#pragma once
#include <expected>
#include <optional>
#include <string>
#include <string_view>

namespace qv::crypto {

// The algorithms a stored signature may name, by their exact,
// case-sensitive texts "ed25519" and "ecdsa-p256-sha256".
enum class SignatureAlgorithm { Ed25519, EcdsaP256Sha256 };

inline constexpr std::string_view kEd25519Name = "ed25519";
inline constexpr std::string_view kEcdsaP256Sha256Name = "ecdsa-p256-sha256";

// None for any other text ("Ed25519" and "" included).
std::optional<SignatureAlgorithm> signature_algorithm_from_name(std::string_view name);

// Why a stored signature was refused, in the order the checks run.
enum class SignatureFailure {
  Ed25519BadPublicKey,          // "bad public key": not hex, or not 32 bytes
  Ed25519KeyNotAPoint,          // "signature error: Cannot decompress Edwards point"
  Ed25519BadSignatureEncoding,  // "bad signature encoding": not hex, or not 64 bytes
  P256BadPublicKeyEncoding,     // "{}: bad public key encoding": key not hex
  P256BadPublicKey,             // "{}: bad P-256 public key": not a SEC1 point of the curve
  P256BadSignatureEncoding,     // "{}: bad signature encoding": signature not hex
  P256BadSignature,             // "{}: bad P-256 signature": not 64 bytes, r or s out of range
  DoesNotVerify,                // "{}: signature does not verify"
};

// The failure's text without the signer's name.
std::string_view signature_failure_text(SignatureFailure failure);

// Whether the text is shown behind "{signer}: ". The three Ed25519 key and
// encoding texts stand alone; every other one names the record or document.
bool signature_failure_names_signer(SignatureFailure failure);

// The whole message, e.g. "rec_1_2: signature does not verify" or
// "bad public key".
std::string signature_failure_message(SignatureFailure failure, std::string_view signer);

// Ed25519 check of hex texts: key (32 bytes, a curve point), then signature
// (64 bytes), then RFC 8032 verification over `message`.
std::expected<void, SignatureFailure> verify_ed25519_hex(std::string_view message, std::string_view signature_hex,
                                                         std::string_view public_key_hex);

// ECDSA P-256 / SHA-256 check of hex texts: key hex, SEC1 point, signature
// hex, 64 bytes r || s in range, then verification over SHA-256(message);
// low and high s are both accepted.
std::expected<void, SignatureFailure> verify_p256_sha256(std::string_view message, std::string_view signature_hex,
                                                         std::string_view public_key_hex);

// Dispatches on the algorithm.
std::expected<void, SignatureFailure> verify_signature_hex(SignatureAlgorithm algorithm, std::string_view message,
                                                           std::string_view signature_hex,
                                                           std::string_view public_key_hex);

}  // namespace qv::crypto
