// Writing records, their value forms and the two digests: presence rules,
// integers against floats, non-finite floats, and agreement of the forms.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "crypto/digest.hpp"
#include "crypto/sha256.hpp"
#include "json/canonical.hpp"
#include "json/reader.hpp"
#include "json/writer.hpp"
#include "records/digest.hpp"
#include "records/write.hpp"
#include "sample.hpp"

namespace qv::records {
namespace {

using testing::full_content;
using testing::full_record;
using testing::replaced;

constexpr std::string_view kFullRecord =
    R"({"record_id":"rec_0123456789ab_0123456789ab","timestamp":"2026-01-02T03:04:05Z","content":{)"
    R"("schema":"quillaveen.evidence-record/1","engine_version":"6.0.5","bundle_hash":"sha256:unbundled",)"
    R"("input_hash":"sha256:00","locale":"en","graph":{"verifiers":[{"id":"quillaveen.numeric","version":"1.0.0",)"
    R"("kind":"exact","determinism":{"class":"exact"},"applies_to":["numeric"],"needs_network":false},)"
    R"({"id":"llm_judge.x","version":"2","kind":"generative","determinism":{"class":"reproducible","tolerance":0.005},)"
    R"("applies_to":["statement","word"],"artefacts":[["ruleset","sha256:ab"]],"needs_network":true}],)"
    R"("evidence":[{"verifier_id":"quillaveen.numeric","verifier_version":"1.0.0","claim_id":"c0",)"
    R"("result":"supported","score":1.0,"confidence":0.25,"determinism":{"class":"exact"},)"
    R"("rationale":"line\none \"q\"","receipt":{"source_id":"s1","source_span":{"start":3,"end":17},)"
    R"("source_text":"12.5%","notes":["rounded","unit_match"]}},{"verifier_id":"llm_judge.x",)"
    R"("verifier_version":"1.0.0","claim_id":"c0","result":"not_applicable","score":1e+16,"confidence":0.00001,)"
    R"("determinism":{"class":"non_deterministic"},"rationale":"line\none \"q\"","receipt":{},)"
    R"("model_hash":"sha256:mm","calibration_id":"cal-1"}],"failures":[["quillaveen.scope","boom"]]},)"
    R"("outcome":{"policy_id":"quillaveen_default_v1","policy_version":"1","policy_hash":"sha256:pp",)"
    R"("decision":"REVIEW","claims":[{"claim_id":"c0","decision":"PASS","reasons":[]},{"claim_id":"c1",)"
    R"("decision":"FAIL","reasons":["r1","r2"]}],"missing_required":["quillaveen.rules.*"],)"
    R"("excluded_verifiers":[["quillaveen.intent","no question"]],"regulatory_mapping":[{"framework":"EU AI Act",)"
    R"("article":"Art. 14","control":"human_oversight","requirement":"","triggered_by":["REVIEW","FAIL"]}],)"
    R"("reasons":["c1: failed"],"risk_class":"high","pass_means":"grounded"}},"content_hash":"sha256:cc",)"
    R"("previous_record_hash":"sha256:prev","record_hash":"sha256:rr","signature":"ab","signer_public_key":"cd",)"
    R"("signature_algorithm":"ecdsa-p256-sha256"})";

RecordContent minimal_content() {
  RecordContent c;
  c.schema = "s";
  c.engine_version = "e";
  c.bundle_hash = "b";
  c.input_hash = "i";
  c.locale = "und";
  c.outcome.policy_id = "p";
  c.outcome.policy_version = "v";
  c.outcome.policy_hash = "h";
  return c;
}

constexpr std::string_view kMinimalContent =
    R"({"schema":"s","engine_version":"e","bundle_hash":"b","input_hash":"i","locale":"und",)"
    R"("graph":{"verifiers":[],"evidence":[]},"outcome":{"policy_id":"p","policy_version":"v",)"
    R"("policy_hash":"h","decision":"PASS","claims":[],"missing_required":[],"excluded_verifiers":[],)"
    R"("regulatory_mapping":[]}})";

TEST(WriteRecord, EveryMemberInDeclaredOrder) {
  EXPECT_EQ(write_evidence_record_json(full_record()), kFullRecord);
}

TEST(WriteRecord, PresenceRulesLeaveOutEmptyAndAbsent) {
  std::string text;
  write_record_content_json(minimal_content(), text);
  EXPECT_EQ(text, kMinimalContent);

  EvidenceRecord r;
  r.record_id = "r";
  r.content = minimal_content();
  const std::string head = R"({"record_id":"r","timestamp":"","content":)" + std::string(kMinimalContent) +
                           R"(,"content_hash":"","previous_record_hash":null,"record_hash":"")";
  EXPECT_EQ(write_evidence_record_json(r), head + R"(,"signature":"","signer_public_key":""})");

  UnsignedRecord u{r.record_id, r.timestamp, r.content, r.content_hash, r.previous_record_hash, r.record_hash};
  EXPECT_EQ(write_unsigned_record_json(u), head + "}");
}

TEST(WriteRecord, NonFiniteFloatsAreNullInEveryForm) {
  RecordContent c = minimal_content();
  Evidence e;
  e.verifier_id = "v";
  e.verifier_version = "1";
  e.claim_id = "c0";
  e.result = EvidenceResult::Error;
  e.score = std::numeric_limits<double>::quiet_NaN();
  e.confidence = 1;
  e.determinism = Determinism::reproducible(-std::numeric_limits<double>::infinity());
  c.graph.evidence.push_back(e);

  std::string text;
  write_record_content_json(c, text);
  EXPECT_NE(text.find(R"("score":null,"confidence":1.0,"determinism":{"class":"reproducible","tolerance":null})"),
            std::string::npos)
      << text;
  EXPECT_EQ(json::write_json_compact(record_content_to_value(c)), text);
  // The hash does not fail: the same nulls are hashed (the digest's
  // agreement with the value form is checked beside the seal checks).
  auto hash = compute_content_hash(c);
  EXPECT_TRUE(hash.has_value()) << hash.error().display();
}

TEST(WriteRecord, ValueFormAgreesWithText) {
  const EvidenceRecord r = full_record();
  EXPECT_EQ(json::write_json_compact(evidence_record_to_value(r)), write_evidence_record_json(r));
  std::string content_text;
  write_record_content_json(r.content, content_text);
  EXPECT_EQ(json::write_json_compact(record_content_to_value(r.content)), content_text);
}

TEST(WriteRecord, IntegersStayIntegersFloatsStayFloats) {
  RecordContent c = minimal_content();
  Evidence e;
  e.score = 2;
  e.confidence = -0.0;
  e.receipt.source_span = Span{1, std::numeric_limits<std::uint64_t>::max()};
  c.graph.evidence.push_back(e);
  std::string text;
  write_record_content_json(c, text);
  EXPECT_NE(text.find(R"("score":2.0,"confidence":-0.0,)"), std::string::npos) << text;
  EXPECT_NE(text.find(R"({"start":1,"end":18446744073709551615})"), std::string::npos) << text;
}

TEST(ContentHash, FloatsAreHashedExactly) {
  auto base = compute_content_hash(full_content());
  ASSERT_TRUE(base.has_value());
  RecordContent b = full_content();
  b.graph.evidence[0].score = std::nextafter(1.0, 2.0);
  EXPECT_NE(*compute_content_hash(b), *base);
  EXPECT_EQ(*compute_content_hash(full_content()), *base);
}

TEST(InputHash, ContextMembersAndPresence) {
  VerificationContext ctx;
  ctx.answer = "A";
  Source s;
  s.id = "s";
  s.text = "t";
  s.provenance.insert_or_assign("z", "1");
  s.provenance.insert_or_assign("a", "2");
  ctx.sources.push_back(s);
  Claim claim;
  claim.id = "c0";
  claim.kind = ClaimKind::Numeric;
  claim.text = "12";
  claim.span = Span{0, 2};
  claim.attributes.insert_or_assign("canonical", "12");
  claim.attributes.insert_or_assign("dimension", "dimensionless");
  ctx.claims.push_back(claim);
  ctx.locale = "en";
  ctx.scope = {{"year", "2024"}, {"company", "X"}};

  const std::string canonical =
      R"({"answer":"A","claims":[{"attributes":{"canonical":"12","dimension":"dimensionless"},"id":"c0",)"
      R"("kind":"numeric","span":{"end":2,"start":0},"text":"12"}],"locale":"en",)"
      R"("scope":{"company":"X","year":"2024"},"sources":[{"id":"s","provenance":{"a":"2","z":"1"},"text":"t"}]})";
  auto hash = compute_input_hash(ctx);
  ASSERT_TRUE(hash.has_value());
  EXPECT_EQ(*hash, crypto::text_digest(canonical));

  VerificationContext asked = ctx;
  asked.question = "";  // an empty question is still a question
  EXPECT_NE(*compute_input_hash(asked), *hash);
  // Map keys of any text sort by their raw bytes.
  VerificationContext keyed = ctx;
  keyed.claims[0].attributes = InsertionMap{{"\xC3\xA9", "1"}, {"z", "2"}, {"a\n", "3"}, {"Z", "4"}};
  const std::string keyed_canonical = replaced(
      canonical, R"({"canonical":"12","dimension":"dimensionless"})", R"({"Z":"4","a\n":"3","z":"2","é":"1"})");
  EXPECT_EQ(*compute_input_hash(keyed), crypto::text_digest(keyed_canonical));
  // Keys that share their first eight bytes, or end within them.
  keyed.claims[0].attributes =
      InsertionMap{{"abcdefgh2", "1"}, {"abcdefgh", "2"}, {"abcdefgh10", "3"}, {"abc", "4"}, {"abcdefg", "5"}};
  const std::string prefixed_canonical =
      replaced(canonical, R"({"canonical":"12","dimension":"dimensionless"})",
                    R"({"abc":"4","abcdefg":"5","abcdefgh":"2","abcdefgh10":"3","abcdefgh2":"1"})");
  EXPECT_EQ(*compute_input_hash(keyed), crypto::text_digest(prefixed_canonical));

  VerificationContext located = ctx;
  located.sources[0].locator = "p. 3";
  EXPECT_NE(*compute_input_hash(located), *hash);
}

TEST(CanonicalDigest, FixedCases) {
  auto parse = [](std::string_view t) { return json::read_json(t).value(); };
  EXPECT_EQ(*canonical_digest(json::Object{}), "sha256:" + crypto::sha256_hex("{}"));
  // The integer 5 and the float 5.0 are different values.
  EXPECT_NE(*canonical_digest(json::Value(5)), *canonical_digest(json::Value(5.0)));
  // Member order does not change the digest.
  EXPECT_EQ(*canonical_digest(parse(R"({"x":1,"y":[2,{"q":1,"p":2}]})")),
            *canonical_digest(parse(R"({"y":[2,{"p":2,"q":1}],"x":1})")));
  EXPECT_FALSE(canonical_digest(json::Value(-std::numeric_limits<double>::infinity())).has_value());
}

TEST(Timings, IntegersInRunOrderWithTotal) {
  VerifierTimings t;
  t.verifiers = {{"quillaveen.numeric", 0}, {"a\"b", 12}, {"quillaveen.numeric", 3}};
  t.total_us = std::numeric_limits<std::uint64_t>::max();
  EXPECT_EQ(json::write_json_compact(timings_to_value(t)),
            R"({"verifiers":[["quillaveen.numeric",0],["a\"b",12],["quillaveen.numeric",3]],)"
            R"("total_us":18446744073709551615})");
  EXPECT_EQ(json::write_json_compact(timings_to_value(VerifierTimings{})), R"({"verifiers":[],"total_us":0})");
}

}  // namespace
}  // namespace qv::records
