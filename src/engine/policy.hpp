#pragma once
// The verification policy: which verifiers may decide and how sure they must
// be, how findings become PASS, REVIEW or FAIL, which scope keys and risk
// classes a request may carry, whether a language-model judge takes part,
// and which regulatory controls a final decision triggers.
//
// A policy is written in YAML and may build on one of the two shipped
// policies through `extends`; parse_policy reads it, merges the baseline in
// and gives the typed Policy.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/error.hpp"
#include "core/vocabulary.hpp"
#include "records/types.hpp"

namespace qv::engine {

using core::ClaimKind;
using core::Decision;

// The weakest determinism class whose findings decide.
enum class MinimumDeterminism : std::uint8_t { Exact = 0, Reproducible = 1, Any = 2 };
inline constexpr std::array<std::string_view, 3> kMinimumDeterminismWords = {"exact", "reproducible", "any"};
constexpr std::string_view to_word(MinimumDeterminism m) {
  return kMinimumDeterminismWords[static_cast<std::size_t>(m)];
}

// `scope`: scope keys a request must state.
struct ScopeRules {
  std::vector<std::string> required;
  Decision missing_scope = Decision::Review;
  bool operator==(const ScopeRules&) const = default;
};

// `risk_classes`: the classes a request may name. Written `default` in YAML.
struct RiskClasses {
  std::string default_class;
  std::vector<std::string> routine;
  std::vector<std::string> mandatory_review;
  bool operator==(const RiskClasses&) const = default;
};

// `judge`: whether and how a language-model judge's labels decide.
struct JudgeRules {
  bool required = false;
  Decision contradicted = Decision::Review;
  Decision unsupported = Decision::Review;
  bool operator==(const JudgeRules&) const = default;
};

// `verifiers`: tiers of verifier-id patterns ("quillaveen.numeric",
// "quillaveen.rules.*").
struct VerifierSets {
  std::vector<std::string> required;
  std::vector<std::string> recommended;
  std::vector<std::string> optional;
  std::vector<std::string> fallback;
  std::vector<std::string> forbidden;
  bool operator==(const VerifierSets&) const = default;
};

// `determinism`.
struct DeterminismPolicy {
  MinimumDeterminism minimum_to_decide = MinimumDeterminism::Reproducible;
  bool operator==(const DeterminismPolicy&) const = default;
};

// `decision`. These member defaults are what a present section gives for
// the keys it leaves out; a policy without the section gets
// default_decision_rules() instead.
struct DecisionRules {
  std::vector<std::string> any_contradiction_from;
  std::vector<std::string> unsupported_from;
  Decision unresolved_claims = Decision::Review;
  Decision conflicts = Decision::Review;
  std::vector<ClaimKind> tolerate_unresolved_kinds;
  std::vector<std::string> tolerate_notes;
  bool operator==(const DecisionRules&) const = default;
};

// Contradictions of quillaveen.numeric and of every rules verifier fail a
// claim; word claims may stay unresolved; REVIEW for unresolved claims and
// conflicts.
DecisionRules default_decision_rules();

using records::RegulatoryControl;

struct Policy {
  std::string id;
  std::string version;
  std::optional<std::string> extends;  // the shipped policy this one builds on, as written
  std::string description;
  std::optional<std::string> pass_means;
  std::optional<std::string> locale;
  std::optional<std::string> rounding;  // a rule name, not checked when read
  std::optional<ScopeRules> scope;
  std::optional<RiskClasses> risk_classes;
  std::optional<JudgeRules> judge;
  VerifierSets verifiers;
  DeterminismPolicy determinism;
  DecisionRules decision = default_decision_rules();
  std::vector<RegulatoryControl> regulatory_mapping;
  bool operator==(const Policy&) const = default;
};

// ---------------------------------------------------------------------------
// Reading.

// The typed reading of one YAML document: keys matched exactly, unknown and
// missing keys refused, enumeration values matched on their text. The
// error is the reader's message: "[path: ]message[ at line L column C]".
std::expected<Policy, std::string> policy_from_yaml(std::string_view text);

// The shipped policies, in this order; the first is the default policy.
struct ShippedPolicy {
  std::string_view name;
  std::string_view text;
};
std::span<const ShippedPolicy> shipped_policies();
inline constexpr std::string_view kDefaultPolicyName = "quillaveen_default_v1";
// The text of the shipped policy of exactly this name (case-sensitive, not
// trimmed), or none.
std::optional<std::string_view> shipped_policy_text(std::string_view name);
// The default policy's text.
std::string_view default_policy_text();

// How deep `extends` may lead: the caller's text and bases down to this
// depth may extend.
inline constexpr int kMaxExtendsDepth = 3;

// A policy text to its Policy, with its `extends` chain merged in: every
// mapping of the base is merged key by key with the child's, anything else
// the child sets replaces the base's value. Every failure is InvalidInput
// "policy: ...". The text is read as given: not trimmed, and a blank text is
// refused ("EOF while parsing a value"), not replaced by the default policy.
core::Result<Policy> parse_policy(std::string_view text);

// The text that policy_lint and policy_resolve read for an argument: the
// shipped policy's text when the argument, trimmed of white space, is one of
// the shipped names, else the argument itself.
std::string_view choose_policy_text(std::string_view argument);

// ---------------------------------------------------------------------------
// Rendering.

// "sha256:" and the hex SHA-256 of the canonical JSON form of the policy.
// Lists of text keep their order; an empty risk_classes.routine,
// decision.unsupported_from or decision.tolerate_notes is left out, every
// other list is written even when empty.
core::Result<std::string> compute_policy_hash(const Policy& policy);

// The policy as one YAML document with every default and inherited value
// written out, keys in the order of the members above. Reading the text back
// gives the same policy: a list that the policy's baseline sets and the
// policy empties is written as an empty sequence where an empty list would
// otherwise be left out. The error is the writer's message.
std::expected<std::string, std::string> write_policy_yaml(const Policy& policy);

// The text policy_resolve returns for an argument: "# {id} v{version}\n#
// hash: {hash}\n" and the YAML of the resolved policy. A line break inside
// the id or version is written as a space in the two comment lines.
core::Result<std::string> resolve_policy_text(std::string_view argument);

// ---------------------------------------------------------------------------
// Verifier ids.

// A pattern ending in ".*" matches the id equal to what comes before ".*"
// and every id that begins with the pattern without its "*"; any other
// pattern matches only the equal id. Bytes, case-sensitive.
bool verifier_id_matches(std::string_view pattern, std::string_view id);

// The language-model judge's ids begin with "llm_judge.".
inline constexpr std::string_view kJudgeIdPrefix = "llm_judge.";
constexpr bool is_judge_id(std::string_view id) { return id.starts_with(kJudgeIdPrefix); }

}  // namespace qv::engine
