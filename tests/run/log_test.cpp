// The event log: ids, sequences, refusals and the chained heads.
#include <gtest/gtest.h>

#include <string>

#include <utility>
#include <vector>

#include "crypto/sha256.hpp"
#include "json/canonical.hpp"
#include "json/writer.hpp"
#include "run/log.hpp"

namespace {

using namespace qv::run;

std::string digest(std::string_view text) { return "sha256:" + qv::crypto::sha256_hex(text); }

events::ToolRequested tool_call(std::string name) { return events::ToolRequested{ToolRef{std::move(name), {}}, "h"}; }

TEST(EventLog, HeadsChainTheCanonicalEvents) {
  EventLog log("r", "s", {}, "T0");
  EXPECT_EQ(event_log_append(log, {}, "T0", events::RunStarted{}).value(), "ev-0");
  EXPECT_EQ(event_log_append(log, "ev-0", "T1", tool_call("ls")).value(), "ev-1");
  EXPECT_EQ(event_log_append(log, {}, "T2", events::ToolCompleted{ToolRef{"ls", "fs"}, "r", ToolStatus::Error}).value(),
            "ev-2");
  const std::string e0 = R"({"event":{"type":"run_started"},"id":"ev-0","sequence":0,"timestamp":"T0"})";
  const std::string e1 =
      R"({"event":{"arguments_hash":"h","tool":{"name":"ls"},"type":"tool_requested"},"id":"ev-1","parent":"ev-0","sequence":1,"timestamp":"T1"})";
  const std::string e2 =
      R"({"event":{"result_hash":"r","status":"error","tool":{"name":"ls","server":"fs"},"type":"tool_completed"},"id":"ev-2","sequence":2,"timestamp":"T2"})";
  const auto& entries = log.entries();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].head, digest(e0 + "\n"));
  EXPECT_FALSE(entries[0].previous_head);
  EXPECT_EQ(entries[1].head, digest(e1 + "\n" + entries[0].head));
  EXPECT_EQ(entries[1].previous_head, entries[0].head);
  EXPECT_EQ(entries[2].head, digest(e2 + "\n" + entries[1].head));
  EXPECT_EQ(log.head(), entries[2].head);
  EXPECT_EQ(entries[2].event.sequence, 2u);
  // Written in declared order, absent members left out.
  EXPECT_EQ(qv::json::write_json_compact(event_to_json(entries[1].event)),
            R"({"id":"ev-1","parent":"ev-0","sequence":1,"timestamp":"T1","event":{"type":"tool_requested","tool":{"name":"ls"},"arguments_hash":"h"}})");
  RunEvent empty{"ev-0", {}, 0, "", {}, events::RunStarted{}};
  EXPECT_EQ(qv::json::write_json_compact(event_to_json(empty)),
            R"({"id":"ev-0","sequence":0,"timestamp":"","event":{"type":"run_started"}})");
}

TEST(EventLog, RefusedAppendLeavesTheLogAsItWas) {
  EventLog log;
  EXPECT_EQ(event_log_append(log, "ev-0", "t", events::RunStarted{}).error().display(),
            "invalid input: event ev-0 has parent ev-0, which has not been appended");
  ASSERT_TRUE(event_log_append(log, {}, "t", events::RunStarted{}));
  ASSERT_TRUE(event_log_append(log, {}, "t", tool_call("a")));
  EXPECT_EQ(event_log_append(log, "ev-5", "t", tool_call("b")).error().display(),
            "invalid input: event ev-2 has parent ev-5, which has not been appended");
  EXPECT_EQ(log.counter(), 2u);
  EXPECT_EQ(log.entries().size(), 2u);
  EXPECT_EQ(event_log_append(log, "ev-1", "t", tool_call("b")).value(), "ev-2");
}

