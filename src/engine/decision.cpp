#include "engine/decision.hpp"

#include <algorithm>
#include <string_view>
#include <vector>

#include "core/keyed_hash.hpp"

namespace qv::engine {

namespace {

using records::EvidenceResult;

void raise(Decision& d, Decision to) { d = std::max(d, to); }

bool any_matches(std::span<const std::string> patterns, std::string_view id) {
  return std::ranges::any_of(patterns, [id](const std::string& p) { return verifier_id_matches(p, id); });
}

bool contains(std::span<const std::string> list, std::string_view text) {
  return std::ranges::find(list, text) != list.end();
}

bool kind_tolerated(const Policy& policy, core::ClaimKind kind) {
  return std::ranges::find(policy.decision.tolerate_unresolved_kinds, kind) !=
         policy.decision.tolerate_unresolved_kinds.end();
}

std::string join(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (const std::string_view p : parts) out += p;
  return out;
}

// The resolved risk class, or the error for a class the policy lacks.
core::Result<std::optional<std::string>> resolve_risk_class(const Policy& policy,
                                                            const std::optional<std::string>& requested) {
  if (!policy.risk_classes) {
    if (!requested) return std::nullopt;
    return std::unexpected(core::EngineError::invalid_input(
        join({"policy: the request names risk class ", *requested, " but policy ", policy.id,
              " defines no risk_classes"})));
  }
  const RiskClasses& classes = *policy.risk_classes;
  if (!requested) return classes.default_class;
  if (*requested == classes.default_class || contains(classes.routine, *requested) ||
      contains(classes.mandatory_review, *requested)) {
    return *requested;
  }
  return std::unexpected(
      core::EngineError::invalid_input(join({"policy: policy ", policy.id, " has no risk class ", *requested})));
}

bool admits_determinism(MinimumDeterminism minimum, records::Determinism::Class cls) {
  switch (minimum) {
    case MinimumDeterminism::Exact:
      return cls == records::Determinism::Class::Exact;
    case MinimumDeterminism::Reproducible:
      return cls != records::Determinism::Class::NonDeterministic;
    case MinimumDeterminism::Any:
      return true;
  }
  return false;
}

// One claim's decision while its evidence is read.
struct ClaimState {
  Decision decision = Decision::Pass;
  std::vector<std::string> reasons;
  bool has_evidence = false;
};

void read_ordinary_finding(const Policy& policy, const records::Evidence& e, core::ClaimKind kind, ClaimState& claim) {
  const DecisionRules& rules = policy.decision;
  switch (e.result) {
    case EvidenceResult::Supported:
      claim.has_evidence = true;
      break;
    case EvidenceResult::Contradicted:
      claim.has_evidence = true;
      if (any_matches(rules.any_contradiction_from, e.verifier_id)) {
        raise(claim.decision, Decision::Fail);
        claim.reasons.push_back(join({e.verifier_id, " contradicted: ", e.rationale}));
      } else {
        raise(claim.decision, Decision::Review);
        claim.reasons.push_back(join({e.verifier_id, " contradicted (not a failing verifier under this policy)"}));
      }
      break;
    case EvidenceResult::Unsupported: {
      claim.has_evidence = true;
      const bool tolerated = std::ranges::any_of(
          e.receipt.notes, [&](const std::string& note) { return contains(rules.tolerate_notes, note); });
      if (any_matches(rules.unsupported_from, e.verifier_id) && !tolerated) {
        raise(claim.decision, Decision::Review);
        claim.reasons.push_back(join({e.verifier_id, " unsupported: ", e.rationale}));
      }
      break;
    }
    case EvidenceResult::NotApplicable:
      break;
    case EvidenceResult::Error:
      if (!kind_tolerated(policy, kind)) {
        raise(claim.decision, Decision::Review);
        claim.reasons.push_back(join({e.verifier_id, " could not check this claim: ", e.rationale}));
      }
      break;
  }
}

void read_judge_finding(const JudgeRules& judge, const records::Evidence& e, ClaimState& claim) {
  std::string_view label;
  switch (e.result) {
    case EvidenceResult::Supported:
    case EvidenceResult::NotApplicable:
      return;
    case EvidenceResult::Contradicted:
      raise(claim.decision, judge.contradicted);
      label = "contradicted";
      break;
    case EvidenceResult::Unsupported:
      raise(claim.decision, judge.unsupported);
      label = "unsupported";
      break;
    case EvidenceResult::Error:
      raise(claim.decision, Decision::Review);
      label = "could not label";
      break;
  }
  claim.reasons.push_back(join({e.verifier_id, " ", label, ": ", e.rationale}));
}

// The positions of each claim's findings in the graph's evidence, in the
// graph's order: one pass over the evidence instead of one per claim.
core::TextViewMap<std::vector<std::size_t>> findings_by_claim(const std::vector<records::Evidence>& evidence) {
  core::TextViewMap<std::vector<std::size_t>> by_claim;
  for (std::size_t i = 0; i < evidence.size(); ++i) by_claim[evidence[i].claim_id].push_back(i);
  return by_claim;
}

}  // namespace

namespace {

// The decision; the policy's hash is computed at step 11 unless the caller
// brings it.
core::Result<records::PolicyOutcome> decide(const Policy& policy, std::optional<std::string> known_hash,
                                            const records::EvidenceGraph& graph, const ClaimKinds& claim_kinds,
                                            std::span<const std::string> scope_keys,
                                            const std::optional<std::string>& requested_risk_class) {
  records::PolicyOutcome outcome;
  Decision answer = Decision::Pass;

  // 1. Risk class.
  auto risk_class = resolve_risk_class(policy, requested_risk_class);
  if (!risk_class) return std::unexpected(std::move(risk_class.error()));

  // 2. Missing scope.
  if (policy.scope) {
    for (const std::string& key : policy.scope->required) {
      if (contains(scope_keys, key)) continue;
      outcome.reasons.push_back(join({"missing_scope: the request does not say its ", key}));
      raise(answer, policy.scope->missing_scope);
    }
  }

  // 3. Verifier failures, those of forbidden verifiers ignored.
  const auto& forbidden = policy.verifiers.forbidden;
  for (const auto& [id, message] : graph.failures) {
    if (any_matches(forbidden, id)) continue;
    outcome.reasons.push_back(join({"verifier_failed: ", id, " could not run: ", message}));
    raise(answer, Decision::Review);
  }

  // 4. Mandatory review.
  if (policy.risk_classes && *risk_class && contains(policy.risk_classes->mandatory_review, **risk_class)) {
    raise(answer, Decision::Review);
    outcome.reasons.push_back(join({"mandatory_review: risk class ", **risk_class, " always goes to review"}));
  }

  // 5. Judge presence, when the policy requires a judge.
  const bool judge_section = policy.judge.has_value();
  bool judge_missing = false;
  if (judge_section && policy.judge->required) {
    const bool ran = std::ranges::any_of(graph.verifiers, [](const auto& v) { return is_judge_id(v.id); }) ||
                     std::ranges::any_of(graph.failures, [](const auto& f) { return is_judge_id(f.first); });
    judge_missing = !ran;
  }

  // 6. Admission.
  core::TextViewSet admitted;
  std::vector<std::string_view> admitted_ids;
  for (const records::VerifierInfo& v : graph.verifiers) {
    if (any_matches(forbidden, v.id)) {
      outcome.excluded_verifiers.emplace_back(v.id, "forbidden by policy");
    } else if ((judge_section && is_judge_id(v.id)) ||
               admits_determinism(policy.determinism.minimum_to_decide, v.determinism.cls)) {
      if (admitted.insert(v.id).second) admitted_ids.push_back(v.id);
    } else {
      outcome.excluded_verifiers.emplace_back(v.id, "determinism class below policy minimum; recorded, not deciding");
    }
  }

  // 7. Missing required.
  for (const std::string& pattern : policy.verifiers.required) {
    const bool met =
        std::ranges::any_of(admitted_ids, [&](std::string_view id) { return verifier_id_matches(pattern, id); });
    if (!met) outcome.missing_required.push_back(pattern);
  }

  // 8. Claims.
  const auto by_claim = findings_by_claim(graph.evidence);
  Decision claims_max = Decision::Pass;
  for (const auto& [claim_id, kind] : claim_kinds) {
    ClaimState claim;
    bool supported = false;
    bool contradicted = false;
    if (const auto found = by_claim.find(std::string_view(claim_id)); found != by_claim.end()) {
      for (const std::size_t i : found->second) {
        const records::Evidence& e = graph.evidence[i];
        supported = supported || e.result == EvidenceResult::Supported;
        contradicted = contradicted || e.result == EvidenceResult::Contradicted;
        if (!admitted.contains(std::string_view(e.verifier_id))) continue;
        if (judge_section && is_judge_id(e.verifier_id)) {
          read_judge_finding(*policy.judge, e, claim);
        } else {
          read_ordinary_finding(policy, e, kind, claim);
        }
      }
    }
    if (supported && contradicted) {
      raise(claim.decision, policy.decision.conflicts);
      claim.reasons.emplace_back("verifiers disagree on this claim");
    }
    if (!claim.has_evidence && !kind_tolerated(policy, kind)) {
      raise(claim.decision, policy.decision.unresolved_claims);
      claim.reasons.emplace_back("no admitted verifier produced evidence for this claim");
    }
    raise(claims_max, claim.decision);
    outcome.claims.push_back({claim_id, claim.decision, std::move(claim.reasons)});
  }

  // 9. Overall decision.
  Decision overall = claims_max;
  if (!outcome.missing_required.empty()) raise(overall, Decision::Review);
  raise(overall, answer);
  if (judge_missing && overall != Decision::Fail) {
    overall = Decision::Review;
    outcome.reasons.emplace_back("judge_missing: the policy requires a judge and none ran");
  }
  outcome.decision = overall;

  // 10. Triggered controls.
  for (const records::RegulatoryControl& control : policy.regulatory_mapping) {
    if (std::ranges::find(control.triggered_by, overall) != control.triggered_by.end()) {
      outcome.regulatory_mapping.push_back(control);
    }
  }

  // 11. Policy hash.
  auto hash = known_hash ? core::Result<std::string>(std::move(*known_hash)) : compute_policy_hash(policy);
  if (!hash) return std::unexpected(std::move(hash.error()));

  outcome.policy_id = policy.id;
  outcome.policy_version = policy.version;
  outcome.policy_hash = std::move(*hash);
  outcome.risk_class = std::move(*risk_class);
  outcome.pass_means = policy.pass_means;
  return outcome;
}

}  // namespace

core::Result<records::PolicyOutcome> decide_outcome(const Policy& policy, const records::EvidenceGraph& graph,
                                                    const ClaimKinds& claim_kinds,
                                                    std::span<const std::string> scope_keys,
                                                    const std::optional<std::string>& requested_risk_class) {
  return decide(policy, std::nullopt, graph, claim_kinds, scope_keys, requested_risk_class);
}

core::Result<records::PolicyOutcome> decide_outcome_with_hash(const Policy& policy, std::string policy_hash,
                                                              const records::EvidenceGraph& graph,
                                                              const ClaimKinds& claim_kinds,
                                                              std::span<const std::string> scope_keys,
                                                              const std::optional<std::string>& requested_risk_class) {
  return decide(policy, std::move(policy_hash), graph, claim_kinds, scope_keys, requested_risk_class);
}

}  // namespace qv::engine
