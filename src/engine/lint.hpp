#pragma once
// Policy lint: problems of a parsed policy that reading accepts, as plain
// texts. Lint never fails; the pipeline refuses a policy with any problem
// and policy_lint hands the list to the caller.
#include <span>
#include <string>
#include <vector>

#include "engine/policy.hpp"
#include "records/types.hpp"

namespace qv::engine {

// The problems of `policy`, in the order of the checks: rounding, locale,
// pass_means, scope, judge, risk classes, then each required verifier in
// list order. `known` are the verifiers this engine has for the request;
// only their ids are used.
std::vector<std::string> lint_policy(const Policy& policy, std::span<const records::VerifierInfo> known);

// The descriptions of the three built-in verifiers, numeric, scope and
// intent, in this order: what lint knows when no request is at hand, and
// what the pipeline adds to the verifiers it built.
std::vector<records::VerifierInfo> builtin_verifier_infos();

// What policy_lint returns: the policy hash and the lint problems against
// the built-in verifiers. Fails only when the text cannot be read as a
// policy (or hashed).
struct PolicyLintReport {
  std::string policy_hash;
  std::vector<std::string> problems;
};
core::Result<PolicyLintReport> lint_policy_text(std::string_view argument);

}  // namespace qv::engine
