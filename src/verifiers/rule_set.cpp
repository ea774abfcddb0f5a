#include "verifiers/rule_set.hpp"

#include <utility>

#include "records/digest.hpp"
#include "json/typed.hpp"
#include "json/vocabulary.hpp"

namespace qv::verifiers {
namespace {

const json::StructTable<Scope>& scope_table();
const json::StructTable<Condition>& condition_table();
const json::StructTable<Rule>& rule_table();
const json::StructTable<RuleSet>& rule_set_table();

}  // namespace
}  // namespace qv::verifiers

namespace qv::json {
template <>
struct TypeReader<verifiers::RuleEmit> : UnitEnumReader<verifiers::RuleEmit, verifiers::kRuleEmitWords> {};
template <>
struct TypeReader<verifiers::Scope> : StructReader<verifiers::Scope, &verifiers::scope_table> {};
template <>
struct TypeReader<verifiers::Condition> : StructReader<verifiers::Condition, &verifiers::condition_table> {};
template <>
struct TypeReader<verifiers::Rule> : StructReader<verifiers::Rule, &verifiers::rule_table> {};
template <>
struct TypeReader<verifiers::RuleSet> : StructReader<verifiers::RuleSet, &verifiers::rule_set_table> {};
}  // namespace qv::json

namespace qv::verifiers {
namespace {

using json::defaulted;
using json::required;

// Members in declared order, which is also the order of the array form.
// Every member that is not required keeps its default when absent, in the
// array form too; null stands for "absent" where the member is optional.
const json::StructTable<Scope>& scope_table() {
  static const json::StructTable<Scope> t{
      "Scope", {defaulted<&Scope::claim_kind>("claim_kind"), defaulted<&Scope::attribute>("attribute")}};
  return t;
}

const json::StructTable<Condition>& condition_table() {
  static const json::StructTable<Condition> t{
      "Condition",
      {defaulted<&Condition::text_matches>("text_matches"), defaulted<&Condition::answer_matches>("answer_matches"),
       defaulted<&Condition::source_matches>("source_matches"), defaulted<&Condition::attribute>("attribute")}};
  return t;
}

const json::StructTable<Rule>& rule_table() {
  static const json::StructTable<Rule> t{
      "Rule",
      {required<&Rule::id>("id"), defaulted<&Rule::description>("description"), defaulted<&Rule::scope>("scope"),
       defaulted<&Rule::when>("when"), defaulted<&Rule::unless>("unless"), required<&Rule::emit>("emit")}};
  return t;
}

const json::StructTable<RuleSet>& rule_set_table() {
  static const json::StructTable<RuleSet> t{
      "RuleSet",
      {required<&RuleSet::id>("id"), required<&RuleSet::version>("version"), required<&RuleSet::rules>("rules")}};
  return t;
}

json::Value attribute_value(const AttributeMap& map) {
  json::Object o;
  o.reserve(map.size());
  for (const auto& [k, v] : map) o.insert_or_assign(k, json::Value(v));
  return json::Value(std::move(o));
}

json::Value scope_value(const Scope& s) {
  json::Object o;
  if (s.claim_kind) o.insert_or_assign("claim_kind", json::Value(core::to_word(*s.claim_kind)));
  if (!s.attribute.empty()) o.insert_or_assign("attribute", attribute_value(s.attribute));
  return json::Value(std::move(o));
}

json::Value condition_value(const Condition& c) {
  json::Object o;
  if (c.text_matches) o.insert_or_assign("text_matches", json::Value(*c.text_matches));
  if (c.answer_matches) o.insert_or_assign("answer_matches", json::Value(*c.answer_matches));
  if (c.source_matches) o.insert_or_assign("source_matches", json::Value(*c.source_matches));
  if (!c.attribute.empty()) o.insert_or_assign("attribute", attribute_value(c.attribute));
  return json::Value(std::move(o));
}

json::Value rule_value(const Rule& r) {
  json::Object o;
  o.insert_or_assign("id", json::Value(r.id));
  o.insert_or_assign("description", json::Value(r.description));
  o.insert_or_assign("scope", scope_value(r.scope));
  o.insert_or_assign("when", condition_value(r.when));
  if (r.unless) o.insert_or_assign("unless", condition_value(*r.unless));
  o.insert_or_assign("emit", json::Value(to_word(r.emit)));
  return json::Value(std::move(o));
}

core::Result<std::optional<regex::Regex>> compile_pattern(const std::optional<std::string>& pattern) {
  if (!pattern) return std::optional<regex::Regex>();
  auto re = regex::Regex::compile(*pattern);
  if (!re)
    return std::unexpected(core::EngineError::invalid_input("bad regex " + *pattern + ": " + re.error().to_string()));
  return std::optional<regex::Regex>(std::move(*re));
}

}  // namespace

core::Result<RuleSet> read_rule_set(std::string_view text) {
  auto set = json::read_typed<RuleSet>(text);
  if (!set) return std::unexpected(core::EngineError::invalid_input("rule set: " + set.error().display()));
  return std::move(*set);
}

json::Value rule_set_to_value(const RuleSet& set) {
  json::Array rules;
  rules.reserve(set.rules.size());
  for (const Rule& r : set.rules) rules.push_back(rule_value(r));
  json::Object o;
  o.insert_or_assign("id", json::Value(set.id));
  o.insert_or_assign("version", json::Value(set.version));
  o.insert_or_assign("rules", json::Value(std::move(rules)));
  return json::Value(std::move(o));
}

core::Result<std::string> rule_set_digest(const RuleSet& set) { return records::canonical_digest(rule_set_to_value(set)); }

core::Result<CompiledCondition> compile_condition(const Condition& condition) {
  CompiledCondition out;
  for (auto [source, target] :
       {std::pair{&condition.text_matches, &out.text}, std::pair{&condition.answer_matches, &out.answer},
        std::pair{&condition.source_matches, &out.source}}) {
    auto re = compile_pattern(*source);
    if (!re) return std::unexpected(std::move(re.error()));
    *target = std::move(*re);
  }
  out.attribute = condition.attribute;
  return out;
}

core::Result<std::vector<CompiledRule>> compile_rules(const RuleSet& set) {
  std::vector<CompiledRule> out;
  out.reserve(set.rules.size());
  for (const Rule& r : set.rules) {
    auto when = compile_condition(r.when);
    if (!when) return std::unexpected(std::move(when.error()));
    std::optional<CompiledCondition> unless;
    if (r.unless) {
      auto u = compile_condition(*r.unless);
      if (!u) return std::unexpected(std::move(u.error()));
      unless = std::move(*u);
    }
    out.push_back(CompiledRule{r.id, r.description, r.scope.claim_kind, r.scope.attribute, std::move(*when),
                               std::move(unless), r.emit});
  }
  return out;
}

}  // namespace qv::verifiers
