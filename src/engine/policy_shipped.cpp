// The texts of the shipped policies, exactly as builtin_policy_yaml returns
// them.
#include <array>

#include "engine/policy.hpp"

namespace qv::engine {

namespace {

constexpr std::string_view kDefaultPolicy = R"yaml(
id: quillaveen_default_v1
version: 1.5.0
description: >
  Numeric claims must be exactly supported by the sources. A numeric
  contradiction fails the answer, and so does a figure taken from a passage
  outside the request's scope. A figure the sources do not contain, and the
  answer cannot recompute from figures they do, goes to review, and so does
  an answer whose figure is not the kind or unit the question asked for, and
  any claim no deterministic verifier can resolve. No model is needed and no generative
  verifier decides.
verifiers:
  required: [quillaveen.numeric]
  recommended: [quillaveen.scope, quillaveen.intent, quillaveen.rules.*]
  forbidden: [llm_judge.*]
determinism:
  minimum_to_decide: reproducible
decision:
  any_contradiction_from: [quillaveen.numeric, quillaveen.scope, quillaveen.rules.*]
  unsupported_from: [quillaveen.numeric, quillaveen.scope, quillaveen.intent]
  tolerate_notes: [year_not_in_sources]
  unresolved_claims: REVIEW
  conflicts: REVIEW
  tolerate_unresolved_kinds: [word, statement]
)yaml";

constexpr std::string_view kEuAiActHighRisk = R"yaml(
# Policy: what this organisation considers acceptable for a RAG assistant
# whose outputs feed a decision listed in Annex III of Regulation (EU) 2024/1689.
id: eu_ai_act_high_risk_v1
version: 1.5.0
description: >
  Numeric claims must be exactly supported by the retrieved sources. Any
  numeric contradiction fails the answer, and so does a figure taken from a
  passage outside the request's scope (another company, contract or version).
  A figure the sources do not contain, and the answer cannot recompute from
  figures they do, goes to review, and so does an answer whose figure is not
  the kind or unit the question asked for.
  Everything a deterministic verifier
  cannot resolve goes to human review (Art. 14). No model is needed and no
  generative judge decides.
verifiers:
  required: [quillaveen.numeric]
  recommended: [quillaveen.scope, quillaveen.intent, quillaveen.rules.*]
  fallback: []
  forbidden: [llm_judge.*]
determinism:
  minimum_to_decide: reproducible
decision:
  any_contradiction_from: [quillaveen.numeric, quillaveen.scope, quillaveen.rules.*]
  unsupported_from: [quillaveen.numeric, quillaveen.scope, quillaveen.intent]
  tolerate_notes: [year_not_in_sources]
  unresolved_claims: REVIEW
  conflicts: REVIEW
  tolerate_unresolved_kinds: [word, statement]
regulatory_mapping:
  - framework: EU-AI-Act-2024/1689
    article: "Art. 15(1)"
    control: accuracy-of-outputs
    requirement: "High-risk AI systems shall achieve an appropriate level of accuracy and perform consistently in those respects throughout their lifecycle."
    triggered_by: [FAIL]
  - framework: EU-AI-Act-2024/1689
    article: "Art. 14(4)(a)"
    control: human-oversight-review-queue
    requirement: "Persons overseeing the system can properly understand its capacities and limitations and duly monitor its operation."
    triggered_by: [REVIEW]
  - framework: EU-AI-Act-2024/1689
    article: "Art. 12(1)"
    control: automatic-record-keeping
    requirement: "Automatic recording of events (logs) over the lifetime of the system."
    triggered_by: [PASS, REVIEW, FAIL]
)yaml";

// Each raw string starts with the line break after its opening delimiter.
constexpr std::array<ShippedPolicy, 2> kShipped = {{
    {kDefaultPolicyName, kDefaultPolicy.substr(1)},
    {"eu_ai_act_high_risk_v1", kEuAiActHighRisk.substr(1)},
}};

}  // namespace

std::span<const ShippedPolicy> shipped_policies() { return kShipped; }

std::optional<std::string_view> shipped_policy_text(std::string_view name) {
  for (const ShippedPolicy& p : kShipped) {
    if (p.name == name) return p.text;
  }
  return std::nullopt;
}

std::string_view default_policy_text() { return kShipped[0].text; }

}  // namespace qv::engine
