// Reading policies: the shipped texts, typed-reading and loading errors, and
// how a policy that extends a shipped one merges with it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

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
  if (p) return {};
  EXPECT_EQ(p.error().kind(), core::EngineError::Kind::InvalidInput);
  return p.error().message();
}

// The fourteen keys of a policy, as the unknown-field error lists them.
constexpr const char* kPolicyKeys =
    "one of `id`, `version`, `extends`, `description`, `pass_means`, `locale`, `rounding`, `scope`, "
    "`risk_classes`, `judge`, `verifiers`, `determinism`, `decision`, `regulatory_mapping`";

TEST(ShippedPolicies, TextsHaveTheirLengthsLayoutAndSettings) {
  const auto shipped = shipped_policies();
  ASSERT_EQ(shipped.size(), 2u);
  EXPECT_EQ(shipped[0].name, "quillaveen_default_v1");
  EXPECT_EQ(shipped[1].name, "eu_ai_act_high_risk_v1");
  const std::size_t sizes[] = {1037, 2084};
  const std::size_t lines[] = {23, 44};
  for (std::size_t i = 0; i < 2; ++i) {
    const std::string_view text = shipped[i].text;
    EXPECT_EQ(text.size(), sizes[i]) << shipped[i].name;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), static_cast<long>(lines[i]));
    EXPECT_TRUE(text.ends_with('\n'));
    EXPECT_EQ(text.find(" \n"), std::string_view::npos);
    EXPECT_EQ(shipped_policy_text(shipped[i].name), text);
  }
  EXPECT_EQ(default_policy_text(), shipped[0].text);
  EXPECT_FALSE(shipped_policy_text(" quillaveen_default_v1"));
  EXPECT_FALSE(shipped_policy_text("Quillaveen_default_v1"));

  const Policy d = parse_ok(shipped[0].text);
  EXPECT_EQ(d.id, "quillaveen_default_v1");
  EXPECT_EQ(d.version, "1.5.0");
  EXPECT_EQ(d.description,
            "Numeric claims must be exactly supported by the sources. A numeric contradiction fails the answer, and "
            "so does a figure taken from a passage outside the request's scope. A figure the sources do not contain, "
            "and the answer cannot recompute from figures they do, goes to review, and so does an answer whose figure "
            "is not the kind or unit the question asked for, and any claim no deterministic verifier can resolve. No "
            "model is needed and no generative verifier decides.\n");
  EXPECT_FALSE(d.extends || d.pass_means || d.locale || d.rounding || d.scope || d.risk_classes || d.judge);
  EXPECT_THAT(d.verifiers.required, ElementsAre("quillaveen.numeric"));
  EXPECT_THAT(d.verifiers.recommended, ElementsAre("quillaveen.scope", "quillaveen.intent", "quillaveen.rules.*"));
  EXPECT_THAT(d.verifiers.forbidden, ElementsAre("llm_judge.*"));
  EXPECT_THAT(d.decision.any_contradiction_from,
              ElementsAre("quillaveen.numeric", "quillaveen.scope", "quillaveen.rules.*"));
  EXPECT_THAT(d.decision.unsupported_from, ElementsAre("quillaveen.numeric", "quillaveen.scope", "quillaveen.intent"));
  EXPECT_THAT(d.decision.tolerate_notes, ElementsAre("year_not_in_sources"));
  EXPECT_THAT(d.decision.tolerate_unresolved_kinds, ElementsAre(ClaimKind::Word, ClaimKind::Statement));
  EXPECT_THAT(d.regulatory_mapping, IsEmpty());

  const Policy eu = parse_ok(shipped[1].text);
  EXPECT_TRUE(eu.description.starts_with("Numeric claims must be exactly supported by the retrieved sources. Any "));
  EXPECT_TRUE(eu.description.ends_with("verifier cannot resolve goes to human review (Art. 14). No model is needed "
                                       "and no generative judge decides.\n"));
  EXPECT_EQ(eu.verifiers, d.verifiers);
  EXPECT_EQ(eu.decision, d.decision);
  ASSERT_EQ(eu.regulatory_mapping.size(), 3u);
  EXPECT_EQ(eu.regulatory_mapping[0].article, "Art. 15(1)");
  EXPECT_EQ(eu.regulatory_mapping[1].control, "human-oversight-review-queue");
  EXPECT_EQ(eu.regulatory_mapping[2].requirement,
            "Automatic recording of events (logs) over the lifetime of the system.");
  EXPECT_THAT(eu.regulatory_mapping[2].triggered_by, ElementsAre(Decision::Pass, Decision::Review, Decision::Fail));
  for (const auto& c : eu.regulatory_mapping) EXPECT_EQ(c.framework, "EU-AI-Act-2024/1689");
}

