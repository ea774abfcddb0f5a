#pragma once
// User rule sets: the JSON format, its reader, the value form the set's
// digest is taken from, and the compiled form the rules verifier runs.
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/error.hpp"
#include "core/vocabulary.hpp"
#include "json/value.hpp"
#include "regex/regex.hpp"

namespace qv::verifiers {

using core::ClaimKind;

// What a rule concludes when it fires.
enum class RuleEmit : std::uint8_t { Supported = 0, Unsupported = 1, Contradicted = 2 };
inline constexpr std::array<std::string_view, 3> kRuleEmitWords = {"supported", "unsupported", "contradicted"};
constexpr std::string_view to_word(RuleEmit e) { return kRuleEmitWords[static_cast<std::size_t>(e)]; }

// Attribute constraints, ordered by the bytes of their keys. The value "*"
// asks only that the key be present.
using AttributeMap = std::map<std::string, std::string>;

struct Scope {
  std::optional<ClaimKind> claim_kind;  // none: every kind
  AttributeMap attribute;
  bool operator==(const Scope&) const = default;
};

struct Condition {
  std::optional<std::string> text_matches;
  std::optional<std::string> answer_matches;
  std::optional<std::string> source_matches;
  AttributeMap attribute;
  bool operator==(const Condition&) const = default;
};

struct Rule {
  std::string id;
  std::string description;
  Scope scope;
  Condition when;  // the empty condition always holds
  std::optional<Condition> unless;
  RuleEmit emit = RuleEmit::Supported;
  bool operator==(const Rule&) const = default;
};

struct RuleSet {
  std::string id;
  std::string version;
  std::vector<Rule> rules;
  bool operator==(const RuleSet&) const = default;
};

// Reads one rule-set document. Any failure of the reader, syntax and depth
// limit included, is InvalidInput "rule set: {}" around the reader's message
// with its line and column.
core::Result<RuleSet> read_rule_set(std::string_view text);

// The value form: ids, version, description and emit always; the scope's
// kind, the patterns and `unless` only when present; attribute maps only
// when not empty.
json::Value rule_set_to_value(const RuleSet& set);
// "sha256:" and the hex SHA-256 of the value form's canonical JSON.
core::Result<std::string> rule_set_digest(const RuleSet& set);

// A condition with its patterns compiled (each present exactly when its
// text was given).
struct CompiledCondition {
  std::optional<regex::Regex> text;
  std::optional<regex::Regex> answer;
  std::optional<regex::Regex> source;
  AttributeMap attribute;
};

struct CompiledRule {
  std::string id;
  std::string description;
  std::optional<ClaimKind> claim_kind;
  AttributeMap scope_attribute;
  CompiledCondition when;
  std::optional<CompiledCondition> unless;
  RuleEmit emit = RuleEmit::Supported;
};

// Compiles the text, answer and source patterns in this order on the
// linear-time engine; the first that fails gives InvalidInput
// "bad regex {}: {}" with the pattern and the engine's error display.
core::Result<CompiledCondition> compile_condition(const Condition& condition);
// Every rule in order, `when` before `unless`; the first failure ends it.
core::Result<std::vector<CompiledRule>> compile_rules(const RuleSet& set);

}  // namespace qv::verifiers
