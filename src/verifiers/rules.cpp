#include "verifiers/rules.hpp"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>

namespace qv::verifiers {
namespace {

using records::Claim;
using records::EvidenceResult;

bool attributes_satisfied(const AttributeMap& wanted, const records::InsertionMap& attributes) {
  for (const auto& [key, value] : wanted) {
    const std::string* have = attributes.find(key);
    if (have == nullptr) return false;
    if (value != "*" && *have != value) return false;
  }
  return true;
}

bool any_source_matches(const regex::Regex& re, const VerificationContext& context) {
  return std::any_of(context.sources.begin(), context.sources.end(),
                     [&](const records::Source& s) { return re.is_match(s.text); });
}

bool in_scope(const CompiledRule& rule, const Claim& claim) {
  if (rule.claim_kind && *rule.claim_kind != claim.kind) return false;
  return attributes_satisfied(rule.scope_attribute, claim.attributes);
}

Evidence finding(const VerifierInfo& info, const CompiledRule& rule, const Claim& claim) {
  Evidence e;
  e.verifier_id = info.id;
  e.verifier_version = info.version;
  e.claim_id = claim.id;
  switch (rule.emit) {
    case RuleEmit::Supported:
      e.result = EvidenceResult::Supported;
      e.score = 1.0;
      break;
    case RuleEmit::Unsupported:
      e.result = EvidenceResult::Unsupported;
      e.score = 0.0;
      break;
    case RuleEmit::Contradicted:
      e.result = EvidenceResult::Contradicted;
      e.score = 0.0;
      break;
  }
  e.confidence = 1.0;
  e.determinism = records::Determinism::exact();
  e.rationale = "rule " + rule.id + ": " + rule.description;
  e.receipt.notes.push_back("rule:" + rule.id);
  return e;
}

// The findings of one rules verifier in the evidence order; as they share
// the verifier id and a claim has at most one, this is claim-id byte order.
void order_findings(std::vector<Evidence>& findings) {
  if (findings.size() >= 2) std::stable_sort(findings.begin(), findings.end(), records::evidence_before);
}

// The outcome of one claim-independent search: not yet made, or its result.
enum class Known : std::uint8_t { Unknown, False, True };

// The claim-independent parts of one condition, each searched on first need.
class ConditionMemo {
 public:
  bool holds(const CompiledCondition& c, const Claim& claim, const VerificationContext& context) {
    if (c.text && !c.text->is_match(claim.text)) return false;
    if (c.answer && !known(answer_, [&] { return c.answer->is_match(context.answer); })) return false;
    if (c.source && !known(source_, [&] { return any_source_matches(*c.source, context); })) return false;
    return attributes_satisfied(c.attribute, claim.attributes);
  }

 private:
  template <class Search>
  static bool known(Known& slot, Search&& search) {
    if (slot == Known::Unknown) slot = search() ? Known::True : Known::False;
    return slot == Known::True;
  }
  Known answer_ = Known::Unknown;
  Known source_ = Known::Unknown;
};

// For each claim, the finding of the first rule that takes it. `holds(i,
// is_unless, claim)` evaluates rule i's `when` (or its `unless`).
template <class Holds>
std::vector<Evidence> apply_rules(const VerifierInfo& info, const std::vector<CompiledRule>& rules,
                                  const VerificationContext& context, Holds&& holds) {
  std::vector<Evidence> findings;
  for (const Claim& claim : context.claims) {
    for (std::size_t i = 0; i < rules.size(); ++i) {
      const CompiledRule& rule = rules[i];
      if (!in_scope(rule, claim) || !holds(i, false, claim)) continue;
      if (rule.unless && holds(i, true, claim)) continue;
      findings.push_back(finding(info, rule, claim));
      break;
    }
  }
  order_findings(findings);
  return findings;
}

}  // namespace

VerifierInfo rules_verifier_info(const RuleSet& set, std::string digest) {
  VerifierInfo info = exact_verifier_info("quillaveen.rules." + set.id, set.version, records::VerifierKind::Symbolic,
                                          {ClaimKind::Numeric, ClaimKind::Temporal, ClaimKind::Entity,
                                           ClaimKind::Citation, ClaimKind::Statement, ClaimKind::Word});
  info.artefacts.emplace_back("ruleset", std::move(digest));
  return info;
}

bool condition_holds(const CompiledCondition& c, const Claim& claim, const VerificationContext& context) {
  // A fresh memo searches every part it needs: the plain evaluation.
  ConditionMemo fresh;
  return fresh.holds(c, claim, context);
}

core::Result<std::vector<Evidence>> RulesVerifier::run(const VerificationContext& context) const {
  if (context.claims.empty() || rules_.empty()) return std::vector<Evidence>();
  // One memo for `when` and one for `unless` of each rule.
  std::vector<ConditionMemo> when(rules_.size());
  std::vector<ConditionMemo> unless(rules_.size());
  return apply_rules(info_, rules_, context, [&](std::size_t i, bool is_unless, const Claim& claim) {
    const CompiledRule& rule = rules_[i];
    return is_unless ? unless[i].holds(*rule.unless, claim, context) : when[i].holds(rule.when, claim, context);
  });
}

core::Result<VerifierPtr> make_rules_verifier(const RuleSet& set) {
  auto rules = compile_rules(set);
  if (!rules) return std::unexpected(std::move(rules.error()));
  auto digest = rule_set_digest(set);
  if (!digest) return std::unexpected(std::move(digest.error()));
  return std::make_unique<RulesVerifier>(rules_verifier_info(set, std::move(*digest)), std::move(*rules));
}

}  // namespace qv::verifiers
