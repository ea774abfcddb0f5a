// The decision: each rule that raises a claim or the answer, the lists of
// the outcome, and the risk-class refusals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/decision.hpp"
#include "engine/graph.hpp"
#include "findings.hpp"

namespace qv::engine {
namespace {

using core::ClaimKind;
using core::Decision;
using records::Determinism;
using records::Evidence;
using records::EvidenceResult;

using testing::finding;
using testing::info;

Policy base_policy() {
  Policy p;
  p.id = "p";
  p.version = "1";
  p.verifiers.forbidden = {"llm_judge.*"};
  p.decision.any_contradiction_from = {"quillaveen.numeric", "quillaveen.rules.*"};
  p.decision.unsupported_from = {"quillaveen.numeric"};
  p.decision.tolerate_notes = {"year_not_in_sources"};
  p.decision.tolerate_unresolved_kinds = {ClaimKind::Word};
  return p;
}

records::PolicyOutcome decide(const Policy& p, const records::EvidenceGraph& g, const ClaimKinds& kinds,
                              std::vector<std::string> scope = {}, std::optional<std::string> risk = std::nullopt) {
  auto out = decide_outcome(p, g, kinds, scope, risk);
  EXPECT_TRUE(out.has_value()) << (out ? "" : out.error().display());
  return out ? *out : records::PolicyOutcome{};
}

TEST(Decision, OrdinaryFindingsRaiseClaims) {
  records::EvidenceGraph g;
  add_verifier_evidence(g, info("quillaveen.numeric"),
                        {finding("c0", "quillaveen.numeric", EvidenceResult::Contradicted, "5 not 6"),
                         finding("c1", "quillaveen.numeric", EvidenceResult::Unsupported, "absent"),
                         finding("c2", "quillaveen.numeric", EvidenceResult::Unsupported, "a year",
                                 {"year_not_in_sources"}),
                         finding("c3", "quillaveen.numeric", EvidenceResult::Error, "broke"),
                         finding("c4", "quillaveen.numeric", EvidenceResult::NotApplicable)});
  add_verifier_evidence(g, info("quillaveen.intent"),
                        {finding("c10", "quillaveen.intent", EvidenceResult::Contradicted, "kind")});
  const ClaimKinds kinds = {{"c0", ClaimKind::Numeric}, {"c1", ClaimKind::Numeric}, {"c2", ClaimKind::Numeric},
                            {"c3", ClaimKind::Numeric}, {"c4", ClaimKind::Numeric}, {"c5", ClaimKind::Word},
                            {"c10", ClaimKind::Numeric}};
  const auto out = decide(base_policy(), g, kinds);
  ASSERT_EQ(out.claims.size(), 7u);
  const auto& c = out.claims;
  EXPECT_EQ(c[0].claim_id, "c0");
  EXPECT_EQ(c[0].decision, Decision::Fail);
  EXPECT_EQ(c[0].reasons, std::vector<std::string>{"quillaveen.numeric contradicted: 5 not 6"});
  EXPECT_EQ(c[1].claim_id, "c1");
  EXPECT_EQ(c[2].claim_id, "c10");  // byte order of the ids
  EXPECT_EQ(c[2].decision, Decision::Review);
  EXPECT_EQ(c[2].reasons,
            std::vector<std::string>{"quillaveen.intent contradicted (not a failing verifier under this policy)"});
  EXPECT_EQ(c[1].decision, Decision::Review);
  EXPECT_EQ(c[1].reasons, std::vector<std::string>{"quillaveen.numeric unsupported: absent"});
  EXPECT_EQ(c[3].decision, Decision::Pass);  // tolerated note, counts as evidence
  EXPECT_TRUE(c[3].reasons.empty());
  EXPECT_EQ(c[4].reasons, (std::vector<std::string>{"quillaveen.numeric could not check this claim: broke",
                                                    "no admitted verifier produced evidence for this claim"}));
  EXPECT_EQ(c[5].reasons, std::vector<std::string>{"no admitted verifier produced evidence for this claim"});
  EXPECT_EQ(c[6].decision, Decision::Pass);  // a word claim may stay unresolved
  EXPECT_EQ(out.decision, Decision::Fail);
  EXPECT_TRUE(out.reasons.empty());
  EXPECT_EQ(out.policy_id, "p");
  EXPECT_EQ(out.policy_hash.size(), 71u);
}

TEST(Decision, AdmissionConflictsAndMissingRequired) {
  Policy p = base_policy();
  p.determinism.minimum_to_decide = MinimumDeterminism::Exact;
  p.verifiers.required = {"quillaveen.numeric", "quillaveen.rules.*"};
  records::EvidenceGraph g;
  add_verifier_evidence(g, info("llm_judge.x", Determinism::non_deterministic()),
                        {finding("c0", "llm_judge.x", EvidenceResult::Supported)});
  add_verifier_evidence(g, info("quillaveen.numeric"),
                        {finding("c0", "quillaveen.numeric", EvidenceResult::Contradicted, "off")});
  add_verifier_evidence(g, info("quillaveen.rules.house", Determinism::reproducible(0.1)),
                        {finding("c1", "quillaveen.rules.house", EvidenceResult::Contradicted)});
  add_verifier_failure(g, "llm_judge.x", "ignored");
  add_verifier_failure(g, "quillaveen.scope", "invalid input: unknown locale xx");
  const auto out = decide(p, g, {{"c0", ClaimKind::Numeric}, {"c1", ClaimKind::Numeric}});
  EXPECT_EQ(out.excluded_verifiers,
            (std::vector<records::TextPair>{
                {"llm_judge.x", "forbidden by policy"},
                {"quillaveen.rules.house", "determinism class below policy minimum; recorded, not deciding"}}));
  EXPECT_EQ(out.missing_required, std::vector<std::string>{"quillaveen.rules.*"});
  EXPECT_EQ(out.claims[0].reasons, (std::vector<std::string>{"quillaveen.numeric contradicted: off",
                                                            "verifiers disagree on this claim"}));
  EXPECT_EQ(out.claims[1].decision, Decision::Review);  // only an excluded finding: unresolved
  EXPECT_EQ(out.reasons, std::vector<std::string>{
                             "verifier_failed: quillaveen.scope could not run: invalid input: unknown locale xx"});
  EXPECT_EQ(out.decision, Decision::Fail);
}

TEST(Decision, AnswerRulesAndControls) {
  Policy p = base_policy();
  p.scope = ScopeRules{{"region", "year"}, Decision::Fail};
  p.risk_classes = RiskClasses{"high", {"low"}, {"high"}};
  p.pass_means = "fine";
  p.regulatory_mapping = {{"F", "A1", "review-queue", "r", {Decision::Review}},
                          {"F", "A2", "accuracy", "r", {Decision::Fail}}};
  // The default class is under mandatory review; a missing scope key fails.
  auto out = decide(p, {}, {}, {"region"});
  EXPECT_EQ(out.reasons, (std::vector<std::string>{"missing_scope: the request does not say its year",
                                                   "mandatory_review: risk class high always goes to review"}));
  EXPECT_EQ(out.decision, Decision::Fail);
  EXPECT_EQ(out.risk_class, "high");
  EXPECT_EQ(out.pass_means, "fine");
  ASSERT_EQ(out.regulatory_mapping.size(), 1u);
  EXPECT_EQ(out.regulatory_mapping[0].control, "accuracy");

  out = decide(p, {}, {}, {"region", "year"}, "low");
  EXPECT_EQ(out.decision, Decision::Pass);
  EXPECT_TRUE(out.regulatory_mapping.empty());

  EXPECT_EQ(decide_outcome(p, {}, {}, {}, "mid").error().display(), "invalid input: policy: policy p has no risk class mid");
  // A class named to a policy without risk_classes: the Python tests.
  EXPECT_FALSE(decide(base_policy(), {}, {}).risk_class);
}

TEST(Decision, JudgeRules) {
  Policy p = base_policy();
  p.verifiers.forbidden.clear();
  p.determinism.minimum_to_decide = MinimumDeterminism::Exact;
  p.judge = JudgeRules{true, Decision::Fail, Decision::Review};
  const ClaimKinds kinds = {{"c0", ClaimKind::Statement}, {"c1", ClaimKind::Statement}, {"c2", ClaimKind::Statement}};

  // A required judge that did not run: PASS becomes REVIEW, reason last.
  auto out = decide(p, {}, {});
  EXPECT_EQ(out.decision, Decision::Review);
  EXPECT_EQ(out.reasons, std::vector<std::string>{"judge_missing: the policy requires a judge and none ran"});

  records::EvidenceGraph g;
  add_verifier_evidence(g, info("llm_judge.a", Determinism::non_deterministic()),
                        {finding("c0", "llm_judge.a", EvidenceResult::Contradicted, "no"),
                         finding("c1", "llm_judge.a", EvidenceResult::Error, "?"),
                         finding("c2", "llm_judge.a", EvidenceResult::Supported)});
  out = decide(p, g, kinds);
  EXPECT_TRUE(out.excluded_verifiers.empty());
  EXPECT_EQ(out.claims[0].reasons, (std::vector<std::string>{"llm_judge.a contradicted: no",
                                                            "no admitted verifier produced evidence for this claim"}));
  EXPECT_EQ(out.claims[1].reasons.front(), "llm_judge.a could not label: ?");
  EXPECT_EQ(out.claims[2].decision, Decision::Review);  // the judge's label is no evidence
  EXPECT_EQ(out.decision, Decision::Fail);
  EXPECT_TRUE(out.reasons.empty());

  // A FAIL keeps FAIL without the judge_missing reason.
  records::EvidenceGraph failing;
  add_verifier_evidence(failing, info("quillaveen.numeric"),
                        {finding("c0", "quillaveen.numeric", EvidenceResult::Contradicted)});
  out = decide(p, failing, {{"c0", ClaimKind::Numeric}});
  EXPECT_EQ(out.decision, Decision::Fail);
  EXPECT_TRUE(out.reasons.empty());
}

}  // namespace
}  // namespace qv::engine
