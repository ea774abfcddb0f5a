// The policy hash and the resolved policy YAML: the hash ignores how a
// policy is written, and the resolved text reads back as the same policy.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "engine/policy.hpp"

namespace qv::engine {
namespace {

std::string hash_of(std::string_view text) {
  auto p = parse_policy(text);
  EXPECT_TRUE(p.has_value()) << (p ? "" : p.error().display());
  if (!p) return {};
  auto h = compute_policy_hash(*p);
  EXPECT_TRUE(h.has_value());
  return h ? *h : std::string{};
}

TEST(PolicyHash, StableUnderKeyOrderCommentsAndListStyle) {
  const std::string a = hash_of(
      "id: a\nversion: b\nverifiers: {required: [x, y], forbidden: [z]}\n"
      "decision: {conflicts: FAIL, unsupported_from: [], any_contradiction_from: []}\n");
  EXPECT_TRUE(a.starts_with("sha256:") && a.size() == 71u);
  EXPECT_EQ(a, hash_of("# a comment\ndecision:\n  any_contradiction_from: []\n  conflicts: FAIL\n"
                       "verifiers:\n  forbidden:\n  - z\n  required:\n    - x\n    - y\n  optional: []\n"
                       "version: \"b\"\nid: 'a'\n"));
  EXPECT_NE(a, hash_of("id: a\nversion: b\nverifiers: {required: [y, x], forbidden: [z]}\n"
                       "decision: {conflicts: FAIL}\n"));
  // Restating inherited values changes nothing; `extends` is a member.
  const std::string child = hash_of("id: c\nversion: v\nextends: quillaveen_default_v1\n");
  std::string restated(default_policy_text());
  restated.replace(restated.find("quillaveen_default_v1"), 21, "c").replace(restated.find("1.5.0"), 5, "v");
  EXPECT_NE(child, hash_of(restated));
  EXPECT_EQ(child, hash_of(restated + "extends: quillaveen_default_v1\n"));
  EXPECT_NE(hash_of("id: a\nversion: b\nrounding: half_up\n"), hash_of("id: a\nversion: b\nrounding: HALF_UP\n"));
}

// The resolved text of the default policy, as the YAML writer lays it out.
constexpr std::string_view kResolvedDefaultBody =
    "id: quillaveen_default_v1\n"
    "version: 1.5.0\n"
    "description: |\n"
    "  Numeric claims must be exactly supported by the sources. A numeric contradiction fails the answer, and so "
    "does a figure taken from a passage outside the request's scope. A figure the sources do not contain, and the "
    "answer cannot recompute from figures they do, goes to review, and so does an answer whose figure is not the "
    "kind or unit the question asked for, and any claim no deterministic verifier can resolve. No model is needed "
    "and no generative verifier decides.\n"
    "verifiers:\n  required:\n  - quillaveen.numeric\n  recommended:\n  - quillaveen.scope\n  - quillaveen.intent\n"
    "  - quillaveen.rules.*\n  optional: []\n  fallback: []\n  forbidden:\n  - llm_judge.*\n"
    "determinism:\n  minimum_to_decide: reproducible\n"
    "decision:\n  any_contradiction_from:\n  - quillaveen.numeric\n  - quillaveen.scope\n  - quillaveen.rules.*\n"
    "  unsupported_from:\n  - quillaveen.numeric\n  - quillaveen.scope\n  - quillaveen.intent\n"
    "  unresolved_claims: REVIEW\n  conflicts: REVIEW\n  tolerate_unresolved_kinds:\n  - word\n  - statement\n"
    "  tolerate_notes:\n  - year_not_in_sources\n"
    "regulatory_mapping: []\n";

TEST(ResolvedPolicy, DefaultPolicyLayoutAndHeader) {
  const auto text = resolve_policy_text("\tquillaveen_default_v1 ");
  ASSERT_TRUE(text);
  const std::string hash = hash_of(default_policy_text());
  EXPECT_EQ(*text, "# quillaveen_default_v1 v1.5.0\n# hash: " + hash + "\n" + std::string(kResolvedDefaultBody));
  EXPECT_EQ(resolve_policy_text("").error().display(), "invalid input: policy: EOF while parsing a value");

  // An empty list the form leaves out stays out when nothing is inherited.
  const auto small = resolve_policy_text("id: a\nversion: '2'\ndecision: {unsupported_from: [], tolerate_notes: []}\n");
  ASSERT_TRUE(small);
  EXPECT_THAT(*small, ::testing::HasSubstr("version: '2'\ndescription: ''\nverifiers:\n"));
  EXPECT_THAT(*small, ::testing::HasSubstr("decision:\n  any_contradiction_from: []\n  unresolved_claims: REVIEW\n"
                                           "  conflicts: REVIEW\n  tolerate_unresolved_kinds: []\n"
                                           "regulatory_mapping: []\n"));
}

TEST(ResolvedPolicy, LineBreaksInIdOrVersionStayInsideTheHeaderComments) {
  const std::string policy = "id: \"a\\nb\\rc\"\nversion: \"1\\x85\\u2028\\u2029\\x01\\x7f2\"\n";
  const auto text = resolve_policy_text(policy);
  ASSERT_TRUE(text);
  EXPECT_TRUE(text->starts_with("# a b c v1     2\n# hash: " + hash_of(policy) + "\nid: \"a\\nb\\rc\"\n")) << *text;
  const auto back = parse_policy(*text);
  ASSERT_TRUE(back) << back.error().display();
  EXPECT_EQ(back->id, "a\nb\rc");
  EXPECT_EQ(back->version, "1\u0085\u2028\u2029\x01\x7f" "2");
}

// Every section set, with texts the YAML writer must quote, fold or escape,
// lists emptied against a baseline, and nulls: the resolved text reads back
// as the same policy with the same hash.
TEST(ResolvedPolicy, PoliciesReadBackWithTheSameHash) {
  const char* texts[] = {
      R"(id: "a: b"
version: "1.10"
extends: quillaveen_default_v1
description: "multi\nline"
pass_means: " lead"
locale: "~"
rounding: "tab\there"
scope: {required: ["", "#x", "x #y"], missing_scope: 'FAIL'}
risk_classes: {default: "007", routine: ["0x1F", ".inf", "1e3"], mandatory_review: ["\u0085", "a\u2028b"]}
judge: {required: False}
verifiers: {required: ["- dash"], recommended: [], optional: ["[x]"], fallback: ["'q'"], forbidden: ["\"dq\""]}
determinism: {minimum_to_decide: 'any'}
decision: {any_contradiction_from: ["end\n"], unsupported_from: [], tolerate_notes: ["\n\nx\n\n"],
  unresolved_claims: REVIEW, tolerate_unresolved_kinds: [numeric, "word"]}
regulatory_mapping: [{framework: "caf\u00e9", article: "\u00a0nbsp", control: "\r", requirement: "a\\b",
  triggered_by: ['FAIL']}]
)",
      "version: \"\\x01\\x7f\"\nid: \"sp  ace \"\nextends: eu_ai_act_high_risk_v1\ndescription: ~\npass_means: \"k:\"\n"
      "decision: {tolerate_notes: []}\njudge: {required: true}\n",
      "id: \"true\"\nversion: 2\nverifiers: {forbidden: [\"null\", \"\\u200d\", \"\\u2029\"]}\nlocale: ~\n",
  };
  for (const char* text : texts) {
    const auto policy = parse_policy(text);
    ASSERT_TRUE(policy) << text << "\n" << policy.error().display();
    const auto resolved = resolve_policy_text(text);
    ASSERT_TRUE(resolved) << text;
    const auto back = parse_policy(*resolved);
    ASSERT_TRUE(back) << *resolved << "\n" << back.error().display();
    EXPECT_EQ(*back, *policy) << *resolved;
    EXPECT_EQ(compute_policy_hash(*back), compute_policy_hash(*policy));
  }
}

}  // namespace
}  // namespace qv::engine
