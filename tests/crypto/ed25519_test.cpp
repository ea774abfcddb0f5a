#include <gtest/gtest.h>
#include <openssl/bn.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "common/ed25519_rfc8032.hpp"
#include "crypto/ed25519.hpp"
#include "crypto/edwards_y.hpp"
#include "crypto/hex.hpp"
#include "crypto/random.hpp"
#include "crypto/signature.hpp"

namespace {

using qv::crypto::decode_hex;
using qv::crypto::hex_encode;
using qv::crypto::SignatureFailure;

std::vector<unsigned char> unhex(const std::string& hex) { return decode_hex(hex).value(); }

std::array<unsigned char, 32> bytes32(const std::string& hex) {
  std::array<unsigned char, 32> out{};
  EXPECT_TRUE(qv::crypto::decode_hex_into(hex, out));
  return out;
}

std::array<unsigned char, 64> bytes64(const std::string& hex) {
  std::array<unsigned char, 64> out{};
  EXPECT_TRUE(qv::crypto::decode_hex_into(hex, out));
  return out;
}

std::string text_of(const std::vector<unsigned char>& bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST(Ed25519, RfcVectorsSignAndVerify) {
  const auto cases = qv::testing::ed25519_rfc8032_cases();
  ASSERT_EQ(cases.size(), 5u);  // tests 1, 2, 3, 1024 and SHA(abc)
  for (const auto& c : cases) {
    const auto key = qv::crypto::signing_key_from_seed(bytes32(c.seed));
    EXPECT_EQ(hex_encode(key.public_key()), c.public_key);
    const auto message = unhex(c.message);
    EXPECT_EQ(hex_encode(key.sign(message)), c.signature);
    EXPECT_EQ(hex_encode(key.seed()), c.seed);

    const auto pk = qv::crypto::ed25519_key_from_bytes(bytes32(c.public_key));
    ASSERT_TRUE(pk);
    EXPECT_TRUE(qv::crypto::ed25519_verify(*pk, message, bytes64(c.signature)));
    auto changed = message;
    changed.push_back(0);
    EXPECT_FALSE(qv::crypto::ed25519_verify(*pk, changed, bytes64(c.signature)));

    // The hex-level check accepts either case.
    std::string upper = c.public_key;
    for (auto& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    EXPECT_TRUE(qv::crypto::verify_ed25519_hex(text_of(message), c.signature, upper));
  }
}

TEST(Ed25519, GeneratedKeysDiffer) {
  const auto a = qv::crypto::generate_signing_key();
  const auto b = qv::crypto::generate_signing_key();
  EXPECT_NE(hex_encode(a.seed()), hex_encode(b.seed()));
  EXPECT_NE(a.public_key(), b.public_key());
}

TEST(Ed25519, SeedFromHexNeedsExactly32Bytes) {
  const std::string seed = "9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60";
  std::string upper = seed;
  for (auto& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  const auto key = qv::crypto::signing_key_from_seed_hex(upper);
  ASSERT_TRUE(key);
  EXPECT_EQ(hex_encode(key->public_key()), "d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a");
  EXPECT_FALSE(qv::crypto::signing_key_from_seed_hex(seed.substr(2)));
  EXPECT_FALSE(qv::crypto::signing_key_from_seed_hex(seed + "00"));
  EXPECT_FALSE(qv::crypto::signing_key_from_seed_hex("0x" + seed.substr(2)));
  EXPECT_FALSE(qv::crypto::signing_key_from_seed_hex(seed.substr(1)));
}

// Legendre symbol of (y^2 - 1)(d y^2 + 1) mod p, computed with the big-number
// library: an independent oracle for the decompression test.
bool oracle_decompresses(const std::array<unsigned char, 32>& encoded) {
  std::unique_ptr<BN_CTX, decltype(&BN_CTX_free)> ctx(BN_CTX_new(), BN_CTX_free);
  auto bn = [] { return std::unique_ptr<BIGNUM, decltype(&BN_free)>(BN_new(), BN_free); };
  auto p = bn(), d = bn(), y = bn(), t = bn(), u = bn(), v = bn(), inv = bn(), one = bn();
  BN_one(one.get());
  BN_set_bit(t.get(), 255);
  BN_sub_word(t.get(), 19);
  BN_copy(p.get(), t.get());
  // d = -121665 / 121666 mod p
  BN_set_word(t.get(), 121666);
  BN_mod_inverse(inv.get(), t.get(), p.get(), ctx.get());
  BN_set_word(t.get(), 121665);
  BN_mod_mul(d.get(), t.get(), inv.get(), p.get(), ctx.get());
  BN_sub(d.get(), p.get(), d.get());
  std::array<unsigned char, 32> le = encoded;
  le[31] &= 0x7f;
  BN_lebin2bn(le.data(), 32, y.get());
  BN_mod_sqr(t.get(), y.get(), p.get(), ctx.get());
  BN_mod_sub(u.get(), t.get(), one.get(), p.get(), ctx.get());
  BN_mod_mul(v.get(), t.get(), d.get(), p.get(), ctx.get());
  BN_mod_add(v.get(), v.get(), one.get(), p.get(), ctx.get());
  BN_mod_mul(t.get(), u.get(), v.get(), p.get(), ctx.get());
  return BN_kronecker(t.get(), p.get(), ctx.get()) >= 0;
}

// The smallest y whose encoding has no curve point, by the oracle.
std::array<unsigned char, 32> first_non_point() {
  for (unsigned y = 2; y < 256; ++y) {
    std::array<unsigned char, 32> e{};
    e[0] = static_cast<unsigned char>(y);
    if (!oracle_decompresses(e)) return e;
  }
  ADD_FAILURE() << "no y below 256 without a point";
  return {};
}

TEST(Ed25519Decompression, AgreesWithAnIndependentSquareTest) {
  int refused = 0;
  std::vector<std::array<unsigned char, 32>> inputs;
  for (unsigned y = 0; y < 300; ++y) {
    std::array<unsigned char, 32> e{};
    e[0] = static_cast<unsigned char>(y & 0xff);
    e[1] = static_cast<unsigned char>(y >> 8);
    inputs.push_back(e);
    e[31] = 0x80;  // sign bit: no influence on the test
    inputs.push_back(e);
  }
  for (int i = 0; i < 300; ++i) {
    std::array<unsigned char, 32> e{};
    qv::crypto::os_random_bytes(e);
    inputs.push_back(e);
  }
  // Every value from p - 1 up to 2^255 - 1 (the top ones not reduced).
  for (unsigned k = 0; k <= 19; ++k) {
    std::array<unsigned char, 32> e{};
    e.fill(0xff);
    e[31] = 0x7f;
    e[0] = static_cast<unsigned char>(0xff - k);  // 2^255 - 1 - k
    inputs.push_back(e);
  }
  for (const auto& e : inputs) {
    const bool want = oracle_decompresses(e);
    EXPECT_EQ(qv::crypto::edwards_y_decompresses(e), want) << hex_encode(e);
    refused += want ? 0 : 1;
  }
  EXPECT_GT(refused, 100);  // about half of all y have no point
}

TEST(Ed25519Decompression, IsLenientAboutRangeAndSign) {
  // y = 1 with the sign bit set (x = 0 "negative"), y = p - 1 likewise.
  EXPECT_TRUE(qv::crypto::ed25519_key_from_bytes(bytes32("01000000000000000000000000000000000000000000000000000000000000" "80")));
  EXPECT_TRUE(qv::crypto::ed25519_key_from_bytes(bytes32("ecffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff")));
  // y = p + 1, a non-canonical encoding of the neutral point.
  EXPECT_TRUE(qv::crypto::ed25519_key_from_bytes(bytes32("eeffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f")));
  auto no_point = first_non_point();
  const auto refused = qv::crypto::ed25519_key_from_bytes(no_point);
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().display(), "signature error: Cannot decompress Edwards point");
}

TEST(Ed25519Seal, FailureMessagesInCheckOrder) {
  const auto key = qv::crypto::signing_key_from_seed(bytes32("4ccd089b28ff96da9db6c346ec114e0f5b8a319f35aba624da8cf6ed4fb8a6fb"));
  const std::string message = "sha256:0000000000000000000000000000000000000000000000000000000000000000";
  const std::string pk = hex_encode(key.public_key());
  const std::string sig = hex_encode(key.sign_text(message));
  auto failure = [&](const std::string& m, const std::string& s, const std::string& k) {
    const auto r = qv::crypto::verify_ed25519_hex(m, s, k);
    return r ? std::string("ok") : qv::crypto::signature_failure_message(r.error(), "rec_a");
  };
  EXPECT_EQ(failure(message, sig, pk), "ok");
  EXPECT_EQ(failure(message, sig, pk.substr(2)), "bad public key");
  EXPECT_EQ(failure(message, sig, "g" + pk.substr(1)), "bad public key");
  EXPECT_EQ(failure(message, sig, pk + "0"), "bad public key");
  // A key that is no point is refused before the signature is read.
  const std::string not_a_point = hex_encode(first_non_point());
  EXPECT_EQ(failure(message, sig, not_a_point), "signature error: Cannot decompress Edwards point");
  EXPECT_EQ(failure(message, "zz", not_a_point), "signature error: Cannot decompress Edwards point");
  EXPECT_EQ(failure(message, sig.substr(2), pk), "bad signature encoding");
  EXPECT_EQ(failure(message, sig + "0", pk), "bad signature encoding");
  EXPECT_EQ(failure(message, sig.substr(0, 127) + "x", pk), "bad signature encoding");
  EXPECT_EQ(failure(message + " ", sig, pk), "rec_a: signature does not verify");
  EXPECT_EQ(failure(message, sig, hex_encode(qv::crypto::generate_signing_key().public_key())),
            "rec_a: signature does not verify");
}

TEST(Ed25519Seal, SignatureOverRawDigestBytesDoesNotVerifyTheText) {
  const auto key = qv::crypto::generate_signing_key();
  const std::string digest_hex = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";
  const std::string message = "sha256:" + digest_hex;
  const auto sig = key.sign(unhex(digest_hex));
  const auto r = qv::crypto::verify_ed25519_hex(message, hex_encode(sig), hex_encode(key.public_key()));
  ASSERT_FALSE(r);
  EXPECT_EQ(r.error(), SignatureFailure::DoesNotVerify);
}

TEST(Ed25519Seal, RefusesNonCanonicalScalarAndSmallOrderKeys) {
  const auto key = qv::crypto::generate_signing_key();
  const std::string message = "record hash";
  auto sig = key.sign_text(message);
  // The top three bits of s must be clear: a verifier that ignored them
  // would take s + 2^255 (or + 2^253) for s.
  for (unsigned char bit : {0x80, 0x40, 0x20}) {
    auto high = sig;
    high[63] |= bit;
    EXPECT_EQ(qv::crypto::verify_ed25519_hex(message, hex_encode(high), hex_encode(key.public_key())).error(),
              SignatureFailure::DoesNotVerify);
  }
  // s + l (little-endian) is the same scalar, written non-canonically.
  const auto order = bytes32("edd3f55c1a631258d69cf7a2def9de1400000000000000000000000000000010");
  unsigned carry = 0;
  for (std::size_t i = 0; i < 32; ++i) {
    const unsigned sum = sig[32 + i] + order[i] + carry;
    sig[32 + i] = static_cast<unsigned char>(sum);
    carry = sum >> 8;
  }
  EXPECT_EQ(qv::crypto::verify_ed25519_hex(message, hex_encode(sig), hex_encode(key.public_key())).error(),
            SignatureFailure::DoesNotVerify);
  // The neutral point as key with R = neutral and s = 0 satisfies the
  // verification equation; keys of small order are refused all the same.
  const std::string neutral = "01" + std::string(62, '0');
  EXPECT_EQ(qv::crypto::verify_ed25519_hex(message, neutral + std::string(64, '0'), neutral).error(),
            SignatureFailure::DoesNotVerify);
}

}  // namespace