TEST(PolicyReading, DefaultsOfAbsentKeysAndOfEmptySections) {
  const Policy bare = parse_ok("id: a\nversion: 2\n");
  EXPECT_EQ(bare.version, "2");
  EXPECT_EQ(bare.description, "");
  EXPECT_EQ(bare.verifiers, VerifierSets{});
  EXPECT_EQ(bare.determinism.minimum_to_decide, MinimumDeterminism::Reproducible);
  EXPECT_EQ(bare.decision, default_decision_rules());
  EXPECT_THAT(bare.decision.any_contradiction_from, ElementsAre("quillaveen.numeric", "quillaveen.rules.*"));
  EXPECT_THAT(bare.decision.tolerate_unresolved_kinds, ElementsAre(ClaimKind::Word));

  // A present section gives its own per-key defaults, not the default rules.
  for (const char* text : {"id: a\nversion: b\ndecision: {}\n", "id: a\nversion: b\ndecision:\n"}) {
    EXPECT_EQ(parse_ok(text).decision, DecisionRules{}) << text;
  }
  const Policy sections = parse_ok(
      "id: a\nversion: b\njudge: {}\nscope: {}\nrisk_classes: {default: low}\nverifiers: {required: }\n"
      "pass_means: ''\nlocale: ~\nrounding: sideways\n");
  EXPECT_EQ(sections.judge, JudgeRules{});
  EXPECT_EQ(sections.scope, ScopeRules{});
  EXPECT_EQ(sections.risk_classes->default_class, "low");
  EXPECT_EQ(sections.pass_means, "");
  EXPECT_FALSE(sections.locale);
  EXPECT_EQ(sections.rounding, "sideways");
  EXPECT_FALSE(parse_ok("id: a\nversion: b\njudge: null\n").judge);
  EXPECT_FALSE(parse_ok("id: a\nversion: b\njudge:\n").judge);

  // Enumeration values are matched on their text in any scalar style.
  const Policy quoted = parse_ok(
      "id: a\nversion: b\ndecision: {conflicts: \"FAIL\", tolerate_unresolved_kinds: ['word', numeric]}\n"
      "determinism: {minimum_to_decide: 'any'}\n");
  EXPECT_EQ(quoted.decision.conflicts, Decision::Fail);
  EXPECT_THAT(quoted.decision.tolerate_unresolved_kinds, ElementsAre(ClaimKind::Word, ClaimKind::Numeric));
  EXPECT_EQ(quoted.determinism.minimum_to_decide, MinimumDeterminism::Any);
}

