#pragma once
// The rules verifier: one user rule set applied to the claims of a request.
// Each claim gets the finding of the first rule, in the set's order, whose
// scope takes it, whose `when` holds and whose `unless` does not.
#include <string>
#include <vector>

#include "verifiers/rule_set.hpp"
#include "verifiers/verifier.hpp"

namespace qv::verifiers {

// "quillaveen.rules.{id}", the set's version, symbolic, exact, every claim
// kind, the artefact ["ruleset", digest], no network.
VerifierInfo rules_verifier_info(const RuleSet& set, std::string digest);

// Whether a condition holds for a claim, every part tested afresh.
bool condition_holds(const CompiledCondition& condition, const records::Claim& claim,
                     const VerificationContext& context);

class RulesVerifier final : public Verifier {
 public:
  RulesVerifier(VerifierInfo info, std::vector<CompiledRule> rules)
      : info_(std::move(info)), rules_(std::move(rules)) {}

  const VerifierInfo& info() const override { return info_; }
  // Never fails. The answer and source patterns do not depend on the claim:
  // each is searched at most once per run and its outcome reused.
  core::Result<std::vector<Evidence>> run(const VerificationContext& context) const override;

  const std::vector<CompiledRule>& rules() const { return rules_; }

 private:
  VerifierInfo info_;
  std::vector<CompiledRule> rules_;
};

// Compiles the set (InvalidInput "bad regex {}: {}" on the first pattern
// that does not compile), takes its digest and builds its verifier.
core::Result<VerifierPtr> make_rules_verifier(const RuleSet& set);

}  // namespace qv::verifiers
