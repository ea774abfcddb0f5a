#pragma once
// Filling the evidence graph of one request. Its three lists stay in fixed
// orders after every addition, so that the same findings give the same
// record content whatever order the verifiers ran in: verifiers by id,
// evidence by the evidence order (claim id, verifier id, result rank),
// failures by id and then message. Texts compare as bytes, a prefix first;
// equal keys keep the order in which they were added.
#include <string_view>
#include <vector>

#include "records/types.hpp"

namespace qv::engine {

// Whether `a` comes strictly before `b` in the evidence order.
inline bool evidence_less(const records::Evidence& a, const records::Evidence& b) {
  return records::evidence_before(a, b);
}

// Adds a verifier's description and all its findings (an empty list still
// adds the description), then restores the order of both lists.
void add_verifier_evidence(records::EvidenceGraph& graph, records::VerifierInfo info,
                           std::vector<records::Evidence> items);

// Adds the failure [id, message] and restores the order of the failures.
void add_verifier_failure(records::EvidenceGraph& graph, std::string_view id, std::string_view message);

}  // namespace qv::engine
