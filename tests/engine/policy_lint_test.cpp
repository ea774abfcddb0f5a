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

TEST(VerifierIds, PatternsAndJudgeIds) {
  struct Case {
    const char* pattern;
    const char* id;
    bool matches;
  };
  const Case cases[] = {
      {"quillaveen.rules.*", "quillaveen.rules", true},  {"quillaveen.rules.*", "quillaveen.rules.acme", true},
      {"quillaveen.rules.*", "quillaveen.rulesx", false}, {"quillaveen.rules.*", "quillaveen.rules.", true},
      {"quillaveen.numeric", "quillaveen.numeric", true}, {"quillaveen.numeric", "quillaveen.numeric.x", false},
      {"Quillaveen.numeric", "quillaveen.numeric", false}, {"*", "*", true},
      {"*", "x", false},                                  {".*", "", true},
      {".*", ".x", true},                                 {"a*", "ab", false},
      {"llm_judge.*", "llm_judge.any", true},             {"", "", true},
  };
  for (const Case& c : cases) EXPECT_EQ(verifier_id_matches(c.pattern, c.id), c.matches) << c.pattern << " " << c.id;
  EXPECT_TRUE(is_judge_id("llm_judge.gpt4"));
  EXPECT_TRUE(is_judge_id("llm_judge."));
  EXPECT_FALSE(is_judge_id("llm_judge"));
  EXPECT_FALSE(is_judge_id("LLM_judge.x"));

  const auto infos = builtin_verifier_infos();
  ASSERT_EQ(infos.size(), 3u);
  EXPECT_EQ(infos[0].id, "quillaveen.numeric");
  EXPECT_EQ(infos[0].version, "1.3.0");
  EXPECT_EQ(infos[1].id, "quillaveen.scope");
  EXPECT_EQ(infos[1].version, "1.2.0");
  EXPECT_EQ(infos[2].id, "quillaveen.intent");
  EXPECT_EQ(infos[2].version, "1.1.0");
  EXPECT_EQ(infos[2].kind, records::VerifierKind::Symbolic);
  for (const auto& i : infos) {
    EXPECT_EQ(i.determinism, records::Determinism::exact());
    EXPECT_THAT(i.applies_to, ElementsAre(core::ClaimKind::Numeric));
    EXPECT_TRUE(i.artefacts.empty());
    EXPECT_FALSE(i.needs_network);
  }
}

TEST(PolicyLint, CleanPolicies) {
  for (const auto& shipped : shipped_policies()) EXPECT_THAT(lint(shipped.text), IsEmpty()) << shipped.name;
  EXPECT_THAT(lint("id: a\nversion: b\n"), IsEmpty());
  EXPECT_THAT(lint("id: a\nversion: b\nrounding: within_last_digit\nlocale: de\npass_means: ok\n"
                   "judge: {required: true}\nverifiers: {forbidden: [llm_judge.gpt4, quillaveen.*],\n"
                   "  required: [quillaveen.numeric, quillaveen.scope, quillaveen.intent, quillaveen.rules.acme,\n"
                   "             llm_judge.x, anything.*]}\n"
                   "risk_classes: {default: low, mandatory_review: [low], routine: [mid]}\n"
                   "scope: {required: [company], missing_scope: FAIL}\n"),
              IsEmpty());
  // Without a judge section, forbidding the judge is no problem.
  EXPECT_THAT(lint("id: a\nversion: b\nverifiers: {forbidden: [llm_judge.*]}\n"), IsEmpty());
}

TEST(PolicyLint, ProblemsComeInTheOrderOfTheChecks) {
  const auto problems = lint(
      "id: a\nversion: b\n"
      "verifiers:\n"
      "  required: [quillaveen.nosuch, quillaveen.rules.acme, foo.*, quillaveen.numeric, llm_judge.x, Quillaveen.scope]\n"
      "  forbidden: [llm_judge.*, quillaveen.numeric, foo.*]\n"
      "risk_classes: {default: low, routine: [low, x, x, x], mandatory_review: [x, low]}\n"
      "judge: {contradicted: PASS, unsupported: PASS}\n"
      "scope: {required: ['', ' ', k, \"\\u3000\"], missing_scope: PASS}\n"
      "pass_means: \"\\u3000\\t\"\n"
      "locale: \" \\u2028\"\n"
      "rounding: HALF_UP\n");
  EXPECT_THAT(problems,
              ElementsAre("rounding: unknown rule HALF_UP; use half_up, half_even, within_last_digit",
                          "locale: empty; remove the key or name a locale",
                          "pass_means: empty; say what PASS means for this application",
                          "scope.missing_scope: a missing scope key can never PASS", "scope.required: empty key",
                          "judge: a label from the judge can escalate a claim, never pass it",
                          "judge: the policy sets judge rules but forbids llm_judge.*; set verifiers.forbidden "
                          "without it",
                          "risk_classes: x is listed twice", "risk_classes: x is listed twice",
                          "risk_classes: x is listed twice", "risk_classes: low is listed twice",
                          "risk_classes: low is the default; it need not be listed as routine",
                          "quillaveen.nosuch: required, but this engine has no such verifier (the model channels "
                          "were removed in 6.0)",
                          "foo.*: both required and forbidden", "quillaveen.numeric: both required and forbidden",
                          "Quillaveen.scope: required, but this engine has no such verifier (the model channels "
                          "were removed in 6.0)"));
}

TEST(PolicyLint, KnownVerifiersComeFromTheCaller) {
  auto p = parse_policy("id: a\nversion: b\nverifiers: {required: [quillaveen.numeric, custom.one]}\n");
  ASSERT_TRUE(p);
  EXPECT_THAT(lint_policy(*p, {}),
              ElementsAre("quillaveen.numeric: required, but this engine has no such verifier (the model channels "
                          "were removed in 6.0)",
                          "custom.one: required, but this engine has no such verifier (the model channels were "
                          "removed in 6.0)"));
  auto known = builtin_verifier_infos();
  known[1].id = "custom.one";
  EXPECT_THAT(lint_policy(*p, known), IsEmpty());
}

TEST(PolicyLint, ReportCarriesTheHashOfTheChosenText) {
  const auto report = lint_policy_text("\u2003quillaveen_default_v1\n");
  ASSERT_TRUE(report);
  EXPECT_THAT(report->problems, IsEmpty());
  EXPECT_EQ(report->policy_hash, *compute_policy_hash(*parse_policy(default_policy_text())));
  const auto bad = lint_policy_text("id: a\nversion: b\nrounding: up\n");
  ASSERT_TRUE(bad);
  EXPECT_THAT(bad->problems, ElementsAre("rounding: unknown rule up; use half_up, half_even, within_last_digit"));
  EXPECT_EQ(bad->policy_hash.size(), 71u);
  EXPECT_EQ(lint_policy_text("  ").error().display(), "invalid input: policy: EOF while parsing a value");
}

}  // namespace
}  // namespace qv::engine
