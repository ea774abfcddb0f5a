#pragma once
#include <array>
#include <cstddef>
#include <expected>
#include <optional>
#include <span>
#include <string_view>

namespace qv::crypto {

inline constexpr std::size_t kP256UncompressedSize = 65;
inline constexpr std::size_t kP256ScalarSize = 32;
inline constexpr std::size_t kP256RawSignatureSize = 64;

// A point of the NIST P-256 curve (not the identity), kept in the
// uncompressed SEC1 form 0x04 || X || Y.
class P256PublicKey {
 public:
  const std::array<unsigned char, kP256UncompressedSize>& uncompressed() const { return bytes_; }

  friend std::optional<P256PublicKey> p256_key_from_sec1(std::span<const unsigned char> bytes);

 private:
  P256PublicKey() = default;
  std::array<unsigned char, kP256UncompressedSize> bytes_{};
};

// Reads a SEC1-encoded point: 0x02/0x03 || X (33 bytes, compressed),
// 0x04 || X || Y (65 bytes) or 0x05 || X (33 bytes, compact: y is the smaller
// of the two roots, min(y, p - y)). Coordinates must be below the field
// prime and the point on the curve. Every other first byte is refused before
// the library sees the bytes: 0x00 (the identity) and the hybrid forms
// 0x06/0x07 among them.
std::optional<P256PublicKey> p256_key_from_sec1(std::span<const unsigned char> bytes);

// Reads a DER SubjectPublicKeyInfo: algorithm id-ecPublicKey with the named
// curve prime256v1, and a bit string (no unused bits) holding a SEC1 point
// read as by p256_key_from_sec1. Strict DER, nothing after the structure.
std::optional<P256PublicKey> p256_key_from_spki_der(std::span<const unsigned char> der);

// An ECDSA signature: r and s as 32-byte big-endian integers, each in
// 1 .. n - 1 where n is the order of the group.
struct P256Signature {
  std::array<unsigned char, kP256ScalarSize> r{};
  std::array<unsigned char, kP256ScalarSize> s{};

  std::array<unsigned char, kP256RawSignatureSize> to_bytes() const;  // r || s
};

// Exactly 64 bytes r || s with both halves in range.
std::optional<P256Signature> p256_signature_from_bytes(std::span<const unsigned char> bytes);

// A DER ECDSA-Sig-Value (SEQUENCE of the INTEGERs r and s): strict DER
// (minimal lengths and integers, no negative values, nothing after the
// structure), both values in range.
std::optional<P256Signature> p256_signature_from_der(std::span<const unsigned char> der);

// The low form of a signature: s above floor(n / 2) becomes n - s; s equal
// to floor(n / 2) stays. Both forms verify alike.
P256Signature p256_low_s(const P256Signature& signature);

// ECDSA verification over the SHA-256 digest of `message`. Low and high s
// are both accepted.
bool p256_verify_sha256(const P256PublicKey& key, std::span<const unsigned char> message,
                        const P256Signature& signature);

// The forms a key service may hand over, brought to the stored forms.
inline constexpr std::string_view kNotAP256PublicKey = "not a P-256 public key (SEC1 or SubjectPublicKeyInfo DER)";
inline constexpr std::string_view kNotAP256Signature = "not a P-256 ECDSA signature (r||s or DER)";

// A SEC1 point, else a SubjectPublicKeyInfo; as uncompressed SEC1. The
// error is kNotAP256PublicKey.
std::expected<std::array<unsigned char, kP256UncompressedSize>, std::string_view> normalize_p256_key(
    std::span<const unsigned char> bytes);

// 64 bytes r || s in range, else DER; in low-s form as r || s. The error is
// kNotAP256Signature.
std::expected<std::array<unsigned char, kP256RawSignatureSize>, std::string_view> normalize_p256_signature(
    std::span<const unsigned char> bytes);

}  // namespace qv::crypto
