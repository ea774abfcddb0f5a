#pragma once
// The decision: a policy applied to what the verifiers and the judge found
// for one request, giving PASS, REVIEW or FAIL for each claim and for the
// answer, with reasons in fixed wording, the verifiers kept out of the
// decision, the required verifiers that are missing and the regulatory
// controls the final decision triggers. A pure function of its inputs.
#include <map>
#include <optional>
#include <span>
#include <string>

#include "core/error.hpp"
#include "engine/policy.hpp"
#include "records/types.hpp"

namespace qv::engine {

// Claim id to kind, walked in byte order of the ids ("c0", "c1", "c10", "c2").
using ClaimKinds = std::map<std::string, core::ClaimKind>;

// Fails only on a risk class the policy does not define (InvalidInput
// "policy: ...") or when the policy cannot be hashed.
core::Result<records::PolicyOutcome> decide_outcome(const Policy& policy, const records::EvidenceGraph& graph,
                                                    const ClaimKinds& claim_kinds,
                                                    std::span<const std::string> scope_keys,
                                                    const std::optional<std::string>& requested_risk_class);

// The same for a caller that has already computed the policy's hash
// (compute_policy_hash of this policy): the outcome carries that text.
core::Result<records::PolicyOutcome> decide_outcome_with_hash(const Policy& policy, std::string policy_hash,
                                                              const records::EvidenceGraph& graph,
                                                              const ClaimKinds& claim_kinds,
                                                              std::span<const std::string> scope_keys,
                                                              const std::optional<std::string>& requested_risk_class);

}  // namespace qv::engine
