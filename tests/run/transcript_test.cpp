// MCP messages to events: tool calls and their responses, sampling, and
// the pairing of requests and responses by id.
#include <gtest/gtest.h>

#include <string>

#include "crypto/sha256.hpp"
#include "json/reader.hpp"
#include "run/transcript.hpp"

namespace {

using namespace qv::run;

std::string digest(std::string_view text) { return "sha256:" + qv::crypto::sha256_hex(text); }

struct Messages {
  EventLog log;
  // Feeds one message; returns the appended id or "" for none, "!..." for a failure.
  std::string feed(std::string_view message) {
    auto appended = events_from_mcp_transcript(log, qv::json::read_json(message).value(), "t");
    if (!appended) return "!" + appended.error().display();
    return appended->value_or("");
  }
  const RunEventKind& last() const { return log.entries().back().event.event; }
};

TEST(Transcript, ToolCallAndItsResponse) {
  Messages r;
  EXPECT_EQ(r.feed(R"({"jsonrpc":"2.0","id":1,"method":"tools/call","params":{"name":"ls","arguments":{"b":[2],"a":1}}})"),
            "ev-0");
  EXPECT_EQ(std::get<events::ToolRequested>(r.last()), (events::ToolRequested{{"ls", {}}, digest(R"({"a":1,"b":[2]})")}));
  EXPECT_EQ(r.feed(R"({"id":1,"result":{"z":0,"content":[]}})"), "ev-1");
  EXPECT_EQ(r.log.entries().back().event.parent, "ev-0");
  EXPECT_EQ(std::get<events::ToolCompleted>(r.last()),
            (events::ToolCompleted{{"ls", {}}, digest(R"({"content":[],"z":0})"), ToolStatus::Ok}));
  // Answered once: a second response and an unknown id make nothing.
  EXPECT_EQ(r.feed(R"({"id":1,"result":{}})"), "");
  EXPECT_EQ(r.feed(R"({"id":9,"result":{}})"), "");
  EXPECT_TRUE(r.log.pending.empty());
}

TEST(Transcript, FailedCalls) {
  Messages r;
  r.feed(R"({"id":"a","method":"tools/call","params":{"name":"x"}})");
  r.feed(R"({"id":"a","error":{"code":-1},"result":{"ok":true}})");
  // An error member fails the call; the result is still what is hashed.
  EXPECT_EQ(std::get<events::ToolCompleted>(r.last()).status, ToolStatus::Error);
  EXPECT_EQ(std::get<events::ToolCompleted>(r.last()).result_hash, digest(R"({"ok":true})"));
  r.feed(R"({"id":"a","method":"tools/call","params":{"name":"x"}})");
  r.feed(R"({"id":"a","error":{"message":"no","code":-1}})");
  EXPECT_EQ(std::get<events::ToolCompleted>(r.last()).result_hash, digest(R"({"code":-1,"message":"no"})"));
  r.feed(R"({"id":"a","method":"tools/call","params":{"name":"x"}})");
  r.feed(R"({"id":"a","result":{"isError":true}})");
  EXPECT_EQ(std::get<events::ToolCompleted>(r.last()).status, ToolStatus::Error);
  r.feed(R"({"id":"a","method":"tools/call","params":{"name":"x"}})");
  r.feed(R"({"id":"a","result":{"isError":"true"}})");
  EXPECT_EQ(std::get<events::ToolCompleted>(r.last()).status, ToolStatus::Ok);
}

TEST(Transcript, RequestIds) {
  Messages r;
  // The number 7 and the string "7" are one id; 7.0 is another.
  r.feed(R"({"id":7,"method":"tools/call","params":{"name":"x"}})");
  EXPECT_EQ(r.feed(R"({"id":7.0,"result":{}})"), "");
  EXPECT_EQ(r.feed(R"({"id":"7","result":{}})"), "ev-1");
  // A call without an id (or with null) is logged but cannot be answered.
  EXPECT_EQ(r.feed(R"({"id":null,"method":"tools/call","params":{"name":"x"}})"), "ev-2");
  EXPECT_EQ(r.feed(R"({"id":null,"result":{}})"), "");
  EXPECT_EQ(std::get<events::ToolRequested>(r.last()).arguments_hash, digest("null"));
  // A second request under a waiting id replaces the first.
  r.feed(R"({"id":2,"method":"tools/call","params":{"name":"first"}})");
  r.feed(R"({"id":2,"method":"tools/call","params":{"name":"second"}})");
  EXPECT_EQ(r.feed(R"({"id":2,"result":{}})"), "ev-5");
  EXPECT_EQ(r.log.entries().back().event.parent, "ev-4");
  EXPECT_EQ(std::get<events::ToolCompleted>(r.last()).tool.name, "second");
  EXPECT_EQ(r.feed(R"({"id":2,"result":{}})"), "");
}

TEST(Transcript, Sampling) {
  Messages r;
  EXPECT_EQ(r.feed(R"({"id":3,"method":"sampling/createMessage","params":{"messages":[],"maxTokens":5}})"), "");
  EXPECT_TRUE(r.log.entries().empty());
  EXPECT_EQ(r.feed(R"({"id":3,"result":{"model":"m-1","role":"assistant"}})"), "ev-0");
  EXPECT_EQ(std::get<events::ModelInvocation>(r.last()),
            (events::ModelInvocation{{"m-1", {}}, digest(R"({"maxTokens":5,"messages":[]})"),
                                     digest(R"({"model":"m-1","role":"assistant"})")}));
  EXPECT_FALSE(r.log.entries().back().event.parent);
  r.feed(R"({"id":4,"method":"sampling/createMessage"})");
  EXPECT_EQ(r.feed(R"({"id":4,"error":{"code":1}})"), "ev-1");
  EXPECT_EQ(std::get<events::ModelInvocation>(r.last()),
            (events::ModelInvocation{{"unknown", {}}, digest("null"), digest("null")}));
  // Without an id a sampling request is never waited for.
  r.feed(R"({"method":"sampling/createMessage","params":{}})");
  EXPECT_TRUE(r.log.pending.empty());
}

TEST(Transcript, MessagesThatMakeNoEvent) {
  Messages r;
  for (const char* m : {R"({"id":1,"method":"initialize","params":{}})", R"({"method":"notifications/progress"})",
                        R"([{"id":1}])", R"("tools/call")", "7", "null", R"({"method":5,"id":1})"}) {
    EXPECT_EQ(r.feed(m), "") << m;
  }
  EXPECT_TRUE(r.log.entries().empty());
  for (const char* m : {R"({"id":1,"method":"tools/call"})", R"({"id":1,"method":"tools/call","params":{"name":1}})",
                        R"({"id":1,"method":"tools/call","params":["x"]})"}) {
    EXPECT_EQ(r.feed(m), "!invalid input: tools/call without a name") << m;
  }
  EXPECT_TRUE(r.log.entries().empty());
  EXPECT_TRUE(r.log.pending.empty());
}

}  // namespace
