// Reading policies: the shipped texts, typed-reading and loading errors, and
// how a policy that extends a shipped one merges with it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "engine/policy.hpp"

namespace qv::engine {
namespace {

using core::ClaimKind;
using core::Decision;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

Policy parse_ok(std::string_view text) {
  auto p = parse_policy(text);
  EXPECT_TRUE(p.has_value()) << (p ? "" : p.error().display());
  return p ? *p : Policy{};
}

std::string parse_error(std::string_view text) {
  auto p = parse_policy(text);
  EXPECT_FALSE(p.has_value()) << text;
  return p ? std::string() : p.error().display();
}

constexpr const char* kPolicyKeys =
    "one of `id`, `version`, `extends`, `description`, `pass_means`, `locale`, `rounding`, `scope`, "
    "`risk_classes`, `judge`, `verifiers`, `determinism`, `decision`, `regulatory_mapping`";

TEST(ShippedPolicies, TextsHaveTheirLengthsLinesAndSettings) {
  const auto shipped = shipped_policies();
  ASSERT_EQ(shipped.size(), 2u);
  EXPECT_EQ(shipped[0].name, "quillaveen_default_v1");
  EXPECT_EQ(shipped[1].name, "eu_ai_act_high_risk_v1");
  // Sizes, line counts and lookups by name are pinned by the Python tests.
  for (const auto& s : shipped) EXPECT_EQ(s.text.find(" \n"), std::string_view::npos) << s.name;

  const Policy d = parse_ok(shipped[0].text);
  EXPECT_TRUE(d.description.starts_with("Numeric claims must be exactly supported by the sources. A numeric "
                                        "contradiction fails"));
  EXPECT_TRUE(d.description.ends_with("No model is needed and no generative verifier decides.\n"));
  EXPECT_FALSE(d.extends || d.pass_means || d.locale || d.rounding || d.scope || d.risk_classes || d.judge);
  EXPECT_THAT(d.decision.tolerate_unresolved_kinds, ElementsAre(ClaimKind::Word, ClaimKind::Statement));
  const Policy eu = parse_ok(shipped[1].text);
  EXPECT_EQ(eu.verifiers, d.verifiers);
  EXPECT_EQ(eu.decision, d.decision);
  ASSERT_EQ(eu.regulatory_mapping.size(), 3u);
  EXPECT_EQ(eu.regulatory_mapping[0].article, "Art. 15(1)");
  EXPECT_THAT(eu.regulatory_mapping[2].triggered_by, ElementsAre(Decision::Pass, Decision::Review, Decision::Fail));
}

TEST(PolicyReading, AbsentKeysEmptySectionsAndEnumerationStyles) {
  const Policy bare = parse_ok("id: a\nversion: 2\n");
  EXPECT_EQ(bare.version, "2");
  EXPECT_EQ(bare.determinism.minimum_to_decide, MinimumDeterminism::Reproducible);
  EXPECT_THAT(bare.decision.any_contradiction_from, ElementsAre("quillaveen.numeric", "quillaveen.rules.*"));
  EXPECT_THAT(bare.decision.tolerate_unresolved_kinds, ElementsAre(ClaimKind::Word));
  const Policy p = parse_ok(
      "id: a\nversion: b\njudge: {}\nscope: {}\npass_means: ''\nlocale: ~\nverifiers: {required: }\n"
      "decision: {conflicts: \"FAIL\", tolerate_unresolved_kinds: ['word']}\n"
      "determinism: {minimum_to_decide: 'any'}\n");
  EXPECT_EQ(p.judge, JudgeRules{});
  EXPECT_EQ(p.scope, ScopeRules{});
  EXPECT_EQ(p.pass_means, "");
  EXPECT_FALSE(p.locale);
  EXPECT_EQ(p.decision.conflicts, Decision::Fail);
  EXPECT_EQ(p.determinism.minimum_to_decide, MinimumDeterminism::Any);
  EXPECT_FALSE(parse_ok("id: a\nversion: b\njudge: null\nscope:\n").scope);
}

TEST(PolicyReading, TypedReadingErrorsNameThePathAndPosition) {
  const std::pair<const char*, std::string> cases[] = {
      {"verifier: {}", std::string("unknown field `verifier`, expected ") + kPolicyKeys + " at line 3 column 1"},
      {"decision:\n  unresolved_claims: review",
       "decision.unresolved_claims: unknown variant `review`, expected one of `PASS`, `REVIEW`, `FAIL` at line 4 "
       "column 22"},
      {"decision: {tolerate_unresolved_kinds: [Word]}",
       "decision.tolerate_unresolved_kinds[0]: unknown variant `Word`, expected one of `numeric`, `temporal`, "
       "`entity`, `citation`, `statement`, `word` at line 3 column 40"},
      {"determinism: {}", "determinism: missing field `minimum_to_decide` at line 3 column 14"},
      {"risk_classes: {routine: [x]}", "risk_classes: missing field `default` at line 3 column 15"},
      {"scope: {needed: 1}",
       "scope: unknown field `needed`, expected `required` or `missing_scope` at line 3 column 9"},
      {"verifiers: [a]",
       "verifiers: invalid type: sequence, expected struct VerifierSets at line 3 column 12"},
      {"scope: {missing_scope: [PASS]}",
       "scope.missing_scope: invalid type: sequence, expected variant identifier at line 3 column 24"},
      {"regulatory_mapping:\n  - {control: c}", "regulatory_mapping[0]: missing field `framework` at line 4 column 5"},
  };
  for (const auto& [tail, message] : cases) {
    EXPECT_EQ(parse_error(std::string("id: a\nversion: b\n") + tail + "\n"), "invalid input: policy: " + message);
  }
  EXPECT_EQ(parse_error("id: a\n"), "invalid input: policy: missing field `version`");
  EXPECT_EQ(parse_error("description: x\n"), "invalid input: policy: missing field `id`");
}

TEST(PolicyLoading, RefusalsOfTheTextAndOfExtends) {
  const std::string head = "id: a\nversion: b\nextends: ";
  const std::string base_named = "a policy that extends quillaveen_default_v1 must set its own ";
  const std::pair<std::string, std::string> cases[] = {
      // Errors of the YAML text itself are the reader's (tests/yaml).
      {"id: a\nid: b\n", "duplicate entry with key \"id\""},
      {"- id\n", "a policy is a YAML mapping"},
      {"!tagged {id: a, version: b}\n", "a policy is a YAML mapping"},
      {head + "\n", "extends must name a shipped policy"},
      {head + "[quillaveen_default_v1]\n", "extends must name a shipped policy"},
      {"extends: quillaveen_default_v1\n", base_named + "id, so its records are not mistaken for the baseline's"},
      {"id: ~\nextends: quillaveen_default_v1\n",
       base_named + "version, so its records are not mistaken for the baseline's"},
      {head + "\"Quillaveen_default_v1\\n\\u00ad\"\n",
       "extends \"Quillaveen_default_v1\\n\\u{ad}\": not a shipped policy; use one of quillaveen_default_v1, "
       "eu_ai_act_high_risk_v1"},
      // With extends, the reader's position would point into the merged
      // text, so it is cut.
      {head + "quillaveen_default_v1\nverifier: {}\n",
       std::string("unknown field `verifier`, expected ") + kPolicyKeys +
           " (in this policy or in quillaveen_default_v1, which it extends)"},
      {head + "eu_ai_act_high_risk_v1\nregulatory_mapping: ~\n",
       "regulatory_mapping: invalid type: unit value, expected a sequence (in this policy or in "
       "eu_ai_act_high_risk_v1, which it extends)"},
  };
  for (const auto& [text, message] : cases) EXPECT_EQ(parse_error(text), "invalid input: policy: " + message);
}

TEST(PolicyInheritance, SectionsMergeKeyByKeyAndListsAreReplaced) {
  const Policy base = parse_ok(default_policy_text());
  const Policy child = parse_ok(
      "id: mine\nversion: 1.10\nextends: quillaveen_default_v1\n"
      "verifiers: {forbidden: []}\ndecision: {unresolved_claims: FAIL}\npass_means: ~\nlocale: de-CH\n");
  EXPECT_EQ(child.version, "1.1");  // the merged text holds the number form
  EXPECT_EQ(child.extends, "quillaveen_default_v1");
  EXPECT_EQ(child.verifiers.required, base.verifiers.required);
  EXPECT_THAT(child.verifiers.forbidden, IsEmpty());
  DecisionRules rest = child.decision;
  EXPECT_EQ(rest.unresolved_claims, Decision::Fail);
  rest.unresolved_claims = Decision::Review;
  EXPECT_EQ(rest, base.decision);
  EXPECT_FALSE(child.pass_means);
  EXPECT_EQ(child.locale, "de-CH");
  EXPECT_EQ(parse_ok("id: mine\nversion: 1.10\n").version, "1.10");

  const Policy eu_child = parse_ok(
      "id: eu_ai_act_high_risk_v1\nversion: x\nextends: !n eu_ai_act_high_risk_v1\nregulatory_mapping: []\n");
  EXPECT_THAT(eu_child.regulatory_mapping, IsEmpty());
  EXPECT_EQ(eu_child.description, parse_ok(*shipped_policy_text("eu_ai_act_high_risk_v1")).description);
}

TEST(PolicyInheritance, AWideChildMergesInLinearWork) {
  std::string text = "id: a\nversion: b\nextends: quillaveen_default_v1\ndecision:\n";
  for (int i = 0; i < 20000; ++i) text += "  k" + std::to_string(i) + ": " + std::to_string(i) + "\n";
  EXPECT_THAT(parse_error(text), ::testing::StartsWith("invalid input: policy: decision: unknown field `k0`"));
}

}  // namespace
}  // namespace qv::engine
