// Policy lint and the verifier-id patterns.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/lint.hpp"
#include "engine/policy.hpp"

namespace qv::engine {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::vector<std::string> lint(std::string_view text) {
  auto p = parse_policy(text);
  EXPECT_TRUE(p.has_value()) << (p ? "" : p.error().display());
  return p ? lint_policy(*p, builtin_verifier_infos()) : std::vector<std::string>{"unreadable"};
}

TEST(VerifierIds, PatternsJudgeIdsAndBuiltinVerifiers) {
  const std::tuple<const char*, const char*, bool> cases[] = {
      {"quillaveen.rules.*", "quillaveen.rules", true},   {"quillaveen.rules.*", "quillaveen.rules.acme", true},
      {"quillaveen.rules.*", "quillaveen.rulesx", false}, {"quillaveen.numeric", "quillaveen.numeric.x", false},
      {"Quillaveen.numeric", "quillaveen.numeric", false}, {"*", "x", false},
      {".*", "", true},                                   {"a*", "ab", false},
  };
  for (const auto& [pattern, id, matches] : cases) EXPECT_EQ(verifier_id_matches(pattern, id), matches) << pattern;
  EXPECT_TRUE(is_judge_id("llm_judge.gpt4"));
  EXPECT_FALSE(is_judge_id("llm_judge"));

  std::vector<std::string> ids;
  for (const auto& info : builtin_verifier_infos()) ids.push_back(info.id + " " + info.version);
  EXPECT_THAT(ids, ElementsAre("quillaveen.numeric 1.3.0", "quillaveen.scope 1.2.0", "quillaveen.intent 1.1.0"));
}

TEST(PolicyLint, CleanPolicies) {
  for (const auto& shipped : shipped_policies()) EXPECT_THAT(lint(shipped.text), IsEmpty()) << shipped.name;
  EXPECT_THAT(lint("id: a\nversion: b\nrounding: within_last_digit\nlocale: de\npass_means: ok\n"
                   "judge: {required: true}\nverifiers: {forbidden: [llm_judge.gpt4, quillaveen.*],\n"
                   "  required: [quillaveen.numeric, quillaveen.intent, quillaveen.rules.acme, llm_judge.x, any.*]}\n"
                   "risk_classes: {default: low, mandatory_review: [low], routine: [mid]}\n"),
              IsEmpty());
}

TEST(PolicyLint, ProblemsComeInTheOrderOfTheChecks) {
  const std::string no_such =
      ": required, but this engine has no such verifier (the model channels were removed in 6.0)";
  EXPECT_THAT(
      lint("id: a\nversion: b\n"
           "verifiers:\n"
           "  required: [quillaveen.nosuch, quillaveen.rules.acme, foo.*, quillaveen.numeric, Quillaveen.scope]\n"
           "  forbidden: [llm_judge.*, quillaveen.numeric, foo.*]\n"
           "risk_classes: {default: low, routine: [low, x, x, x], mandatory_review: [x, low]}\n"
           "judge: {contradicted: PASS, unsupported: PASS}\n"
           "scope: {required: ['', ' ', k, \"\\u3000\"], missing_scope: PASS}\n"
           "pass_means: \"\\u3000\\t\"\nlocale: \" \\u2028\"\nrounding: HALF_UP\n"),
      ElementsAre("rounding: unknown rule HALF_UP; use half_up, half_even, within_last_digit",
                  "locale: empty; remove the key or name a locale",
                  "pass_means: empty; say what PASS means for this application",
                  "scope.missing_scope: a missing scope key can never PASS", "scope.required: empty key",
                  "judge: a label from the judge can escalate a claim, never pass it",
                  "judge: the policy sets judge rules but forbids llm_judge.*; set verifiers.forbidden without it",
                  "risk_classes: x is listed twice", "risk_classes: x is listed twice",
                  "risk_classes: x is listed twice", "risk_classes: low is listed twice",
                  "risk_classes: low is the default; it need not be listed as routine", "quillaveen.nosuch" + no_such,
                  "foo.*: both required and forbidden", "quillaveen.numeric: both required and forbidden",
                  "Quillaveen.scope" + no_such));
}

TEST(PolicyLint, ReportOfATextCarriesItsHash) {
  const auto report = lint_policy_text("\u2003quillaveen_default_v1\n");
  ASSERT_TRUE(report);
  EXPECT_THAT(report->problems, IsEmpty());
  EXPECT_EQ(report->policy_hash, *compute_policy_hash(*parse_policy(default_policy_text())));
  const auto bad = lint_policy_text("id: a\nversion: b\nrounding: up\n");
  ASSERT_TRUE(bad);
  EXPECT_EQ(bad->problems.size(), 1u);
  EXPECT_EQ(bad->policy_hash.size(), 71u);
}

}  // namespace
}  // namespace qv::engine
