#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "crypto/hex.hpp"
#include "crypto/p256.hpp"
#include "crypto/signature.hpp"

namespace {

using qv::crypto::decode_hex;
using qv::crypto::hex_encode;
using qv::crypto::SignatureFailure;

std::vector<unsigned char> unhex(const std::string& hex) { return decode_hex(hex).value(); }

std::string lower(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// RFC 6979, A.2.5: the P-256 key and its SHA-256 signatures of "sample"
// (whose s is in the upper half of the group order) and "test".
const std::string kUx = lower("60FED4BA255A9D31C961EB74C6356D68C049B8923B61FA6CE669622E60F29FB6");
const std::string kUy = lower("7903FE1008B8BC99A41AE9E95628BC64F2F1B20C2D7E9F5177A3C294D4462299");
const std::string kSampleR = lower("EFD48B2AACB6A8FD1140DD9CD45E81D69D2C877B56AAF991C34D0EA84EAF3716");
const std::string kSampleS = lower("F7CB1C942D657C41D436C7A1B6E29F65F3E900DBB9AFF4064DC4AB2F843ACDA8");
const std::string kTestR = lower("F1ABB023518351CD71D881567B1EA663ED3EFCF6C5132B354F28D3B0B7D38367");
const std::string kTestS = lower("019F4113742A2B14BD25926B49C649155F267E60D3814B4C0CC84250E46F0083");
const std::string kOrder = "ffffffff00000000ffffffffffffffffbce6faada7179e84f3b9cac2fc632551";
const std::string kPrime = "ffffffff00000001000000000000000000000000ffffffffffffffffffffffff";
// The base point of the curve: its y is odd and below p / 2.
const std::string kGx = "6b17d1f2e12c4247f8bce6e563a440f277037d812deb33a0f4a13945d898c296";
const std::string kGy = "4fe342e2fe1a7f9b8ee7eb4a7c0f9e162bce33576b315ececbb6406837bf51f5";
const std::string kSpkiPrefixUncompressed = "3059301306072a8648ce3d020106082a8648ce3d030107034200";
const std::string kSpkiPrefixCompressed = "3039301306072a8648ce3d020106082a8648ce3d030107032200";

std::string verify(const std::string& message, const std::string& sig_hex, const std::string& key_hex) {
  const auto r = qv::crypto::verify_p256_sha256(message, sig_hex, key_hex);
  return r ? std::string("ok") : qv::crypto::signature_failure_message(r.error(), "rec_p");
}

// a - b for 32-byte big-endian numbers, a >= b.
std::string sub_be(const std::string& a_hex, const std::string& b_hex) {
  const auto a = unhex(a_hex), b = unhex(b_hex);
  std::vector<unsigned char> out(32);
  int borrow = 0;
  for (std::size_t i = 32; i-- > 0;) {
    int d = int{a[i]} - int{b[i]} - borrow;
    borrow = d < 0;
    out[i] = static_cast<unsigned char>(d + 256 * borrow);
  }
  return hex_encode(out);
}

TEST(P256, KnownKeyVerifiesInEveryPointForm) {
  const std::string uncompressed = "04" + kUx + kUy;
  const std::string compressed = "03" + kUx;  // Uy is odd
  const std::string compact = "05" + kUx;     // Uy is the smaller root
  for (const auto& key : {uncompressed, compressed, compact, lower(compressed)}) {
    EXPECT_EQ(verify("sample", kSampleR + kSampleS, key), "ok") << key;
    EXPECT_EQ(verify("test", kTestR + kTestS, key), "ok") << key;
    EXPECT_EQ(verify("test", kSampleR + kSampleS, key), "rec_p: signature does not verify") << key;
  }
  // Upper-case hex is read as well.
  std::string upper = uncompressed;
  for (auto& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(verify("sample", kSampleR + kSampleS, upper), "ok");
  // The other root of x is another key.
  EXPECT_EQ(verify("sample", kSampleR + kSampleS, "02" + kUx), "rec_p: signature does not verify");
}

TEST(P256, HighAndLowSBothVerifyAndNormalisationPicksLow) {
  const std::string key = "04" + kUx + kUy;
  const std::string low_s = sub_be(kOrder, kSampleS);
  EXPECT_EQ(verify("sample", kSampleR + low_s, key), "ok");
  const auto normalised = qv::crypto::normalize_p256_signature(unhex(kSampleR + kSampleS));
  ASSERT_TRUE(normalised);
  EXPECT_EQ(hex_encode(*normalised), kSampleR + low_s);
  // A low s stays; n - s of it is high and verifies too.
  EXPECT_EQ(hex_encode(qv::crypto::normalize_p256_signature(unhex(kTestR + kTestS)).value()), kTestR + kTestS);
  EXPECT_EQ(verify("test", kTestR + sub_be(kOrder, kTestS), key), "ok");
  // s = floor(n / 2) stays; one more is replaced by n - s.
  const std::string half = "7fffffff800000007fffffffffffffffde737d56d38bcf4279dce5617e3192a8";
  const std::string above = "7fffffff800000007fffffffffffffffde737d56d38bcf4279dce5617e3192a9";
  EXPECT_EQ(hex_encode(qv::crypto::normalize_p256_signature(unhex(kTestR + half)).value()), kTestR + half);
  EXPECT_EQ(hex_encode(qv::crypto::normalize_p256_signature(unhex(kTestR + above)).value()), kTestR + half);
}

TEST(P256, CompactFormTakesTheSmallerRoot) {
  const auto compact = qv::crypto::normalize_p256_key(unhex("05" + kGx));
  const auto odd = qv::crypto::normalize_p256_key(unhex("03" + kGx));
  const auto even = qv::crypto::normalize_p256_key(unhex("02" + kGx));
  ASSERT_TRUE(compact && odd && even);
  EXPECT_EQ(hex_encode(*compact), "04" + kGx + kGy);
  EXPECT_EQ(hex_encode(*odd), "04" + kGx + kGy);
  EXPECT_EQ(hex_encode(*even), "04" + kGx + sub_be(kPrime, kGy));
}

TEST(P256, RefusesOtherPointEncodings) {
  const std::string x = kUx, y = kUy;
  const std::string sig = kSampleR + kSampleS;
  const std::vector<std::string> refused = {
      "",                       // nothing
      "00",                     // the identity
      "06" + x + y,             // hybrid forms, accepted by the library itself
      "07" + x + y,
      "04" + x,                 // wrong lengths
      "02" + x + y,
      "05" + x + "00",
      "04" + x + sub_be(kPrime, "00" + std::string(62, '0') + "01"),  // y = p - 1: off the curve
      "04" + kPrime + y,        // x not below p
      "04" + x + kPrime,        // y not below p
      "02" + kPrime,
      "01" + x,
      kSpkiPrefixUncompressed + "04" + x + y,  // SubjectPublicKeyInfo is not a stored form
  };
  for (const auto& key : refused) {
    EXPECT_EQ(verify("sample", sig, key), "rec_p: bad P-256 public key") << key;
  }
  EXPECT_EQ(verify("sample", sig, "04" + x + y + "0"), "rec_p: bad public key encoding");
  EXPECT_EQ(verify("sample", sig, "zz"), "rec_p: bad public key encoding");
}

TEST(P256, SignatureFormsAndRanges) {
  const std::string key = "04" + kUx + kUy;
  const std::string zero(64, '0');
  const std::string der = "3046022100" + kSampleR + "022100" + kSampleS;
  EXPECT_EQ(verify("sample", der, key), "rec_p: bad P-256 signature");
  EXPECT_EQ(verify("sample", zero + kSampleS, key), "rec_p: bad P-256 signature");
  EXPECT_EQ(verify("sample", kSampleR + zero, key), "rec_p: bad P-256 signature");
  EXPECT_EQ(verify("sample", kOrder + kSampleS, key), "rec_p: bad P-256 signature");
  EXPECT_EQ(verify("sample", kSampleR + kOrder, key), "rec_p: bad P-256 signature");
  EXPECT_EQ(verify("sample", kSampleR + kSampleS.substr(2), key), "rec_p: bad P-256 signature");
  EXPECT_EQ(verify("sample", kSampleR + kSampleS + "0", key), "rec_p: bad signature encoding");
  EXPECT_EQ(verify("sample", "q" + kSampleR.substr(1) + kSampleS, key), "rec_p: bad signature encoding");
  // Key problems are reported before signature problems.
  EXPECT_EQ(verify("sample", "q", "06" + kUx + kUy), "rec_p: bad P-256 public key");
}

TEST(P256, NormalisesDerSignaturesAndSpkiKeys) {
  const std::string low_s = sub_be(kOrder, kSampleS);
  const std::string der = "3046022100" + kSampleR + "022100" + kSampleS;
  EXPECT_EQ(hex_encode(qv::crypto::normalize_p256_signature(unhex(der)).value()), kSampleR + low_s);
  // "test": r has its top bit set and takes a leading zero byte, s does not.
  const std::string der_test = "3045022100" + kTestR + "0220" + kTestS;
  EXPECT_EQ(hex_encode(qv::crypto::normalize_p256_signature(unhex(der_test)).value()), kTestR + kTestS);
  const std::vector<std::string> bad_signatures = {
      "",
      der + "00",                                          // trailing byte
      "3047022200" + kSampleR + "022100" + kSampleS,        // wrong inner length
      "304702220000" + kSampleR + "022100" + kSampleS,     // non-minimal integer
      "3046022100" + kTestR + "022100" + kTestS,           // leading zero not needed
      "3045022100" + kSampleR + "0220" + kSampleS,         // negative s
      "3026022100" + kSampleR + "020100",                  // s = 0
      "3046022100" + kSampleR + "022100" + kOrder,         // s = n
      "30818146022100" + kSampleR + "022100" + kSampleS,   // long length form
      std::string(64, '0') + kSampleS,                     // raw with r = 0
  };
  for (const auto& sig : bad_signatures) {
    const auto r = qv::crypto::normalize_p256_signature(unhex(sig));
    ASSERT_FALSE(r) << sig;
    EXPECT_EQ(r.error(), "not a P-256 ECDSA signature (r||s or DER)");
  }

  const std::string uncompressed = "04" + kUx + kUy;
  for (const auto& key : {uncompressed, "03" + kUx, "05" + kUx, kSpkiPrefixUncompressed + uncompressed,
                          kSpkiPrefixCompressed + "03" + kUx, kSpkiPrefixCompressed + "05" + kUx}) {
    const auto r = qv::crypto::normalize_p256_key(unhex(key));
    ASSERT_TRUE(r) << key;
    EXPECT_EQ(hex_encode(*r), uncompressed);
  }
  const std::vector<std::string> bad_keys = {
      "",
      "06" + kUx + kUy,
      kSpkiPrefixUncompressed + "06" + kUx + kUy,       // hybrid point inside
      kSpkiPrefixUncompressed + uncompressed + "00",    // trailing byte
      "3059301306072a8648ce3d020106082a8648ce3d030108034200" + uncompressed,  // another curve
      "3059301306072a8648ce3d020106082a8648ce3d030107034201" + uncompressed,  // unused bits
      "3059301306072a8648ce3d020106082a8648ce3d030107044200" + uncompressed,  // not a bit string
  };
  for (const auto& key : bad_keys) {
    const auto r = qv::crypto::normalize_p256_key(unhex(key));
    ASSERT_FALSE(r) << key;
    EXPECT_EQ(r.error(), "not a P-256 public key (SEC1 or SubjectPublicKeyInfo DER)");
  }
}

// NIST CAVP SigVer cases for P-256 with SHA-256.
TEST(P256, NistSignatureVerificationCases) {
  std::ifstream in(QV_CRYPTO_TEST_DATA "/p256_sha256_sigver.txt");
  ASSERT_TRUE(in);
  std::map<std::string, std::string> c;
  std::string line;
  int passes = 0, failures = 0;
  while (std::getline(in, line)) {
    const auto eq = line.find(" = ");
    if (line.empty() || line[0] == '#' || line[0] == '[' || eq == std::string::npos) continue;
    c[line.substr(0, eq)] = line.substr(eq + 3);
    if (line.rfind("Result", 0) != 0) continue;
    const std::string message = [&] {
      const auto bytes = unhex(c["Msg"]);
      return std::string(bytes.begin(), bytes.end());
    }();
    const std::string key = "04" + c["Qx"] + c["Qy"];
    const std::string sig = c["R"] + c["S"];
    if (c["Result"][0] == 'P') {
      ++passes;
      EXPECT_EQ(verify(message, sig, key), "ok") << c["Msg"];
      const auto compressed = std::string((unhex(c["Qy"]).back() & 1) ? "03" : "02") + c["Qx"];
      EXPECT_EQ(verify(message, sig, compressed), "ok");
      EXPECT_EQ(verify(message, c["R"] + sub_be(kOrder, c["S"]), key), "ok");
    } else {
      ++failures;
      EXPECT_NE(verify(message, sig, key), "ok") << c["Msg"];
    }
  }
  EXPECT_EQ(passes, 3);
  EXPECT_EQ(failures, 12);
}

TEST(SignatureAlgorithm, NamesAreExact) {
  using qv::crypto::SignatureAlgorithm;
  EXPECT_EQ(qv::crypto::signature_algorithm_from_name("ed25519"), SignatureAlgorithm::Ed25519);
  EXPECT_EQ(qv::crypto::signature_algorithm_from_name("ecdsa-p256-sha256"), SignatureAlgorithm::EcdsaP256Sha256);
  for (const char* name : {"Ed25519", "ED25519", "", "ecdsa-p256", "ed25519 "}) {
    EXPECT_FALSE(qv::crypto::signature_algorithm_from_name(name)) << name;
  }
  EXPECT_EQ(qv::crypto::signature_failure_message(SignatureFailure::P256BadSignatureEncoding, "rec_1"),
            "rec_1: bad signature encoding");
  EXPECT_EQ(qv::crypto::signature_failure_message(SignatureFailure::Ed25519BadSignatureEncoding, "rec_1"),
            "bad signature encoding");
}

}  // namespace
