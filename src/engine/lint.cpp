// Policy lint, the verifier-id patterns it shares with the decision, and the
// built-in verifier descriptions.
#include "engine/lint.hpp"

#include <string_view>

#include "core/keyed_hash.hpp"
#include "unicode/white_space.hpp"
#include "verifiers/intent.hpp"
#include "verifiers/numeric.hpp"
#include "verifiers/scope.hpp"

namespace qv::engine {

bool verifier_id_matches(std::string_view pattern, std::string_view id) {
  if (pattern.ends_with(".*")) {
    const std::string_view stem = pattern.substr(0, pattern.size() - 2);
    return id == stem || id.starts_with(pattern.substr(0, pattern.size() - 1));
  }
  return pattern == id;
}

namespace {

constexpr std::string_view kRoundingNames = "half_up, half_even, within_last_digit";

void lint_risk_classes(const RiskClasses& rc, std::vector<std::string>& problems) {
  core::TextViewSet seen;
  for (const auto* list : {&rc.routine, &rc.mandatory_review}) {
    for (const std::string& name : *list) {
      if (!seen.insert(name).second) problems.push_back("risk_classes: " + name + " is listed twice");
    }
  }
  for (const std::string& name : rc.routine) {
    if (name == rc.default_class) {
      problems.push_back("risk_classes: " + rc.default_class + " is the default; it need not be listed as routine");
      break;
    }
  }
}

void lint_required(const Policy& policy, std::span<const records::VerifierInfo> known,
                   std::vector<std::string>& problems) {
  const auto& required = policy.verifiers.required;
  if (required.empty()) return;
  core::TextViewSet known_ids;
  for (const records::VerifierInfo& info : known) known_ids.insert(info.id);
  const core::TextViewSet forbidden(policy.verifiers.forbidden.begin(), policy.verifiers.forbidden.end());
  for (const std::string& entry : required) {
    const bool pattern_like =
        entry.starts_with("quillaveen.rules.") || is_judge_id(entry) || entry.ends_with(".*");
    if (!pattern_like && !known_ids.contains(entry)) {
      problems.push_back(entry +
                         ": required, but this engine has no such verifier (the model channels were removed in 6.0)");
    }
    if (forbidden.contains(entry)) problems.push_back(entry + ": both required and forbidden");
  }
}

}  // namespace

std::vector<std::string> lint_policy(const Policy& policy, std::span<const records::VerifierInfo> known) {
  std::vector<std::string> problems;
  if (policy.rounding && !core::rounding_rule_from_word(*policy.rounding)) {
    problems.push_back("rounding: unknown rule " + *policy.rounding + "; use " + std::string(kRoundingNames));
  }
  if (policy.locale && unicode::is_blank(*policy.locale)) {
    problems.emplace_back("locale: empty; remove the key or name a locale");
  }
  if (policy.pass_means && unicode::is_blank(*policy.pass_means)) {
    problems.emplace_back("pass_means: empty; say what PASS means for this application");
  }
  if (policy.scope) {
    if (policy.scope->missing_scope == Decision::Pass) {
      problems.emplace_back("scope.missing_scope: a missing scope key can never PASS");
    }
    for (const std::string& key : policy.scope->required) {
      if (unicode::is_blank(key)) {
        problems.emplace_back("scope.required: empty key");
        break;
      }
    }
  }
  if (policy.judge) {
    if (policy.judge->contradicted == Decision::Pass || policy.judge->unsupported == Decision::Pass) {
      problems.emplace_back("judge: a label from the judge can escalate a claim, never pass it");
    }
    for (const std::string& pattern : policy.verifiers.forbidden) {
      if (verifier_id_matches(pattern, "llm_judge.any")) {
        problems.emplace_back(
            "judge: the policy sets judge rules but forbids llm_judge.*; set verifiers.forbidden without it");
        break;
      }
    }
  }
  if (policy.risk_classes) lint_risk_classes(*policy.risk_classes, problems);
  lint_required(policy, known, problems);
  return problems;
}

std::vector<records::VerifierInfo> builtin_verifier_infos() {
  return {verifiers::numeric_verifier_info(), verifiers::scope_verifier_info(), verifiers::intent_verifier_info()};
}

core::Result<PolicyLintReport> lint_policy_text(std::string_view argument) {
  auto policy = parse_policy(choose_policy_text(argument));
  if (!policy) return std::unexpected(std::move(policy.error()));
  auto hash = compute_policy_hash(*policy);
  if (!hash) return std::unexpected(std::move(hash.error()));
  return PolicyLintReport{std::move(*hash), lint_policy(*policy, builtin_verifier_infos())};
}

}  // namespace qv::engine