TEST(PolicyReading, TypedReadingErrorsNameTheKeyPathAndPosition) {
  const std::string head = "id: a\nversion: b\n";
  EXPECT_EQ(parse_error("id: a\n"), "policy: missing field `version`");
  EXPECT_EQ(parse_error("description: x\n"), "policy: missing field `id`");
  EXPECT_EQ(parse_error(head + "verifier: {}\n"),
            std::string("policy: unknown field `verifier`, expected ") + kPolicyKeys + " at line 3 column 1");
  EXPECT_EQ(parse_error(head + "decision:\n  unresolved_claims: review\n"),
            "policy: decision.unresolved_claims: unknown variant `review`, expected one of `PASS`, `REVIEW`, `FAIL` "
            "at line 4 column 22");
  EXPECT_EQ(parse_error(head + "decision: {tolerate_unresolved_kinds: [Word]}\n"),
            "policy: decision.tolerate_unresolved_kinds[0]: unknown variant `Word`, expected one of `numeric`, "
            "`temporal`, `entity`, `citation`, `statement`, `word` at line 3 column 40");
  EXPECT_EQ(parse_error(head + "determinism: {}\n"),
            "policy: determinism: missing field `minimum_to_decide` at line 3 column 14");
  EXPECT_EQ(parse_error(head + "risk_classes: {routine: [x]}\n"),
            "policy: risk_classes: missing field `default` at line 3 column 15");
  EXPECT_EQ(parse_error(head + "scope: {needed: [x]}\n"),
            "policy: scope: unknown field `needed`, expected `required` or `missing_scope` at line 3 column 9");
  EXPECT_EQ(parse_error(head + "determinism: {min: any}\n"),
            "policy: determinism: unknown field `min`, expected `minimum_to_decide` at line 3 column 15");
  EXPECT_EQ(parse_error(head + "verifiers: [a]\n"),
            "policy: verifiers: invalid type: sequence, expected struct VerifierSets at line 3 column 12");
  EXPECT_EQ(parse_error(head + "description: {a: 1}\n"),
            "policy: description: invalid type: map, expected a string at line 3 column 14");
  EXPECT_EQ(parse_error(head + "judge: {required: yes}\n"),
            "policy: judge.required: invalid type: string \"yes\", expected a boolean at line 3 column 19");
  EXPECT_EQ(parse_error(head + "scope: {missing_scope: [PASS]}\n"),
            "policy: scope.missing_scope: invalid type: sequence, expected variant identifier at line 3 column 24");
  EXPECT_EQ(parse_error(head + "regulatory_mapping:\n  - {control: c}\n"),
            "policy: regulatory_mapping[0]: missing field `framework` at line 4 column 5");
  EXPECT_EQ(parse_error(head + "regulatory_mapping:\n  - {framework: f, article: a, control: c}\n"),
            "policy: regulatory_mapping[0]: missing field `triggered_by` at line 4 column 5");
  EXPECT_EQ(parse_error(head + "verifiers: {forbidden: x}\n"),
            "policy: verifiers.forbidden: invalid type: string \"x\", expected a sequence at line 3 column 24");
}

TEST(PolicyLoading, RefusalsBeforeTheTypedReading) {
  EXPECT_EQ(parse_error(""), "policy: EOF while parsing a value");
  EXPECT_EQ(parse_error(" \n# only a comment\n"), "policy: EOF while parsing a value");
  EXPECT_EQ(parse_error("id: a\n---\nid: b\n"),
            "policy: deserializing from YAML containing more than one document is not supported");
  EXPECT_EQ(parse_error("id: a\nid: b\n"), "policy: duplicate entry with key \"id\"");
  EXPECT_EQ(parse_error("id: [a\n"),
            "policy: did not find expected ',' or ']' at line 2 column 1, while parsing a flow sequence at line 1 "
            "column 5");
  for (const char* text : {"- id\n", "word\n", "!tagged {id: a, version: b}\n", "~\n"}) {
    EXPECT_EQ(parse_error(text), "policy: a policy is a YAML mapping") << text;
  }
  for (const char* value : {"", "~", "5", "[quillaveen_default_v1]", "{a: b}"}) {
    EXPECT_EQ(parse_error(std::string("id: a\nversion: b\nextends: ") + value + "\n"),
              "policy: extends must name a shipped policy")
        << value;
  }
  EXPECT_EQ(parse_error("extends: quillaveen_default_v1\n"),
            "policy: a policy that extends quillaveen_default_v1 must set its own id, so its records are not "
            "mistaken for the baseline's");
  EXPECT_EQ(parse_error("id: ~\nextends: quillaveen_default_v1\n"),
            "policy: a policy that extends quillaveen_default_v1 must set its own version, so its records are not "
            "mistaken for the baseline's");
  EXPECT_EQ(parse_error("id: a\nversion: b\nextends: \"Quillaveen_default_v1\\n\\t\\\"\\u00ad\"\n"),
            "policy: extends \"Quillaveen_default_v1\\n\\t\\\"\\u{ad}\": not a shipped policy; use one of "
            "quillaveen_default_v1, eu_ai_act_high_risk_v1");
  EXPECT_EQ(parse_error("id: a\nversion: b\nextends: ' quillaveen_default_v1'\n"),
            "policy: extends \" quillaveen_default_v1\": not a shipped policy; use one of quillaveen_default_v1, "
            "eu_ai_act_high_risk_v1");
  // With extends the reader's position would point into the merged text, so
  // it is cut; without extends it stays.
  EXPECT_EQ(parse_error("id: a\nversion: b\nextends: quillaveen_default_v1\nverifier: {}\n"),
            std::string("policy: unknown field `verifier`, expected ") + kPolicyKeys +
                " (in this policy or in quillaveen_default_v1, which it extends)");
  EXPECT_EQ(parse_error("id: a\nversion: b\nextends: eu_ai_act_high_risk_v1\nregulatory_mapping: ~\n"),
            "policy: regulatory_mapping: invalid type: unit value, expected a sequence (in this policy or in "
            "eu_ai_act_high_risk_v1, which it extends)");
  EXPECT_EQ(parse_error("id: a\nversion: b\nextends: quillaveen_default_v1\ndeterminism:\n"),
            "policy: determinism: invalid type: unit value, expected struct DeterminismPolicy (in this policy or in "
            "quillaveen_default_v1, which it extends)");
}

