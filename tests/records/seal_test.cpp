// Record hash, sealing and signing.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "common/ed25519_rfc8032.hpp"
#include "crypto/digest.hpp"
#include "crypto/ed25519.hpp"
#include "crypto/hex.hpp"
#include "crypto/sha256.hpp"
#include "records/digest.hpp"
#include "records/write.hpp"
#include "records/seal.hpp"
#include "records/verify.hpp"
#include "sample.hpp"

namespace {

using qv::crypto::hex_encode;
using namespace qv::records;

std::array<unsigned char, 32> bytes32(const std::string& hex) {
  std::array<unsigned char, 32> out{};
  EXPECT_TRUE(qv::crypto::decode_hex_into(hex, out).has_value());
  return out;
}

TEST(RecordHash, IsThePlainDigestOfFourLines) {
  const std::string h = compute_record_hash("sha256:c", std::string_view("sha256:p"), "rec_1", "2026-01-01T00:00:00Z");
  EXPECT_EQ(h, qv::crypto::text_digest("sha256:c\nsha256:p\nrec_1\n2026-01-01T00:00:00Z"));
  EXPECT_EQ(h.size(), 71u);
  // An absent previous hash is the empty line; an empty one hashes alike.
  const std::string absent = compute_record_hash("sha256:c", std::nullopt, "rec_1", "t");
  EXPECT_EQ(absent, qv::crypto::text_digest("sha256:c\n\nrec_1\nt"));
  EXPECT_EQ(absent, compute_record_hash("sha256:c", std::string_view(""), "rec_1", "t"));
}

std::vector<qv::testing::Ed25519RfcCase> rfc_cases() { return qv::testing::ed25519_rfc8032_cases(); }

TEST(SignRecordHash, SignsTheHashTextInLowerCaseHex) {
  const auto c = rfc_cases().at(0);
  const SigningKey key = signing_key_from_seed(bytes32(c.seed));
  const RecordSignature s = sign_record_hash("sha256:aa", std::nullopt, "rec_x", "2026-01-01T00:00:00Z", key);
  EXPECT_EQ(s.public_key, c.public_key);
  EXPECT_EQ(s.record_hash, compute_record_hash("sha256:aa", std::nullopt, "rec_x", "2026-01-01T00:00:00Z"));
  ASSERT_EQ(s.signature.size(), 128u);
  EXPECT_EQ(s.signature, qv::crypto::hex_encode(qv::crypto::decode_hex(s.signature).value()));  // lower case
  EXPECT_TRUE(verify_record_seal({.recomputed_content_hash = "sha256:aa",
                                  .content_hash = "sha256:aa",
                                  .previous_record_hash = std::nullopt,
                                  .record_id = "rec_x",
                                  .timestamp = "2026-01-01T00:00:00Z",
                                  .record_hash = s.record_hash,
                                  .signature = s.signature,
                                  .signer_public_key = s.public_key,
                                  .signature_algorithm = std::nullopt})
                  .has_value());
}

TEST(SignRecordHash, TheMessageIsThe71ByteTextNotTheDigestBytes) {
  const SigningKey key = signing_key_from_seed(bytes32(rfc_cases()[0].seed));
  const RecordSignature s = sign_record_hash("sha256:aa", std::nullopt, "rec_x", "t", key);
  const auto pk = qv::crypto::ed25519_key_from_bytes(key.public_key()).value();
  const auto sig = qv::crypto::decode_hex(s.signature).value();
  std::array<unsigned char, 64> sig64{};
  std::copy(sig.begin(), sig.end(), sig64.begin());
  const auto digest = qv::crypto::decode_hex(s.record_hash.substr(7)).value();
  EXPECT_FALSE(qv::crypto::ed25519_verify(pk, digest, sig64));
  EXPECT_TRUE(qv::crypto::ed25519_verify(
      pk, std::span<const unsigned char>(reinterpret_cast<const unsigned char*>(s.record_hash.data()), 71), sig64));
}

// A fixed record whose hashes and signature were computed by the
// independent Python code of the module tests (canonical JSON, SHA-256 and
// Ed25519 of its own).
RecordContent known_content() {
  RecordContent c;
  c.schema = "quillaveen.evidence-record/1";
  c.engine_version = "6.0.5";
  c.bundle_hash = "sha256:unbundled";
  c.input_hash = "sha256:" + std::string(64, '0');
  c.locale = "en";
  c.graph.verifiers = {VerifierInfo{"quillaveen.numeric", "1", VerifierKind::Exact, Determinism::exact(),
                                    {qv::core::ClaimKind::Numeric}, {}, false}};
  Evidence e;
  e.verifier_id = "quillaveen.numeric";
  e.verifier_version = "1";
  e.claim_id = "c0";
  e.result = EvidenceResult::Supported;
  e.score = 1.0;
  e.confidence = 0.5;
  e.determinism = Determinism::exact();
  e.rationale = "matched \u00e9";
  e.receipt.source_id = "s1";
  e.receipt.source_span = Span{0, 4};
  c.graph.evidence = {e};
  c.outcome.policy_id = "quillaveen_default_v1";
  c.outcome.policy_version = "1";
  c.outcome.policy_hash = "sha256:p";
  c.outcome.decision = qv::core::Decision::Pass;
  c.outcome.claims = {ClaimOutcome{"c0", qv::core::Decision::Pass, {}}};
  return c;
}

TEST(SealEvidenceRecord, KnownHashesAndSignatureOfAFixedRecord) {
  const SigningKey key = signing_key_from_seed(bytes32(rfc_cases()[0].seed));
  auto a = seal_evidence_record(known_content(), std::nullopt, "rec_000000000000_000000000000", "2026-01-02T03:04:00Z", key);
  ASSERT_TRUE(a.has_value());
  EXPECT_EQ(a->content_hash, "sha256:b0f9251e85fe97eca37770d0a16f67f663b779dfe53e45de31603e4e7985005a");
  EXPECT_EQ(a->record_hash, "sha256:51f67a99b6afef278fb3c40b0bcda5d4b6efaaed3ba807eaac0c72878c1e70b2");
  EXPECT_EQ(a->signature,
            "c1c6ea751a87cf6772f605471d7a7fbb805c254ebf64d1dd855ffbf12194e536"
            "789116184f44d35c19a499adaf26cc471c6d6d1a811329ec127c8c636f336405");
  EXPECT_EQ(a->signer_public_key, rfc_cases()[0].public_key);
  EXPECT_FALSE(a->signature_algorithm.has_value());
  EXPECT_TRUE(verify_evidence_record(*a).has_value());
  auto linked = seal_evidence_record(known_content(), a->record_hash, "rec_b", "2026-01-02T03:04:06Z", key);
  ASSERT_TRUE(linked.has_value());
  EXPECT_EQ(linked->previous_record_hash, a->record_hash);
  EXPECT_EQ(linked->record_hash, compute_record_hash(a->content_hash, a->record_hash, "rec_b", "2026-01-02T03:04:06Z"));
}

}  // namespace
