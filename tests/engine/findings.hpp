#pragma once
// Findings and verifier descriptions for the graph and decision tests.
#include <string>
#include <vector>

#include "records/types.hpp"

namespace qv::engine::testing {

inline records::Evidence finding(std::string claim, std::string verifier, records::EvidenceResult result,
                                 std::string rationale = "why", std::vector<std::string> notes = {}) {
  records::Evidence e;
  e.claim_id = std::move(claim);
  e.verifier_id = std::move(verifier);
  e.result = result;
  e.rationale = std::move(rationale);
  e.receipt.notes = std::move(notes);
  return e;
}

inline records::VerifierInfo info(std::string id, records::Determinism d = records::Determinism::exact()) {
  records::VerifierInfo v;
  v.id = std::move(id);
  v.determinism = d;
  return v;
}

}  // namespace qv::engine::testing
