// Reading as writer events: the canonical and compact texts written from
// the events equal those of the value read from the same text, and a text
// that cannot be read fails with the value reader's own error.
#include <gtest/gtest.h>

#include <string>

#include "json/canonical.hpp"
#include "json/reader.hpp"
#include "json/stream.hpp"
#include "json/writer.hpp"
#include "vectors.hpp"

namespace qv::json {
namespace {

// "ok:<canonical>|<compact>" or "error:<display>", from the events.
std::string streamed(std::string_view text) {
  CanonicalOut canonical;
  auto r = stream_json(text, canonical);
  if (!r) return "error:" + r.error().display();
  std::string compact;
  TextOut out(compact);
  EXPECT_TRUE(stream_json(text, out).has_value());
  return "ok:" + std::string(canonical.text()) + "|" + (canonical.saw_duplicate_key() ? "dup" : compact);
}

// The same from a value: "dup" when the text has a key twice in an object
// (its compact text is then not the text of the events).
std::string from_value(std::string_view text, bool duplicate) {
  auto v = read_json(text);
  if (!v) return "error:" + v.error().display();
  return "ok:" + canonical_text(*v).value() + "|" + (duplicate ? "dup" : write_json_compact(*v));
}

TEST(StreamJson, AgreesWithTheValueReaderOnEveryReferenceCase) {
  const auto cases = qv::testing::read_vectors("json_value.jsonl");
  qv::testing::Tally tally;
  for (const Value& c : cases) {
    const std::string input = testing::case_input(c);
    const std::string got = streamed(input);
    EXPECT_EQ(got, from_value(input, got.ends_with("|dup"))) << input;
    ++tally.compared;
  }
  tally.expect(cases.size());
  EXPECT_GT(cases.size(), 100u);
}

TEST(StreamJson, KeysTwiceAndEscapedKeys) {
  // The last value of a key wins; keys compare decoded; escaped keys live
  // until their object closes, however many come.
  for (const char* text : {R"({"b":1,"a":2,"b":3})", R"({"a":{"y":1,"x":2},"a":[1]})", R"({"\u0061":1,"a":2,"\u0062":3})",
                           R"([{"k":1,"k":2},{"k":3}])", R"({"z":{"\u007a":1,"z":{"\u0079":2,"x":3}},"\u0079":[]})"}) {
    EXPECT_EQ(streamed(text), from_value(text, true)) << text;
  }
  std::string many = "{";
  for (int i = 0; i < 300; ++i) many += (i ? ",\"\\u00" : "\"\\u00") + std::string(i % 2 ? "6" : "7") + "1" + std::to_string(i) + "\":" + std::to_string(i);
  many += "}";
  EXPECT_EQ(streamed(many), from_value(many, false));
  // Depth: the value reader's limit and error.
  const std::string deep = std::string(128, '[') + std::string(128, ']');
  EXPECT_EQ(streamed(deep), from_value(deep, false));
  EXPECT_EQ(streamed(deep.substr(1, 254)), from_value(deep.substr(1, 254), false));
}

}  // namespace
}  // namespace qv::json