TEST(PolicyInheritance, SectionsMergeKeyByKeyAndListsAreReplaced) {
  const Policy base = parse_ok(default_policy_text());
  const Policy child = parse_ok(
      "id: mine\nversion: 1.10\nextends: quillaveen_default_v1\n"
      "verifiers: {forbidden: []}\ndecision: {unresolved_claims: FAIL}\npass_means: ~\nlocale: de-CH\n");
  EXPECT_EQ(child.id, "mine");
  EXPECT_EQ(child.version, "1.1");  // a bare number comes back in the number form
  EXPECT_EQ(child.extends, "quillaveen_default_v1");
  EXPECT_EQ(child.description, base.description);
  EXPECT_EQ(child.verifiers.required, base.verifiers.required);
  EXPECT_EQ(child.verifiers.recommended, base.verifiers.recommended);
  EXPECT_THAT(child.verifiers.forbidden, IsEmpty());
  EXPECT_EQ(child.decision.unresolved_claims, Decision::Fail);
  DecisionRules rest = child.decision;
  rest.unresolved_claims = base.decision.unresolved_claims;
  EXPECT_EQ(rest, base.decision);
  EXPECT_FALSE(child.pass_means);
  EXPECT_EQ(child.locale, "de-CH");
  EXPECT_EQ(parse_ok("id: mine\nversion: '1.10'\nextends: quillaveen_default_v1\n").version, "1.10");
  EXPECT_EQ(parse_ok("id: mine\nversion: 1.10\n").version, "1.10");

  const Policy eu_child =
      parse_ok("id: quillaveen_default_v1\nversion: x\nextends: !name eu_ai_act_high_risk_v1\nregulatory_mapping: []\n");
  EXPECT_THAT(eu_child.regulatory_mapping, IsEmpty());
  EXPECT_EQ(eu_child.id, "quillaveen_default_v1");
  EXPECT_EQ(eu_child.extends, "eu_ai_act_high_risk_v1");

  // A child's new keys add sections the base lacks.
  const Policy judged = parse_ok(
      "id: j\nversion: v\nextends: quillaveen_default_v1\njudge: {required: true, contradicted: FAIL}\n"
      "risk_classes: {default: low, mandatory_review: [high]}\n");
  EXPECT_EQ(judged.judge, (JudgeRules{true, Decision::Fail, Decision::Review}));
  EXPECT_THAT(judged.risk_classes->mandatory_review, ElementsAre("high"));
}

TEST(PolicyInheritance, WideAndDeepChildrenMergeInLinearWork) {
  // Many keys in one nested mapping of the child: merged by a hash of the
  // keys, and the typed reading then refuses the first unknown one.
  std::string text = "id: a\nversion: b\nextends: quillaveen_default_v1\ndecision:\n";
  for (int i = 0; i < 20000; ++i) text += "  k" + std::to_string(i) + ": " + std::to_string(i) + "\n";
  EXPECT_EQ(parse_error(text),
            "policy: decision: unknown field `k0`, expected one of `any_contradiction_from`, `unsupported_from`, "
            "`unresolved_claims`, `conflicts`, `tolerate_unresolved_kinds`, `tolerate_notes` (in this policy or in "
            "quillaveen_default_v1, which it extends)");
  std::string deep = "id: a\nversion: b\nextends: quillaveen_default_v1\ndecision: ";
  for (int i = 0; i < 100; ++i) deep += "{a: ";
  deep += "1" + std::string(100, '}') + "\n";
  EXPECT_THAT(parse_error(deep), ::testing::StartsWith("policy: decision: unknown field `a`"));
}

}  // namespace
}  // namespace qv::engine
