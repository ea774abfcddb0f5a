#include "run/policy.hpp"

#include "records/digest.hpp"
#include "json/value.hpp"

namespace qv::run {
namespace {
const json::VariantTable<RuleMatch>& rule_match_table();
const json::StructTable<ExecutionRule>& rule_table();
}  // namespace
}  // namespace qv::run

namespace qv::json {
template <>
struct TypeReader<run::RuleMatch> : TaggedReader<run::RuleMatch, &run::rule_match_table> {};
template <>
struct TypeReader<run::ExecutionRule> : StructReader<run::ExecutionRule, &run::rule_table> {};
}  // namespace qv::json

namespace qv::run {

namespace {

using json::defaulted;
using json::required;

const json::VariantTable<RuleMatch>& rule_match_table() {
  static const json::VariantTable<RuleMatch> table{
      "RuleMatch",
      "match",
      {
          {"tool", "Tool", false, {required<&RuleMatch::name>("name"), defaulted<&RuleMatch::server>("server")}},
          {"action", "Action", false, {required<&RuleMatch::operation>("operation")}},
          {"risk_at_least", "RiskAtLeast", false, {required<&RuleMatch::risk>("risk")}},
          {"any", "Any", true, {}},
      },
      [](RuleMatch& m, std::size_t i) { m.kind = static_cast<RuleMatch::Kind>(i); },
  };
  return table;
}

// The variant's members stand beside `id` and `effect` in the rule object:
// they are gathered while the object is read and the variant is built after
// it, once a missing `id` or `effect` has been reported.
const json::StructTable<ExecutionRule>& rule_table() {
  static const json::StructTable<ExecutionRule> table{
      "Rule",
      {required<&ExecutionRule::id>("id"), required<&ExecutionRule::effect>("effect")},
      false,
      json::flattened<&ExecutionRule::match>(),
  };
  return table;
}

// `hash` and `rules` have defaults, so an array form may end before them,
// but never before `default`.
const json::StructTable<ExecutionPolicy>& policy_table() {
  static const json::StructTable<ExecutionPolicy> table{
      "ExecutionPolicy",
      {
          required<&ExecutionPolicy::id>("id"),
          defaulted<&ExecutionPolicy::hash>("hash"),
          defaulted<&ExecutionPolicy::rules>("rules"),
          required<&ExecutionPolicy::default_effect>("default"),
      },
  };
  return table;
}

json::Value rule_to_value(const ExecutionRule& rule) {
  json::Object o;
  o.insert_or_assign("id", rule.id);
  o.insert_or_assign("match", kRuleMatchWords[static_cast<std::size_t>(rule.match.kind)]);
  switch (rule.match.kind) {
    case RuleMatch::Kind::Tool:
      o.insert_or_assign("name", rule.match.name);
      if (rule.match.server) o.insert_or_assign("server", *rule.match.server);
      break;
    case RuleMatch::Kind::Action:
      o.insert_or_assign("operation", rule.match.operation);
      break;
    case RuleMatch::Kind::RiskAtLeast:
      o.insert_or_assign("risk", to_word(rule.match.risk));
      break;
    case RuleMatch::Kind::Any:
      break;
  }
  o.insert_or_assign("effect", to_word(rule.effect));
  return o;
}

}  // namespace

json::JsonResult<ExecutionPolicy> deserialize_execution_policy(std::string_view text) {
  return json::read_typed<ExecutionPolicy, json::StructReader<ExecutionPolicy, &policy_table>>(text);
}

core::Result<std::string> execution_policy_hash(const ExecutionPolicy& policy) {
  json::Array rules;
  rules.reserve(policy.rules.size());
  for (const ExecutionRule& rule : policy.rules) rules.push_back(rule_to_value(rule));
  json::Object o;
  o.insert_or_assign("id", policy.id);
  o.insert_or_assign("rules", std::move(rules));
  o.insert_or_assign("default", to_word(policy.default_effect));
  return records::canonical_digest(o);
}

}  // namespace qv::run
