// Seal verification of stored records (Ed25519 and ECDSA P-256) and
// attaching a key service's signature.
#include <gtest/gtest.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>

#include <limits>
#include <string>
#include <vector>

#include "crypto/hex.hpp"
#include "crypto/p256.hpp"
#include "records/digest.hpp"
#include "records/digest.hpp"
#include "records/write.hpp"
#include "records/seal.hpp"
#include "records/verify.hpp"
#include "sample.hpp"

namespace {

using qv::crypto::decode_hex;
using qv::crypto::hex_encode;
using namespace qv::records;

const std::string kSeed = "9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60";

SigningKey test_key() { return qv::crypto::signing_key_from_seed_hex(kSeed).value(); }

EvidenceRecord sealed(const std::string& id = "rec_v") {
  return seal_evidence_record(qv::records::testing::full_content(), std::nullopt, id, "2026-01-02T03:04:05Z", test_key()).value();
}

// "ok" or the display text of the failure.
std::string check(const EvidenceRecord& r) {
  const auto ok = verify_evidence_record(r);
  return ok ? "ok" : ok.error().display();
}

// The check of `r` with its key and signature replaced.
std::string check_signed(EvidenceRecord r, const std::string& key, const std::string& signature) {
  r.signer_public_key = key;
  r.signature = signature;
  return check(r);
}

std::string upper(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

TEST(ContentDigest, AgreesWithTheContentHash) {
  std::vector<RecordContent> contents;
  contents.push_back(qv::records::testing::full_content());
  contents.push_back(RecordContent{});  // every list empty, every option absent
  RecordContent odd = qv::records::testing::full_content();
  odd.graph.evidence[0].score = std::numeric_limits<double>::quiet_NaN();
  odd.graph.evidence[1].confidence = -std::numeric_limits<double>::infinity();
  odd.graph.evidence[0].rationale = std::string("\x01\"\\\xc3\xa9\n", 7);
  odd.graph.verifiers[0].artefacts = {{"b", "1"}, {"a", "2"}};
  odd.outcome.reasons.clear();
  odd.outcome.risk_class.reset();
  odd.graph.evidence[1].receipt.notes = {"x"};
  odd.graph.evidence[0].determinism = Determinism::reproducible(-0.0);
  contents.push_back(odd);
  for (const auto& c : contents) EXPECT_EQ(compute_content_hash(c).value(), qv::records::canonical_digest(record_content_to_value(c)).value());
}

TEST(VerifyRecord, SealedRecordPassesWithAbsentOrNamedEd25519) {
  EvidenceRecord r = sealed();
  EXPECT_EQ(check(r), "ok");
  r.signature_algorithm = "ed25519";
  EXPECT_EQ(check(r), "ok");
  r.signature_algorithm = "ED25519";
  EXPECT_EQ(check(r), "integrity error: rec_v: unknown signature algorithm ED25519");
  r.signature_algorithm = "";
  EXPECT_EQ(check(r), "integrity error: rec_v: unknown signature algorithm ");
  // Hex of either case.
  r = sealed();
  r.signer_public_key = upper(r.signer_public_key);
  r.signature = upper(r.signature);
  EXPECT_EQ(check(r), "ok");
}

TEST(VerifyRecord, HashChecksComeFirstAndNameTheRecord) {
  EvidenceRecord r = sealed();
  r.content.locale = "fr";
  EXPECT_EQ(check(r), "integrity error: rec_v: content hash mismatch");
  // With the content hash replaced too, the record hash no longer matches.
  r.content_hash = compute_content_hash(r.content).value();
  EXPECT_EQ(check(r), "integrity error: rec_v: record hash mismatch");
  // A bad signature is not reported while a hash is wrong.
  r.signature = "zz";
  EXPECT_EQ(check(r), "integrity error: rec_v: record hash mismatch");

  // Hashes compare byte for byte: an upper-case digest is another text.
  EvidenceRecord t = sealed();
  t.content_hash = "sha256:" + upper(t.content_hash.substr(7));
  EXPECT_EQ(check(t), "integrity error: rec_v: content hash mismatch");
}

// The signature checks pin their messages and the order of their checks;
// here one of each as a record's check reports it.
TEST(VerifyRecord, Ed25519Failures) {
  const EvidenceRecord good = sealed();
  auto with = [&](const std::string& key, const std::string& sig) { return check_signed(good, key, sig); };
  const std::string& pk = good.signer_public_key;
  const std::string& sig = good.signature;
  EXPECT_EQ(with(pk.substr(2), sig), "integrity error: bad public key");
  EXPECT_EQ(with("02" + std::string(62, '0'), sig), "integrity error: signature error: Cannot decompress Edwards point");
  EXPECT_EQ(with(pk, sig.substr(2)), "integrity error: bad signature encoding");
  std::string flipped = sig;
  flipped[0] = flipped[0] == '0' ? '1' : '0';
  EXPECT_EQ(with(pk, flipped), "integrity error: rec_v: signature does not verify");
}

// RFC 6979 A.2.5 P-256 key.
const std::string kPriv = "c9afa9d845ba75166b5c215767b1d6934e50c3db36e89b127b8a622b120f6721";
const std::string kUx = "60fed4ba255a9d31c961eb74c6356d68c049b8923b61fa6ce669622e60f29fb6";
const std::string kUy = "7903fe1008b8bc99a41ae9e95628bc64f2f1b20c2d7e9f5177a3c294d4462299";
const std::string kOrder = "ffffffff00000000ffffffffffffffffbce6faada7179e84f3b9cac2fc632551";

// A DER ECDSA signature of SHA-256(message) with the key above.
std::vector<unsigned char> p256_sign_der(const std::string& message) {
  const auto priv = decode_hex(kPriv).value();
  const auto pub = decode_hex("04" + kUx + kUy).value();
  OSSL_PARAM_BLD* bld = OSSL_PARAM_BLD_new();
  BIGNUM* d = BN_bin2bn(priv.data(), static_cast<int>(priv.size()), nullptr);
  OSSL_PARAM_BLD_push_utf8_string(bld, OSSL_PKEY_PARAM_GROUP_NAME, "prime256v1", 0);
  OSSL_PARAM_BLD_push_BN(bld, OSSL_PKEY_PARAM_PRIV_KEY, d);
  OSSL_PARAM_BLD_push_octet_string(bld, OSSL_PKEY_PARAM_PUB_KEY, pub.data(), pub.size());
  OSSL_PARAM* params = OSSL_PARAM_BLD_to_param(bld);
  EVP_PKEY_CTX* kctx = EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr);
  EVP_PKEY* pkey = nullptr;
  EXPECT_EQ(EVP_PKEY_fromdata_init(kctx), 1);
  EXPECT_EQ(EVP_PKEY_fromdata(kctx, &pkey, EVP_PKEY_KEYPAIR, params), 1);
  EVP_MD_CTX* md = EVP_MD_CTX_new();
  EXPECT_EQ(EVP_DigestSignInit(md, nullptr, EVP_sha256(), nullptr, pkey), 1);
  std::vector<unsigned char> sig(80);
  std::size_t len = sig.size();
  EXPECT_EQ(EVP_DigestSign(md, sig.data(), &len, reinterpret_cast<const unsigned char*>(message.data()),
                           message.size()),
            1);
  sig.resize(len);
  EVP_MD_CTX_free(md);
  EVP_PKEY_free(pkey);
  EVP_PKEY_CTX_free(kctx);
  OSSL_PARAM_free(params);
  BN_free(d);
  OSSL_PARAM_BLD_free(bld);
  return sig;
}

EvidenceRecord p256_record() {
  EvidenceRecord r = sealed("rec_p");
  const auto der = p256_sign_der(r.record_hash);
  r.signature = hex_encode(qv::crypto::normalize_p256_signature(der).value());
  r.signer_public_key = "04" + kUx + kUy;
  r.signature_algorithm = "ecdsa-p256-sha256";
  return r;
}

TEST(VerifyRecord, P256KeyFormsAndFailures) {
  const EvidenceRecord good = p256_record();
  auto with = [&](const std::string& key, const std::string& sig) { return check_signed(good, key, sig); };
  const std::string& pk = good.signer_public_key;
  const std::string& sig = good.signature;
  const bool odd_y = (decode_hex(kUy).value().back() & 1) != 0;
  EXPECT_EQ(with(pk, sig), "ok");
  EXPECT_EQ(with((odd_y ? "03" : "02") + kUx, sig), "ok");
  EXPECT_EQ(with((odd_y ? "02" : "03") + kUx, sig), "integrity error: rec_p: signature does not verify");
  EXPECT_EQ(with(pk.substr(1), sig), "integrity error: rec_p: bad public key encoding");
  EXPECT_EQ(with("06" + pk.substr(2), sig), "integrity error: rec_p: bad P-256 public key");
  EXPECT_EQ(with(pk, sig.substr(1)), "integrity error: rec_p: bad signature encoding");
  EXPECT_EQ(with(pk, sig.substr(0, 64) + kOrder), "integrity error: rec_p: bad P-256 signature");  // s = n
  EXPECT_EQ(with(pk, sig.substr(64) + sig.substr(0, 64)), "integrity error: rec_p: signature does not verify");
}

UnsignedRecord unsigned_of(const EvidenceRecord& r) {
  return UnsignedRecord{r.record_id, r.timestamp, r.content, r.content_hash, r.previous_record_hash, r.record_hash};
}

std::string attach_error(const UnsignedRecord& u, std::string_view algorithm, const std::string& key_hex,
                         const std::string& sig_hex) {
  auto r = attach_signature(u, algorithm, decode_hex(key_hex).value(), decode_hex(sig_hex).value());
  return r ? "ok" : r.error().display();
}

TEST(AttachSignature, Ed25519StoresLowerCaseHexWithoutAlgorithm) {
  const EvidenceRecord good = sealed();
  auto r = attach_signature(unsigned_of(good), "ed25519", decode_hex(upper(good.signer_public_key)).value(),
                            decode_hex(good.signature).value());
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(*r, good);
}

TEST(AttachSignature, P256NormalisesKeyAndSignature) {
  const EvidenceRecord base = sealed("rec_p");
  const UnsignedRecord u = unsigned_of(base);
  const auto der = p256_sign_der(base.record_hash);
  const std::string low = hex_encode(qv::crypto::normalize_p256_signature(der).value());
  const bool odd_y = (decode_hex(kUy).value().back() & 1) != 0;
  const std::string spki = "3059301306072a8648ce3d020106082a8648ce3d03010703420004" + kUx + kUy;
  for (const std::string& key : {(odd_y ? "03" : "02") + kUx, "04" + kUx + kUy, "05" + kUx, spki}) {
    for (const std::string& sig : {low, hex_encode(der)}) {
      auto r = attach_signature(u, "ecdsa-p256-sha256", decode_hex(key).value(), decode_hex(sig).value());
      ASSERT_TRUE(r.has_value()) << key << " " << sig << " " << r.error().display();
      EXPECT_EQ(r->signer_public_key, "04" + kUx + kUy);
      EXPECT_EQ(r->signature, low);
      EXPECT_EQ(r->signature_algorithm, "ecdsa-p256-sha256");
      EXPECT_EQ(check(*r), "ok");
    }
  }
  EXPECT_EQ(attach_error(u, "ecdsa-p256-sha256", "04" + kUx + kUy, low.substr(64) + low.substr(0, 64)),
            "invalid input: the key service's signature was refused: integrity error: rec_p: signature does not "
            "verify");
  // A record whose hash does not match is refused whatever the signature.
  UnsignedRecord changed = u;
  changed.timestamp = "2030-01-01T00:00:00Z";
  EXPECT_EQ(attach_error(changed, "ecdsa-p256-sha256", "04" + kUx + kUy, low),
            "invalid input: the key service's signature was refused: integrity error: rec_p: record hash mismatch");
}

}  // namespace
