#pragma once
// The execution policy a verified MCP run is judged against: rules that
// match tool events, actions of one operation, actions at or above a risk
// level, or everything, each with an effect; the default effect applies
// where no rule matches.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/error.hpp"
#include "json/error.hpp"
#include "json/typed.hpp"

namespace qv::run {

// Ordered ALLOW < REVIEW < DENY; a run's gate only ever rises.
enum class Effect : std::uint8_t { Allow = 0, Review = 1, Deny = 2 };
inline constexpr std::array<std::string_view, 3> kEffectWords = {"ALLOW", "REVIEW", "DENY"};
constexpr std::string_view to_word(Effect e) { return kEffectWords[static_cast<std::size_t>(e)]; }

// Ordered low < medium < high.
enum class RiskLevel : std::uint8_t { Low = 0, Medium = 1, High = 2 };
inline constexpr std::array<std::string_view, 3> kRiskLevelWords = {"low", "medium", "high"};
constexpr std::string_view to_word(RiskLevel r) { return kRiskLevelWords[static_cast<std::size_t>(r)]; }

// What a rule selects; only the members of its kind are meaningful.
struct RuleMatch {
  enum class Kind : std::uint8_t { Tool = 0, Action = 1, RiskAtLeast = 2, Any = 3 };
  Kind kind = Kind::Any;
  std::string name;                   // Tool
  std::optional<std::string> server;  // Tool
  std::string operation;              // Action
  RiskLevel risk = RiskLevel::Low;    // RiskAtLeast
  bool operator==(const RuleMatch&) const = default;
};
inline constexpr std::array<std::string_view, 4> kRuleMatchWords = {"tool", "action", "risk_at_least", "any"};

struct ExecutionRule {
  std::string id;
  RuleMatch match;
  Effect effect = Effect::Allow;
  bool operator==(const ExecutionRule&) const = default;
};

struct ExecutionPolicy {
  std::string id;
  std::optional<std::string> hash;
  std::vector<ExecutionRule> rules;  // tried in order; the first that applies decides
  Effect default_effect = Effect::Allow;
  bool operator==(const ExecutionPolicy&) const = default;
};

// Reads one policy document (white space around one value, nothing else).
// Unknown members are skipped; errors carry the reader's position.
json::JsonResult<ExecutionPolicy> deserialize_execution_policy(std::string_view text);

// "sha256:" digest of the canonical form {id, rules, default}: each rule as
// {id, match, <the variant's members>, effect}; no `hash` member. Fails only
// as canonical JSON does.
core::Result<std::string> execution_policy_hash(const ExecutionPolicy& policy);

}  // namespace qv::run

namespace qv::json {
template <>
struct TypeReader<run::Effect> : UnitEnumReader<run::Effect, run::kEffectWords> {};
template <>
struct TypeReader<run::RiskLevel> : UnitEnumReader<run::RiskLevel, run::kRiskLevelWords> {};
}  // namespace qv::json
