// Reading as writer events: the canonical and compact texts written from
// the events equal those of the value read from the same text, and a text
// that cannot be read fails with the value reader's own error.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

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

TEST(StreamJson, DecimalLiteralsWrittenAsTheyStandAreTheirShortestForm) {
  // Literals on both sides of every bound of the literal-as-written path:
  // digits (15 and 16), places after the point (five zeros and six), a
  // final 0, an exponent, signs, and floats whose nearest neighbours print
  // shorter; compared with the value reader's canonical text.
  std::vector<std::string> literals = {
      "0.1", "-0.5", "0.00001", "0.000001", "0.10", "1.0", "-0.0", "0.0", "1.5e3", "1.5E-3", "12.345", "100.25",
      "123456789012345.5", "12345678901234.5", "1.23456789012345", "1.234567890123456", "0.123456789012345",
      "0.1234567890123456", "0.00001234567890123", "0.000012345678901234", "9007199254740993.5", "0.3", "2.675",
      "0.30000000000000004", "999999999999999.9", "99999999999999.9", "-0.00001", "5.0000000000001", "00.5",
      "-.5", "1.", "0.e1"};
  std::uint64_t state = 7;
  for (int i = 0; i < 2000; ++i) {
    state = state * 6364136223846793005u + 1442695040888963407u;
    const int places = static_cast<int>(state >> 60) + 1;
    std::string lit = (state & 1) ? "-" : "";
    lit += std::to_string((state >> 8) % (i % 3 == 0 ? 10 : 100000000)) + ".";
    for (int k = 0; k < places; ++k) lit += static_cast<char>('0' + ((state >> (2 * k + 20)) % 10));
    literals.push_back(lit);
  }
  std::size_t ok = 0;
  for (const std::string& lit : literals) {
    const std::string text = "[" + lit + ",{\"b\":" + lit + ",\"a\":" + lit + "}]";
    const std::string got = streamed(text);
    EXPECT_EQ(got, from_value(text, false)) << lit;
    ok += got.starts_with("ok:");
  }
  EXPECT_EQ(ok, literals.size() - 4);  // the last four fixed ones are no numbers
}

}  // namespace
}  // namespace qv::json
