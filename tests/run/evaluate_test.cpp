// Run evaluation: the gate and the breaches for each kind of rule, and the
// run hash.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crypto/sha256.hpp"
#include "run/evaluate.hpp"

namespace {

using namespace qv::run;

ExecutionPolicy policy(std::string rules, std::string default_effect = "ALLOW") {
  return deserialize_execution_policy(R"({"id":"p","default":")" + default_effect + R"(","rules":[)" + rules + "]}")
      .value();
}

RunEvent ev(RunEventKind kind) { return RunEvent{"ev", {}, 0, "t", {}, std::move(kind)}; }
RunEvent tool(std::string name, std::optional<std::string> server = {}) {
  return ev(events::ToolRequested{{std::move(name), std::move(server)}, "h"});
}
RunEvent executed(std::string id, std::string operation, std::optional<RiskLevel> risk = {}) {
  return ev(events::ActionExecuted{{std::move(id), std::move(operation), {}, risk}, "h"});
}
RunEvent requested(std::string operation) { return ev(events::HumanApprovalRequested{{"q", std::move(operation), {}, {}}}); }
RunEvent approval() { return ev(events::HumanApprovalGranted{{"u", {}, ActorKind::Human}}); }

Verdict judge(const std::vector<RunEvent>& events, const ExecutionPolicy& p) { return judge_events(events, p); }

TEST(Evaluation, DefaultEffect) {
  const std::vector<RunEvent> started = {ev(events::RunStarted{})};
  EXPECT_EQ(judge(started, policy("", "DENY")).gate, Effect::Allow);
  EXPECT_EQ(judge({ev(events::RunStarted{}), tool("ls")}, policy("", "REVIEW")).gate, Effect::Review);
  EXPECT_EQ(judge({tool("ls"), executed("a", "rm")}, policy("", "ALLOW")).breaches.size(), 0u);
  // Model invocations and state events are not evaluated.
  EXPECT_EQ(judge({ev(events::ModelInvocation{}), ev(events::StateRead{"k"})}, policy("", "DENY")).gate, Effect::Allow);
}

TEST(Evaluation, ToolRules) {
  const auto p = policy(R"({"id":"1","match":"tool","name":"rm","server":"fs","effect":"DENY"},)"
                        R"({"id":"2","match":"tool","name":"rm","effect":"REVIEW"},)"
                        R"({"id":"3","match":"tool","name":"rm","effect":"DENY"})");
  EXPECT_EQ(judge({tool("rm")}, p).gate, Effect::Review);  // a server-less event never matches rule 1
  EXPECT_EQ(judge({tool("rm", "fs")}, p).gate, Effect::Deny);
  EXPECT_EQ(judge({tool("rm", "other")}, p).gate, Effect::Review);
  EXPECT_EQ(judge({tool("RM")}, p).gate, Effect::Allow);
  EXPECT_EQ(judge({ev(events::ToolCompleted{{"rm", {}}, "h", ToolStatus::Ok})}, p).gate, Effect::Review);
  // Tool rules never select actions.
  EXPECT_EQ(judge({executed("a", "rm")}, p).gate, Effect::Allow);
}

TEST(Evaluation, ActionRulesAndBreaches) {
  const auto p = policy(R"({"id":"1","match":"action","operation":"delete","effect":"DENY"},)"
                        R"({"id":"2","match":"action","operation":"deploy","effect":"REVIEW"})");
  auto v = judge({executed("a1", "delete")}, p);
  EXPECT_EQ(v.gate, Effect::Deny);
  EXPECT_EQ(v.breaches, (std::vector<Breach>{{"a1", "executed a denied action (delete)"}}));
  v = judge({executed("a2", "deploy"), executed("a3", "read")}, p);
  EXPECT_EQ(v.gate, Effect::Deny);
  EXPECT_EQ(v.breaches, (std::vector<Breach>{{"a2", "executed action deploy without a preceding human approval"}}));
  // Any earlier approval counts, whichever action it followed.
  v = judge({requested("other"), approval(), executed("a2", "deploy")}, p);
  EXPECT_EQ(v.gate, Effect::Review);
  EXPECT_TRUE(v.breaches.empty());
  v = judge({executed("a2", "deploy"), approval(), executed("a4", "deploy")}, p);
  EXPECT_EQ(v.breaches.size(), 1u);
  // A request for approval of a denied action raises the gate, without a breach.
  v = judge({requested("delete")}, p);
  EXPECT_EQ(v.gate, Effect::Deny);
  EXPECT_TRUE(v.breaches.empty());
  // Tools are never selected by action rules.
  EXPECT_EQ(judge({tool("delete")}, p).gate, Effect::Allow);
}

TEST(Evaluation, RiskRules) {
  for (const auto& [rule, matches] : std::vector<std::pair<std::string, bool>>{{"low", true}, {"medium", true}, {"high", false}}) {
    const auto p = policy(R"({"id":"r","match":"risk_at_least","risk":")" + rule + R"(","effect":"REVIEW"})");
    EXPECT_EQ(judge({requested("x"), ev(events::HumanApprovalRequested{{"q", "x", {}, RiskLevel::Medium}})}, p).gate,
              matches ? Effect::Review : Effect::Allow)
        << rule;
  }
  // An action without a risk never applies; a breach follows the effect.
  const auto p = policy(R"({"id":"r","match":"risk_at_least","risk":"high","effect":"DENY"})");
  EXPECT_EQ(judge({executed("a", "x")}, p).gate, Effect::Allow);
  EXPECT_EQ(judge({executed("a", "x", RiskLevel::High)}, p).breaches,
            (std::vector<Breach>{{"a", "executed a denied action (x)"}}));
}

TEST(Evaluation, AnyRuleAndFirstMatchWins) {
  const auto p = policy(R"({"id":"1","match":"tool","name":"ls","effect":"ALLOW"},)"
                        R"({"id":"2","match":"any","effect":"REVIEW"},)"
                        R"({"id":"3","match":"tool","name":"rm","effect":"DENY"})");
  EXPECT_EQ(judge({tool("ls")}, p).gate, Effect::Allow);
  EXPECT_EQ(judge({tool("rm")}, p).gate, Effect::Review);
  EXPECT_EQ(judge({executed("a", "x")}, p).breaches.size(), 1u);
  EXPECT_EQ(judge({ev(events::RunStarted{}), approval(), ev(events::Retrieval{})}, p).gate, Effect::Allow);
}

TEST(Evaluation, RunHash) {
  RunTrace run{"r", {"s", "1", {}}, "T0", {RunEvent{"ev-0", {}, 0, "T0", {}, events::RunStarted{}}}, {}, {}, "T1",
               RunStatus::Completed};
  EXPECT_EQ(run_hash(run).value(),
            "sha256:" + qv::crypto::sha256_hex(
                            R"({"events":[{"event":{"type":"run_started"},"id":"ev-0","sequence":0,"timestamp":"T0"}],)"
                            R"("finished_at":"T1","run_id":"r","started_at":"T0","status":"completed","system":{"id":"s","version":"1"}})"));
  // Members before and after `events` in key order.
  RunTrace with_artifact = run;
  with_artifact.artifacts.push_back({"a", "file", "00"});
  with_artifact.parent_run_id = "r0";
  with_artifact.events.clear();
  EXPECT_EQ(run_hash(with_artifact).value(),
            "sha256:" + qv::crypto::sha256_hex(R"({"artifacts":[{"id":"a","kind":"file","sha256":"00"}],"events":[],)"
                                               R"("finished_at":"T1","parent_run_id":"r0","run_id":"r","started_at":"T0",)"
                                               R"("status":"completed","system":{"id":"s","version":"1"}})"));
  RunTrace other_time = run;
  other_time.events[0].timestamp = "T9";
  EXPECT_NE(run_hash(other_time).value(), run_hash(run).value());
}

}  // namespace
