// MCP messages to events: tool calls and their responses, sampling, and
// the pairing of requests and responses by id.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "common/layouts.hpp"
#include "crypto/sha256.hpp"
#include "json/reader.hpp"
#include "run/driver.hpp"
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

// Lines the driver reads from their text, as the value reader would read
// them: members found by name (the last of a repeated name, escaped names
// decoded), ids, batches and stamps. Line 20 is refused.
const std::vector<std::string> kLines = {
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
    R"({"id":9,"method":"tools/call","params":{"name":"h","arguments":{"r":2.5}},"ts":"T4"})",
    R"({"id":9,"result":[{"rows":[0.25]},-1.5E-7]})",
    R"("text")",
    "null",
    "[]",
};
constexpr std::size_t kRefusedLine = 19;

// A transcript read both ways: by the line reader, and by each line's value
// read whole. Each line gives the same refusal both ways, or none.
struct BothPaths {
  EventLog by_text;
  EventLog by_value;
  TranscriptLine reader;
  std::string text_time = "T0";
  std::string value_time = "T0";
  std::size_t refused = 0;

  void feed(const std::string& line) {
    ASSERT_TRUE(reader.read(line)) << line;
    const auto from_text = reader.append_events(by_text, text_time);
    qv::json::Value value = qv::json::read_json(line).value();
    std::size_t objects = value.is_object() ? 1 : 0;
    if (value.is_array()) {
      for (const qv::json::Value& m : value.as_array()) objects += m.is_object() ? 1 : 0;
    }
    EXPECT_EQ(reader.messages(), objects) << line;
    const auto from_value = append_events_from_value(by_value, std::move(value), value_time);
    EXPECT_EQ(from_text ? "ok" : from_text.error().display(), from_value ? "ok" : from_value.error().display()) << line;
    refused += from_text ? 0 : 1;
  }
  // The events, the same both ways, with their hashes.
  std::vector<RunEvent> events() const {
    std::vector<RunEvent> out;
    EXPECT_EQ(heads(by_text), heads(by_value));
    EXPECT_EQ(by_text.entries().size(), by_value.entries().size());
    for (std::size_t i = 0; i < by_text.entries().size() && i < by_value.entries().size(); ++i) {
      EXPECT_EQ(by_text.entries()[i].event, by_value.entries()[i].event) << i;
      out.push_back(by_text.entries()[i].event);
    }
    EXPECT_EQ(by_text.pending.size(), by_value.pending.size());
    EXPECT_EQ(text_time, value_time);
    return out;
  }
  // The hash chain of the events: it changes with any of them.
  static std::vector<std::string> heads(const EventLog& log) {
    std::vector<std::string> out;
    for (const LogEntry& entry : log.entries()) out.push_back(entry.head);
    return out;
  }
};

TEST(TranscriptLine, ReadsAsTheValueOfTheLine) {
  BothPaths both;
  for (const std::string& line : kLines) both.feed(line);
  EXPECT_EQ(both.refused, 1u);
  const auto e = both.events();
  ASSERT_EQ(e.size(), 18u);
  // The same events, by known answers.
  const auto event = [&](std::size_t i) -> const RunEventKind& { return e[i].event; };
  EXPECT_EQ(std::get<events::ToolRequested>(event(2)),
            (events::ToolRequested{{"y", {}}, digest(R"({"k":[1.5,-0.0,100.0,0.1]})")}));
  EXPECT_EQ(std::get<events::ToolCompleted>(event(3)).status, ToolStatus::Error);
  EXPECT_EQ(std::get<events::ToolCompleted>(event(3)).result_hash, digest(R"({"isError":false})"));
  EXPECT_EQ(std::get<events::ModelInvocation>(event(4)),
            (events::ModelInvocation{{"m\n", {}}, digest(R"({"a":{"c":3,"d":2},"b":1})"), digest(R"({"model":"m\n"})")}));
  EXPECT_EQ(e[4].timestamp, "T2");
  EXPECT_EQ(e[6].parent, "ev-5");  // the batch's call and its answer
  EXPECT_EQ(e[6].timestamp, "T3");
  EXPECT_EQ(std::get<events::ToolCompleted>(event(6)).result_hash, digest("null"));
  EXPECT_EQ(e[10].parent, "ev-9");  // -0 is the id "-0.0"
  EXPECT_EQ(std::get<events::ToolCompleted>(event(12)).result_hash, digest(R"({"code":1,"message":"no"})"));
  EXPECT_EQ(std::get<events::ModelInvocation>(event(13)),
            (events::ModelInvocation{{"m2", {}}, digest("null"), digest(R"({"model":"m2"})")}));
  // The second sampling request under the id 7 replaced the first.
  EXPECT_EQ(std::get<events::ModelInvocation>(event(15)),
            (events::ModelInvocation{{"unknown", {}}, digest("null"), digest("{}")}));
  // A result that is an array is hashed as the array it is, closed where it closes.
  EXPECT_EQ(std::get<events::ToolCompleted>(event(17)).result_hash, digest(R"([{"rows":[0.25]},-1.5e-7])"));
  EXPECT_EQ(std::get<events::ToolCompleted>(event(17)).status, ToolStatus::Ok);
}

// Layout changes nothing: each line of the table laid out otherwise (white
// space between tokens, letters escaped, floats in other notations, members
// in another order) gives, both ways, the events and hashes of the compact
// transcript; and through the driver (the refused line left out) the same
// gate, breaches and run hash.
TEST(TranscriptLine, LayoutChangesNoEventNorRun) {
  std::vector<std::string> compact;
  for (const std::string& line : kLines) compact.push_back(qv::testing::without_space(line));
  const auto read = [](const std::vector<std::string>& lines) {
    BothPaths both;
    for (const std::string& line : lines) both.feed(line);
    both.events();
    return std::make_pair(BothPaths::heads(both.by_text), both.refused);
  };
  const auto run = [](const std::vector<std::string>& lines) {
    std::string trace;
    for (std::size_t i = 0; i < lines.size(); ++i) trace += i == kRefusedLine ? "\n" : lines[i] + "\n";
    auto record = verify_run(RunVerifyRequest{
        std::move(trace), R"({"id":"p","default":"ALLOW","rules":[{"id":"r","match":"tool","name":"y","effect":"DENY"}]})",
        "run-1", "sys", {}, "2026-01-01T00:00:00Z", qv::crypto::SecretText(std::string(64, '1')), {}});
    return record ? record->content : RunRecordContent{};
  };
  const auto compact_events = read(compact);
  const RunRecordContent compact_run = run(compact);
  ASSERT_EQ(compact_events.first.size(), 18u);
  ASSERT_EQ(compact_run.gate, Effect::Deny);
  std::size_t variants = 0;
  for (std::size_t k = 0; k < kLines.size(); ++k) {
    // An id that is an object is its compact text: the order of its members counts.
    for (const qv::testing::Layout& layout : qv::testing::layouts(kLines[k], {.line_feeds = false, .whole_floats = false, .kept_order = {"id"}})) {
      std::vector<std::string> lines = compact;
      lines[k] = layout.text;
      EXPECT_EQ(read(lines), compact_events) << layout.what << ": " << layout.text;
      EXPECT_TRUE(run(lines) == compact_run) << layout.what << ": " << layout.text;
      ++variants;
    }
  }
  EXPECT_EQ(variants, 1914u);
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
