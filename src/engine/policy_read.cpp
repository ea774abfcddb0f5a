// Reading a policy text: the typed reading of one YAML document, and the
// loader that follows `extends` to a shipped policy and merges it in.
#include <cstddef>
#include <utility>
#include <vector>

#include "core/keyed_hash.hpp"
#include "engine/policy.hpp"
#include "unicode/quote.hpp"
#include "unicode/white_space.hpp"
#include "yaml/emit.hpp"
#include "yaml/events.hpp"
#include "yaml/tree.hpp"
#include "yaml/typed.hpp"

namespace qv::engine {

DecisionRules default_decision_rules() {
  DecisionRules rules;
  rules.any_contradiction_from = {"quillaveen.numeric", "quillaveen.rules.*"};
  rules.tolerate_unresolved_kinds = {ClaimKind::Word};
  return rules;
}

namespace {

using yaml::defaulted;
using yaml::optional;
using yaml::required;
using yaml::StructTable;

// Enumerations match the text of a scalar in any style.
using DecisionReader = yaml::UnitEnumReader<Decision, core::kDecisionWords>;
using ClaimKindReader = yaml::UnitEnumReader<ClaimKind, core::kClaimKindWords>;
using MinimumReader = yaml::UnitEnumReader<MinimumDeterminism, kMinimumDeterminismWords>;

const StructTable<ScopeRules>& scope_table() {
  static const StructTable<ScopeRules> t{
      "ScopeRules",
      {defaulted<&ScopeRules::required>("required"),
       defaulted<&ScopeRules::missing_scope, DecisionReader>("missing_scope")},
      true};
  return t;
}

const StructTable<RiskClasses>& risk_classes_table() {
  static const StructTable<RiskClasses> t{"RiskClasses",
                                          {required<&RiskClasses::default_class>("default"),
                                           defaulted<&RiskClasses::routine>("routine"),
                                           defaulted<&RiskClasses::mandatory_review>("mandatory_review")},
                                          true};
  return t;
}

const StructTable<JudgeRules>& judge_table() {
  static const StructTable<JudgeRules> t{"JudgeRules",
                                         {defaulted<&JudgeRules::required>("required"),
                                          defaulted<&JudgeRules::contradicted, DecisionReader>("contradicted"),
                                          defaulted<&JudgeRules::unsupported, DecisionReader>("unsupported")},
                                         true};
  return t;
}

const StructTable<VerifierSets>& verifier_sets_table() {
  static const StructTable<VerifierSets> t{
      "VerifierSets",
      {defaulted<&VerifierSets::required>("required"), defaulted<&VerifierSets::recommended>("recommended"),
       defaulted<&VerifierSets::optional>("optional"), defaulted<&VerifierSets::fallback>("fallback"),
       defaulted<&VerifierSets::forbidden>("forbidden")},
      true};
  return t;
}

const StructTable<DeterminismPolicy>& determinism_table() {
  static const StructTable<DeterminismPolicy> t{
      "DeterminismPolicy", {required<&DeterminismPolicy::minimum_to_decide, MinimumReader>("minimum_to_decide")}, true};
  return t;
}

const StructTable<DecisionRules>& decision_table() {
  static const StructTable<DecisionRules> t{
      "DecisionRules",
      {defaulted<&DecisionRules::any_contradiction_from>("any_contradiction_from"),
       defaulted<&DecisionRules::unsupported_from>("unsupported_from"),
       defaulted<&DecisionRules::unresolved_claims, DecisionReader>("unresolved_claims"),
       defaulted<&DecisionRules::conflicts, DecisionReader>("conflicts"),
       defaulted<&DecisionRules::tolerate_unresolved_kinds, yaml::SequenceReader<ClaimKind, ClaimKindReader>>(
           "tolerate_unresolved_kinds"),
       defaulted<&DecisionRules::tolerate_notes>("tolerate_notes")},
      true};
  return t;
}

const StructTable<RegulatoryControl>& control_table() {
  static const StructTable<RegulatoryControl> t{
      "RegulatoryControl",
      {required<&RegulatoryControl::framework>("framework"), required<&RegulatoryControl::article>("article"),
       required<&RegulatoryControl::control>("control"), defaulted<&RegulatoryControl::requirement>("requirement"),
       required<&RegulatoryControl::triggered_by, yaml::SequenceReader<Decision, DecisionReader>>("triggered_by")},
      true};
  return t;
}

using ScopeReader = yaml::StructReader<ScopeRules, scope_table>;
using RiskClassesReader = yaml::StructReader<RiskClasses, risk_classes_table>;
using JudgeReader = yaml::StructReader<JudgeRules, judge_table>;
using VerifierSetsReader = yaml::StructReader<VerifierSets, verifier_sets_table>;
using DeterminismReader = yaml::StructReader<DeterminismPolicy, determinism_table>;
using DecisionRulesReader = yaml::StructReader<DecisionRules, decision_table>;
using ControlReader = yaml::StructReader<RegulatoryControl, control_table>;

const StructTable<Policy>& policy_table() {
  static const StructTable<Policy> t{
      "Policy",
      {required<&Policy::id>("id"), required<&Policy::version>("version"), optional<&Policy::extends>("extends"),
       defaulted<&Policy::description>("description"), optional<&Policy::pass_means>("pass_means"),
       optional<&Policy::locale>("locale"), optional<&Policy::rounding>("rounding"),
       optional<&Policy::scope, yaml::OptionReader<ScopeRules, ScopeReader>>("scope"),
       optional<&Policy::risk_classes, yaml::OptionReader<RiskClasses, RiskClassesReader>>("risk_classes"),
       optional<&Policy::judge, yaml::OptionReader<JudgeRules, JudgeReader>>("judge"),
       defaulted<&Policy::verifiers, VerifierSetsReader>("verifiers"),
       defaulted<&Policy::determinism, DeterminismReader>("determinism"),
       defaulted<&Policy::decision, DecisionRulesReader>("decision"),
       defaulted<&Policy::regulatory_mapping, yaml::SequenceReader<RegulatoryControl, ControlReader>>(
           "regulatory_mapping")},
      true};
  return t;
}

using PolicyReader = yaml::StructReader<Policy, policy_table>;

core::EngineError policy_error(std::string_view message) {
  std::string text = "policy: ";
  text += message;
  return core::EngineError::invalid_input(std::move(text));
}

// The node under any tags.
const yaml::Node& untagged(const yaml::Node& node) {
  const yaml::Node* n = &node;
  while (n->is_tagged()) n = n->as_tagged().node.get();
  return *n;
}

// The text of `extends` in a root mapping, when it is text.
const std::string* extends_name(const yaml::Node& root) {
  const yaml::Node* value = root.find("extends");
  if (value == nullptr) return nullptr;
  const yaml::Node& v = untagged(*value);
  return v.is_string() ? &v.as_string() : nullptr;
}

core::EngineError unknown_base_error(std::string_view name) {
  std::string names;
  for (const ShippedPolicy& p : shipped_policies()) {
    if (!names.empty()) names += ", ";
    names += p.name;
  }
  return policy_error("extends " + unicode::debug_quote(name) + ": not a shipped policy; use one of " + names);
}

// Merges `child` into `base`: two mappings merge entry by entry (an equal
// key merges its values by the same rule, a new key is appended in the
// child's order); anything else replaces the base's value whole. Walks the
// mappings with a work list, and finds keys through a hash of their text
// form, so that neither the depth nor the width of a text costs more than
// linear work.
void merge_policy_values(yaml::Node& base, yaml::Node&& child) {
  std::vector<std::pair<yaml::Node*, yaml::Node*>> work{{&base, &child}};
  while (!work.empty()) {
    auto [b, c] = work.back();
    work.pop_back();
    if (!b->is_mapping() || !c->is_mapping()) {
      *b = std::move(*c);
      continue;
    }
    yaml::Mapping& bm = b->as_mapping();
    core::TextMap<std::size_t> index;
    index.reserve(bm.size());
    for (std::size_t i = 0; i < bm.size(); ++i) index.emplace(yaml::key_form(bm[i].first), i);
    // Matches are queued only after every append to this mapping, so the
    // pointers into it stay valid.
    std::vector<std::pair<std::size_t, yaml::Node*>> matched;
    for (auto& [key, value] : c->as_mapping()) {
      auto [it, inserted] = index.emplace(yaml::key_form(key), bm.size());
      if (inserted) {
        bm.emplace_back(std::move(key), std::move(value));
      } else {
        matched.emplace_back(it->second, &value);
      }
    }
    for (auto [i, value] : matched) work.emplace_back(&bm[i].second, value);
  }
}

// Reads one text into a tree and merges in the base its `extends` names.
core::Result<yaml::Node> resolve_policy_value(std::string_view text, int depth, const yaml::Document* loaded) {
  auto tree = loaded != nullptr ? yaml::build_tree(*loaded) : yaml::read_tree(text);
  if (!tree) return std::unexpected(policy_error(tree.error().display()));
  if (!tree->is_mapping()) return std::unexpected(policy_error("a policy is a YAML mapping"));
  const yaml::Node* extends = tree->find("extends");
  if (extends == nullptr) return std::move(*tree);
  const std::string* name = extends_name(*tree);
  if (name == nullptr) return std::unexpected(policy_error("extends must name a shipped policy"));
  if (depth > kMaxExtendsDepth) {
    return std::unexpected(policy_error("extends is nested more than " + std::to_string(kMaxExtendsDepth + 1) +
                                        " levels deep"));
  }
  for (const char* key : {"id", "version"}) {
    if (tree->find(key) == nullptr) {
      return std::unexpected(policy_error("a policy that extends " + *name + " must set its own " + key +
                                          ", so its records are not mistaken for the baseline's"));
    }
  }
  const auto base_text = shipped_policy_text(*name);
  if (!base_text) return std::unexpected(unknown_base_error(*name));
  auto base = resolve_policy_value(*base_text, depth + 1, nullptr);
  if (!base) return base;
  merge_policy_values(*base, std::move(*tree));
  return base;
}

std::expected<Policy, std::string> read_policy(const yaml::Document& doc) {
  auto policy = yaml::read_typed<Policy, PolicyReader>(doc);
  if (!policy) return std::unexpected(policy.error().display());
  return std::move(*policy);
}

}  // namespace

std::expected<Policy, std::string> policy_from_yaml(std::string_view text) {
  auto policy = yaml::read_typed<Policy, PolicyReader>(text);
  if (!policy) return std::unexpected(policy.error().display());
  return std::move(*policy);
}

core::Result<Policy> parse_policy(std::string_view text) {
  // The text is parsed once; without `extends` the typed reading walks the
  // same events the tree was built from.
  const yaml::Document doc = yaml::load_document(text);
  auto merged = resolve_policy_value(text, 0, &doc);
  if (!merged) return std::unexpected(std::move(merged.error()));
  const std::string* name = extends_name(*merged);
  if (name == nullptr) {
    auto policy = read_policy(doc);
    if (!policy) return std::unexpected(policy_error(policy.error()));
    return std::move(*policy);
  }
  // The merged tree is written back and read as a whole; a reader error's
  // position would point into that text, not the author's, so it is cut.
  auto written = yaml::write_yaml(*merged);
  if (!written) return std::unexpected(policy_error(written.error().display()));
  auto policy = policy_from_yaml(*written);
  if (!policy) {
    std::string message = std::move(policy.error());
    if (const auto at = message.find(" at line "); at != std::string::npos) message.resize(at);
    return std::unexpected(policy_error(message + " (in this policy or in " + *name + ", which it extends)"));
  }
  return std::move(*policy);
}

std::string_view choose_policy_text(std::string_view argument) {
  const auto shipped = shipped_policy_text(unicode::trim_white_space(argument));
  return shipped ? *shipped : argument;
}

}  // namespace qv::engine
