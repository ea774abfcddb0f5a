#pragma once
// The record content of the chain benchmarks.
#include <cstddef>
#include <string>
#include <string_view>

#include "records/types.hpp"

namespace qv::bench {

// A content of the size a short answer gives: three claims, two verifiers.
inline qv::records::RecordContent content_of(std::size_t i,
                                            std::string_view rationale = "revenue of 12.5 million matches the source table") {
  using namespace qv::records;
  using qv::core::ClaimKind;
  using qv::core::Decision;
  RecordContent c;
  c.schema = kRecordSchema;
  c.engine_version = "6.0.5";
  c.bundle_hash = kUnbundledHash;
  c.input_hash = "sha256:" + std::string(48, 'a') + std::to_string(1000000000000000 + i);
  c.locale = "en";
  c.graph.verifiers = {
      VerifierInfo{"quillaveen.numeric", "1.0.0", VerifierKind::Exact, Determinism::exact(), {ClaimKind::Numeric}, {},
                   false},
      VerifierInfo{"quillaveen.intent", "1.0.0", VerifierKind::Lexical, Determinism::reproducible(0.005),
                   {ClaimKind::Statement, ClaimKind::Word}, {}, false}};
  for (int k = 0; k < 3; ++k) {
    Evidence e;
    e.verifier_id = k == 2 ? "quillaveen.intent" : "quillaveen.numeric";
    e.verifier_version = "1.0.0";
    e.claim_id = "c" + std::to_string(k);
    e.result = EvidenceResult::Supported;
    e.score = 1;
    e.confidence = 0.95;
    e.rationale = std::string(rationale);
    e.receipt = Receipt{"s1", Span{10, 24}, "12.5 million", {"unit_match"}};
    c.graph.evidence.push_back(e);
    c.outcome.claims.push_back(ClaimOutcome{e.claim_id, Decision::Pass, {}});
  }
  c.outcome.policy_id = "quillaveen_default_v1";
  c.outcome.policy_version = "1";
  c.outcome.policy_hash = "sha256:" + std::string(64, 'b');
  c.outcome.decision = Decision::Pass;
  return c;
}

}  // namespace qv::bench
