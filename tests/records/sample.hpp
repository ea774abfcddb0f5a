#pragma once
// A record that exercises every member of every type, and the text edit
// the tests make on its written form.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <string_view>

#include "records/types.hpp"

namespace qv::records::testing {

inline RecordContent full_content() {
  RecordContent c;
  c.schema = "quillaveen.evidence-record/1";
  c.engine_version = "6.0.5";
  c.bundle_hash = "sha256:unbundled";
  c.input_hash = "sha256:00";
  c.locale = "en";
  VerifierInfo numeric{"quillaveen.numeric", "1.0.0", VerifierKind::Exact, Determinism::exact(),
                       {ClaimKind::Numeric}, {}, false};
  VerifierInfo judge{"llm_judge.x", "2", VerifierKind::Generative, Determinism::reproducible(0.005),
                     {ClaimKind::Statement, ClaimKind::Word}, {{"ruleset", "sha256:ab"}}, true};
  c.graph.verifiers = {numeric, judge};
  Evidence e1;
  e1.verifier_id = "quillaveen.numeric";
  e1.verifier_version = "1.0.0";
  e1.claim_id = "c0";
  e1.result = EvidenceResult::Supported;
  e1.score = 1;
  e1.confidence = 0.25;
  e1.rationale = "line\none \"q\"";
  e1.receipt = Receipt{"s1", Span{3, 17}, "12.5%", {"rounded", "unit_match"}};
  Evidence e2 = e1;
  e2.verifier_id = "llm_judge.x";
  e2.result = EvidenceResult::NotApplicable;
  e2.score = 1e16;
  e2.confidence = 0.00001;
  e2.determinism = Determinism::non_deterministic();
  e2.receipt = Receipt{};
  e2.model_hash = "sha256:mm";
  e2.calibration_id = "cal-1";
  c.graph.evidence = {e1, e2};
  c.graph.failures = {{"quillaveen.scope", "boom"}};
  c.outcome.policy_id = "quillaveen_default_v1";
  c.outcome.policy_version = "1";
  c.outcome.policy_hash = "sha256:pp";
  c.outcome.decision = Decision::Review;
  c.outcome.claims = {ClaimOutcome{"c0", Decision::Pass, {}}, ClaimOutcome{"c1", Decision::Fail, {"r1", "r2"}}};
  c.outcome.missing_required = {"quillaveen.rules.*"};
  c.outcome.excluded_verifiers = {{"quillaveen.intent", "no question"}};
  c.outcome.regulatory_mapping = {RegulatoryControl{"EU AI Act", "Art. 14", "human_oversight", "",
                                                    {Decision::Review, Decision::Fail}}};
  c.outcome.reasons = {"c1: failed"};
  c.outcome.risk_class = "high";
  c.outcome.pass_means = "grounded";
  return c;
}

inline EvidenceRecord full_record() {
  EvidenceRecord r;
  r.record_id = "rec_0123456789ab_0123456789ab";
  r.timestamp = "2026-01-02T03:04:05Z";
  r.content = full_content();
  r.content_hash = "sha256:cc";
  r.previous_record_hash = "sha256:prev";
  r.record_hash = "sha256:rr";
  r.signature = "ab";
  r.signer_public_key = "cd";
  r.signature_algorithm = "ecdsa-p256-sha256";
  return r;
}

// Replaces the first occurrence of `from` (which must be there).
inline std::string replaced(std::string text, std::string_view from, std::string_view to) {
  const std::size_t i = text.find(from);
  EXPECT_NE(i, std::string::npos) << from;
  if (i != std::string::npos) text.replace(i, from.size(), to);
  return text;
}

}  // namespace qv::records::testing
