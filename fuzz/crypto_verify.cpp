// Hex decoding, key parsing and signature checks on arbitrary bytes: no
// crash, no undefined behaviour, and the decoders' results stay consistent.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

#include "crypto/ed25519.hpp"
#include "crypto/hex.hpp"
#include "crypto/p256.hpp"
#include "crypto/signature.hpp"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

bool valid_utf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (std::size_t k = 1; k < n; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xc0) != 0x80) return false;
    }
    i += n;
  }
  return true;
}

void fuzz_hex(std::string_view text) {
  const auto decoded = qv::crypto::decode_hex(text);
  if (decoded) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
      return static_cast<char>(c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c);
    });
    check(qv::crypto::hex_encode(*decoded) == lower);
  } else {
    const auto& e = decoded.error();
    check(valid_utf8(e.display()));
    if (e.kind == qv::crypto::HexError::Kind::InvalidCharacter) {
      check(text.size() % 2 == 0 && e.position < text.size() && static_cast<unsigned char>(text[e.position]) == e.byte);
    } else {
      check(e.kind == qv::crypto::HexError::Kind::OddLength && text.size() % 2 == 1);
    }
  }
  std::array<unsigned char, 32> fixed{};
  const auto into = qv::crypto::decode_hex_into(text, fixed);
  check(into.has_value() == (decoded.has_value() && decoded->size() == 32));
}

void fuzz_keys(std::span<const unsigned char> bytes) {
  if (const auto key = qv::crypto::p256_key_from_sec1(bytes)) {
    const auto again = qv::crypto::p256_key_from_sec1(key->uncompressed());
    check(again && again->uncompressed() == key->uncompressed());
    check(bytes[0] >= 0x02 && bytes[0] <= 0x05);
  }
  if (const auto key = qv::crypto::normalize_p256_key(bytes)) {
    check(qv::crypto::p256_key_from_sec1(*key).has_value());
  } else {
    check(key.error() == qv::crypto::kNotAP256PublicKey);
  }
  if (const auto sig = qv::crypto::normalize_p256_signature(bytes)) {
    const auto raw = qv::crypto::p256_signature_from_bytes(*sig);
    check(raw && qv::crypto::p256_low_s(*raw).s == raw->s);
  }
  if (bytes.size() >= 32) {
    const auto key = qv::crypto::ed25519_key_from_bytes(bytes.first<32>());
    if (!key) check(key.error().display() == "signature error: Cannot decompress Edwards point");
  }
}

// The text is "message \n signature hex \n key hex".
void fuzz_verify(std::string_view text) {
  const auto a = text.find('\n');
  if (a == std::string_view::npos) return;
  const auto b = text.find('\n', a + 1);
  if (b == std::string_view::npos) return;
  const auto message = text.substr(0, a);
  const auto sig = text.substr(a + 1, b - a - 1);
  const auto key = text.substr(b + 1);
  for (auto algorithm : {qv::crypto::SignatureAlgorithm::Ed25519, qv::crypto::SignatureAlgorithm::EcdsaP256Sha256}) {
    const auto r = qv::crypto::verify_signature_hex(algorithm, message, sig, key);
    if (!r) check(valid_utf8(qv::crypto::signature_failure_message(r.error(), "rec")));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const unsigned char> bytes(data, size);
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  fuzz_hex(text);
  fuzz_keys(bytes);
  fuzz_verify(text);
  return 0;
}
