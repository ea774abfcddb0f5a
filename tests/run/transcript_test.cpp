// MCP messages to events: tool calls and their responses, sampling, and
// the pairing of requests and responses by id.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// The lines the driver reads from their text, as the value reader would
// read them: members found by name (the last of a repeated name, escaped
// names decoded), ids, batches and stamps.
TEST(TranscriptLine, ReadsAsTheValueOfTheLine) {
  const std::vector<std::string> lines = {
      R"({"id":1,"method":"tools/call","params":{"name":"a","arguments":{"b":[2],"a":1}},"ts":"T1"})",
      R"( {"\u0069d" : 1 , "result":{"z":0,"content":[]}})",
      R"({"id":2,"method":"tools\/call","params":{"name":"x","arguments":1,"name":"y","arguments":{"k":[1.50,-0,1e2,0.1]}}})",
      R"({"id":2,"result":{"isError":true,"isError":false},"error":null})",
      R"({"id":"s","method":"sampling/createMessage","params":{"b":1,"a":{"d":2,"c":3}},"ts":5})",
      R"({"id":"s","result":{"model":1,"model":"m\n"},"ts":"T\u0032"})",
      R"([{"id":3,"method":"tools/call","params":{"name":"b"},"ts":"T3"},7,[{"id":4}],{"id":3,"result":null}])",
      R"({"id":3.0,"method":"tools/call","params":{"name":"c"}})",
      R"({"id":3.0,"result":{"isError":"true"}})",
      R"({"id":-0,"method":"tools/call","params":{"name":"d"}})",
      R"({"id":"-0.0","result":{"isError":true}})",
      R"({"id":{"b":1,"a":2,"b":3},"method":"tools/call","params":{"name":"e"}})",
      R"({"id":{"b":3,"a":2},"error":{"message":"no","code":1}})",
      R"({"id":12345678901234567890,"method":"sampling/createMessage"})",
      R"({"id":"12345678901234567890","result":{"model":"m2"}})",
      R"({"method":"tools/call","params":{"name":"f","arguments":"\ud83d\ude00"},"id":null})",
      R"({"id":7,"method":"sampling/createMessage","params":{"x":1}})",
      R"({"id":"7","method":"sampling/createMessage"})",
      R"({"id":7,"result":{}})",
      R"({"id":8,"method":"tools/call","params":["name"]})",
      R"({"id":8,"method":"tools/call","params":{"name":"g"},"method":"other"})",
      R"("text")",
      "null",
      "[]",
  };
  EventLog by_text;
  EventLog by_value;
  TranscriptLine reader;
  std::string text_time = "T0";
  std::string value_time = "T0";
  std::size_t refused = 0;
  for (const std::string& line : lines) {
    ASSERT_TRUE(reader.read(line)) << line;
    const auto from_text = reader.append_events(by_text, text_time);
    // The value: one message, or each object of a batch, stamped as the driver does.
    qv::json::Value value = qv::json::read_json(line).value();
    std::vector<qv::json::Value> messages;
    if (value.is_array()) {
      for (qv::json::Value& m : value.as_array()) {
        if (m.is_object()) messages.push_back(std::move(m));
      }
    } else {
      messages.push_back(std::move(value));
    }
    EXPECT_EQ(reader.messages(), value.is_object() || value.is_array() ? messages.size() : 0u) << line;
    std::string from_value = "ok";
    for (qv::json::Value& m : messages) {
      const qv::json::Value* ts = m.find("ts");
      if (ts != nullptr && ts->is_string()) value_time = ts->as_string();
      auto appended = events_from_mcp_transcript(by_value, std::move(m), value_time);
      if (!appended) {
        from_value = appended.error().display();
        break;
      }
    }
    EXPECT_EQ(from_text ? "ok" : from_text.error().display(), from_value) << line;
    refused += from_text ? 0 : 1;
  }
  EXPECT_EQ(refused, 1u);
  ASSERT_EQ(by_text.entries().size(), 16u);
  ASSERT_EQ(by_value.entries().size(), by_text.entries().size());
  for (std::size_t i = 0; i < by_text.entries().size(); ++i) {
    EXPECT_EQ(by_text.entries()[i].event, by_value.entries()[i].event) << i;
    EXPECT_EQ(by_text.entries()[i].head, by_value.entries()[i].head) << i;
  }
  EXPECT_EQ(by_text.pending.size(), by_value.pending.size());
  EXPECT_EQ(text_time, value_time);
  // The same events, by known answers.
  const auto& e = by_text.entries();
  EXPECT_EQ(std::get<events::ToolRequested>(e[2].event.event),
            (events::ToolRequested{{"y", {}}, digest(R"({"k":[1.5,-0.0,100.0,0.1]})")}));
  EXPECT_EQ(std::get<events::ToolCompleted>(e[3].event.event).status, ToolStatus::Error);
  EXPECT_EQ(std::get<events::ToolCompleted>(e[3].event.event).result_hash, digest(R"({"isError":false})"));
  EXPECT_EQ(std::get<events::ModelInvocation>(e[4].event.event),
            (events::ModelInvocation{{"m\n", {}}, digest(R"({"a":{"c":3,"d":2},"b":1})"), digest(R"({"model":"m\n"})")}));
  EXPECT_EQ(e[4].event.timestamp, "T2");
  EXPECT_EQ(e[6].event.parent, "ev-5");  // the batch's call and its answer
  EXPECT_EQ(e[6].event.timestamp, "T3");
  EXPECT_EQ(std::get<events::ToolCompleted>(e[6].event.event).result_hash, digest("null"));
  EXPECT_EQ(e[10].event.parent, "ev-9");  // -0 is the id "-0.0"
  EXPECT_EQ(std::get<events::ToolCompleted>(e[12].event.event).result_hash, digest(R"({"code":1,"message":"no"})"));
  EXPECT_EQ(std::get<events::ModelInvocation>(e[13].event.event),
            (events::ModelInvocation{{"m2", {}}, digest("null"), digest(R"({"model":"m2"})")}));
  // The second sampling request under the id 7 replaced the first.
  EXPECT_EQ(std::get<events::ModelInvocation>(e[15].event.event),
            (events::ModelInvocation{{"unknown", {}}, digest("null"), digest("{}")}));
}

TEST(TranscriptLine, RefusesAsTheValueReaderDoes) {
  const std::vector<std::string> bad = {R"({"id":1,})", "[1,2", R"({"a" 1})", R"({"a":"\x"})", "{} x", R"({"a":01})",
                                        R"(["\ud800"])", "[\"\xff\"]", "{\"a\":\"\x01\"}", R"({"a":tru})", R"({1:2})",
                                        std::string(130, '[') + std::string(130, ']'), R"({"id":1e999})", ""};
  TranscriptLine reader;
  std::size_t compared = 0;
  for (const std::string& line : bad) {
    const auto read = reader.read(line);
    ASSERT_FALSE(read) << line;
    EXPECT_EQ(read.error(), qv::json::read_json(line).error()) << line;
    EXPECT_EQ(reader.messages(), 0u);
    ++compared;
  }
  EXPECT_EQ(compared, 14u);
}

}  // namespace