TEST(EventLog, LongLogWithParentsOnEveryEvent) {
  // Each append checks its id and parent against the ids seen so far.
  EventLog log;
  ASSERT_TRUE(event_log_append(log, {}, "t", events::RunStarted{}));
  constexpr int kEvents = 50000;
  for (int i = 1; i < kEvents; ++i) {
    ASSERT_TRUE(event_log_append(log, "ev-" + std::to_string(i / 2), "t", tool_call("x")));
  }
  EXPECT_EQ(log.entries().back().event.id, "ev-" + std::to_string(kEvents - 1));
  EXPECT_EQ(log.entries().back().event.parent, "ev-" + std::to_string((kEvents - 1) / 2));
  EXPECT_FALSE(event_log_append(log, "ev-" + std::to_string(kEvents), "t", tool_call("x")));
}

TEST(EventLog, CanonicalTextOfEveryKind) {
  // Written straight from the event, and through its value, the same text.
  const std::vector<std::pair<RunEvent, std::string>> cases = {
      {{"ev-1", {}, 1, "T", {}, events::ModelInvocation{{"m", "mh"}, "i", "o"}},
       R"({"event":{"input_hash":"i","model":{"hash":"mh","id":"m"},"output_hash":"o","type":"model_invocation"},"id":"ev-1","sequence":1,"timestamp":"T"})"},
      {{"ev-1", {}, 1, "T", {}, events::Retrieval{"q", {{"d1", {}}, {"d2", "h2"}}}},
       R"({"event":{"documents":[{"id":"d1"},{"hash":"h2","id":"d2"}],"query_hash":"q","type":"retrieval"},"id":"ev-1","sequence":1,"timestamp":"T"})"},
      {{"ev-1", {}, 1, "T", {}, events::Retrieval{"q", {}}},
       R"({"event":{"documents":[],"query_hash":"q","type":"retrieval"},"id":"ev-1","sequence":1,"timestamp":"T"})"},
      {{"ev-1", {}, 1, "T", {}, events::ClaimExtracted{"c"}},
       R"({"event":{"claim_id":"c","type":"claim_extracted"},"id":"ev-1","sequence":1,"timestamp":"T"})"},
      {{"ev-1", {}, 1, "T", {}, events::StateRead{"k"}},
       R"({"event":{"key":"k","type":"state_read"},"id":"ev-1","sequence":1,"timestamp":"T"})"},
      {{"ev-1", {}, 1, "T", {}, events::StateWritten{"k", "v"}},
       R"({"event":{"key":"k","type":"state_written","value_hash":"v"},"id":"ev-1","sequence":1,"timestamp":"T"})"},
      {{"ev-1", {}, 1, "T", {}, events::HumanApprovalRequested{{"a", "op", {}, {}}}},
       R"({"event":{"action":{"id":"a","operation":"op"},"type":"human_approval_requested"},"id":"ev-1","sequence":1,"timestamp":"T"})"},
      {{"ev-1", "ev-0", 1, "T", Actor{"svc", {}, ActorKind::Service}, events::HumanApprovalGranted{{"u", "Ann", ActorKind::Human}}},
       R"({"actor":{"id":"svc","kind":"service"},"event":{"actor":{"id":"u","kind":"human","name":"Ann"},"type":"human_approval_granted"},"id":"ev-1","parent":"ev-0","sequence":1,"timestamp":"T"})"},
      {{"ev-2", "ev-1", 2, "T", Actor{"u", {}, ActorKind::Agent}, events::ActionExecuted{{"a", "deploy", "prod", RiskLevel::High}, "r"}},
       R"({"actor":{"id":"u","kind":"agent"},"event":{"action":{"id":"a","operation":"deploy","risk":"high","target":"prod"},"result_hash":"r","type":"action_executed"},"id":"ev-2","parent":"ev-1","sequence":2,"timestamp":"T"})"},
      {{"ev-1", {}, 1, "T", {}, events::PolicyEvaluated{"p", "ph", qv::core::Decision::Review}},
       R"({"event":{"decision":"REVIEW","policy_hash":"ph","policy_id":"p","type":"policy_evaluated"},"id":"ev-1","sequence":1,"timestamp":"T"})"},
      {{"ev-1", {}, 1, "T", {}, events::VerificationCompleted{qv::core::Decision::Fail}},
       R"({"event":{"decision":"FAIL","type":"verification_completed"},"id":"ev-1","sequence":1,"timestamp":"T"})"},
      {{"ev-1", {}, 1, "T\n", {}, events::ToolRequested{{"a\"b", "s"}, "h"}},
       R"({"event":{"arguments_hash":"h","tool":{"name":"a\"b","server":"s"},"type":"tool_requested"},"id":"ev-1","sequence":1,"timestamp":"T\n"})"},
  };
  std::size_t compared = 0;
  qv::json::CanonicalOut out;
  for (const auto& [event, expected] : cases) {
    out.reset();
    write_event_canonical(out, event);
    EXPECT_EQ(out.text(), expected);
    EXPECT_EQ(qv::json::canonical_text(event_to_json(event)).value(), expected);
    ++compared;
  }
  EXPECT_EQ(compared, 12u);
  // The value keeps the declared order, nested objects included.
  EXPECT_EQ(qv::json::write_json_compact(event_to_json(cases[8].first)),
            R"({"id":"ev-2","parent":"ev-1","sequence":2,"timestamp":"T","actor":{"kind":"agent","id":"u"},)"
            R"("event":{"type":"action_executed","action":{"id":"a","operation":"deploy","target":"prod","risk":"high"},"result_hash":"r"}})");
}

