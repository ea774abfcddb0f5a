// The event log: ids, sequences, refusals and the chained heads.
#include <gtest/gtest.h>

#include <string>

#include "crypto/sha256.hpp"
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

}  // namespace