TEST(EventLog, ParentMustNameAnAppendedEvent) {
  EventLog log;
  for (int i = 0; i < 12; ++i) ASSERT_TRUE(event_log_append(log, {}, "t", events::RunStarted{}));
  for (const char* parent : {"ev-12", "ev-01", "ev-00", "ev-", "ev-1x", "ev-+1", "ev--1", "ev- 1", "ev-1 ", " ev-1", "EV-1",
                             "ev-18446744073709551615", "ev-18446744073709551616", "1"}) {
    EXPECT_EQ(event_log_append(log, parent, "t", tool_call("x")).error().display(),
              "invalid input: event ev-12 has parent " + std::string(parent) + ", which has not been appended");
  }
  EXPECT_EQ(event_log_append(log, "ev-0", "t", tool_call("x")).value(), "ev-12");
  EXPECT_EQ(event_log_append(log, "ev-11", "t", tool_call("x")).value(), "ev-13");
}

TEST(EventLog, ConsumedEntriesAreHandedOnNotKept) {
  EventLog kept("r", "s", {}, "T0");
  EventLog consumed("r", "s", {}, "T0");
  std::vector<std::string> texts;
  std::vector<std::string> heads;
  consumed.consume_entries([&](const LogEntry& entry, std::string_view text) {
    texts.emplace_back(text);
    heads.push_back(entry.head);
  });
  for (EventLog* log : {&kept, &consumed}) {
    ASSERT_TRUE(event_log_append(*log, {}, "T0", events::RunStarted{}));
    ASSERT_TRUE(event_log_append(*log, {}, "T1", tool_call("ls")));
    ASSERT_TRUE(event_log_append(*log, "ev-1", "T2", events::ToolCompleted{ToolRef{"ls", {}}, "r", ToolStatus::Ok}));
    // The checks need no kept entries.
    EXPECT_FALSE(event_log_append(*log, "ev-3", "T3", tool_call("x")));
    ASSERT_TRUE(event_log_append(*log, "ev-0", "T3", tool_call("x")));
  }
  ASSERT_EQ(kept.entries().size(), 4u);
  ASSERT_EQ(consumed.entries().size(), 1u);
  EXPECT_EQ(consumed.counter(), 4u);
  ASSERT_EQ(texts.size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(texts[i], qv::json::canonical_text(event_to_json(kept.entries()[i].event)).value());
    EXPECT_EQ(heads[i], kept.entries()[i].head);
  }
  EXPECT_EQ(consumed.entries().back().event, kept.entries().back().event);
  EXPECT_EQ(consumed.entries().back().previous_head, kept.entries()[2].head);
  EXPECT_EQ(consumed.head(), kept.head());
}

}  // namespace
