// Reading as writer events: the canonical and compact texts written from
// the events equal those of the value read from the same text, and a text
// that cannot be read fails with the value reader's own error.
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common/layouts.hpp"
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

// Test numbers, the same from one seed (a 64-bit linear congruential step).
struct Lcg {
  std::uint64_t state;
  std::uint64_t next() { return state = state * 6364136223846793005u + 1442695040888963407u; }
};

// Each literal streamed in the text `text_of` makes of it, against the value
// reader; returns how many read as numbers.
template <class TextOf>
std::size_t agree_on_literals(const std::vector<std::string>& literals, TextOf text_of) {
  std::size_t numbers = 0;
  for (const std::string& lit : literals) {
    const std::string text = text_of(lit);
    const std::string got = streamed(text);
    EXPECT_EQ(got, from_value(text, false)) << lit;
    numbers += got.starts_with("ok:");
  }
  return numbers;
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
      "0.30000000000000004", "999999999999999.9", "99999999999999.9", "-0.00001", "5.0000000000001",
      // Forms written from their digits: trailing zeros, exponents in either
      // case and sign (leading zeros too), whole numbers, zeros, and both
      // ends of the exponent range the digits path takes.
      "1.50", "0.1000", "2.0", "3500.00", "-12.000", "1e3", "1E-5", "4e+2", "2.5E+10", "7.25e-3", "1e0005",
      "1.5e00", "120e-1", "0.0e5", "-0.00e-3", "0e0", "1e15", "1e16", "12345e11", "1e-6", "0.0000123e1",
      "1e300", "1e-300", "9.99999999999999e300", "1e301", "1e-301", "123456789012345e-314", "0.00000e400",
      std::string(300, '1') + ".5", std::string(450, '2') + "e-400", "0." + std::string(398, '0') + "1",
      "1" + std::string(30, '0') + ".0e-20",
      "1.0000000000000000000001", "123456789012345.000000000000000000",
      "00.5", "-.5", "1.", "0.e1"};
  Lcg rng{7};
  for (int i = 0; i < 2000; ++i) {
    const std::uint64_t state = rng.next();
    const int places = static_cast<int>(state >> 60) + 1;
    std::string lit = (state & 1) ? "-" : "";
    lit += std::to_string((state >> 8) % (i % 3 == 0 ? 10 : 100000000)) + ".";
    for (int k = 0; k < places; ++k) lit += static_cast<char>('0' + ((state >> (2 * k + 20)) % 10));
    literals.push_back(lit);
  }
  const std::size_t numbers = agree_on_literals(
      literals, [](const std::string& lit) { return "[" + lit + ",{\"b\":" + lit + ",\"a\":" + lit + "}]"; });
  EXPECT_EQ(numbers, literals.size() - 4);  // the last four fixed ones are no numbers
}

TEST(StreamJson, LongFloatLiteralsWrittenInTheirShortestForm) {
  // Literals of 16 and 17 significant digits, as other writers give them:
  // the shortest form of random doubles, 17 and 16 digits of them, and
  // random digit strings; with powers of two (a narrower gap below) and
  // halfway cases. The value reader (read in full, written in full) is the
  // oracle.
  std::vector<std::string> literals = {"4503599627370496.0", "9007199254740993", "9007199254740993.0",
                                       "9007199254740995.0", "0.10000000000000001", "0.29999999999999999",
                                       "2.2250738585072014e-308", "1.7976931348623157e308", "-9.8765432109876543e-12",
                                       "1.2345678901234567e27", "1.2345678901234567e28", "99999999999999999.0",
                                       "0.99999999999999999", "0.099999999999999999"};
  Lcg rng{11};
  const auto next = [&] { return rng.next(); };
  for (int i = 0; i < 30000; ++i) {
    const double magnitude =
        std::ldexp(static_cast<double>(next() >> 11), -53) * std::pow(10.0, static_cast<int>(next() % 40) - 15);
    const double d = (i % 2 ? -1 : 1) * (i % 5 == 0 ? std::ldexp(1.0, static_cast<int>(next() % 120) - 60) : magnitude);
    char buf[64];
    if (i % 3 == 0) {
      literals.emplace_back(buf, std::to_chars(buf, buf + sizeof buf, d).ptr);
    } else {
      const int n = std::snprintf(buf, sizeof buf, i % 3 == 1 ? "%.17g" : "%.16g", d);
      literals.emplace_back(buf, static_cast<std::size_t>(n));
    }
    std::string digits = "0.";
    for (int k = 0; k < 16 + i % 2; ++k) digits += static_cast<char>('0' + next() % 10);
    literals.push_back(digits + "e" + std::to_string(static_cast<int>(next() % 30) - 12));
  }
  ASSERT_EQ(literals.size(), 60014u);
  EXPECT_EQ(agree_on_literals(literals, [](const std::string& lit) { return "[" + lit + "]"; }), literals.size());
}

TEST(StreamJson, LongFloatLiteralsAtEveryScaleWrittenAsTheFullPathWritesThem) {
  // Literals of 16 and 17 significant digits whose last digit stands at
  // every power of ten from 10^-30 to 10^30 (the digits are converted in
  // integers from 10^-27 to 10^27), in positional and exponent form; doubles
  // beside powers of two (a narrower gap below) in 16 and 17 digits; and
  // integers halfway between two doubles, which read as the even one. The
  // value reader (read in full, written in full) is the oracle.
  std::vector<std::string> literals;
  Lcg rng{5};
  const auto next = [&] { return rng.next() >> 11; };
  for (int scale = -30; scale <= 30; ++scale) {
    for (int i = 0; i < 200; ++i) {
      const int n = 16 + i % 2;
      std::string digits = std::to_string(1 + next() % 9);
      while (static_cast<int>(digits.size()) < n) digits += static_cast<char>('0' + next() % 10);
      if (i % 7 == 0) digits.back() = static_cast<char>('1' + next() % 9);  // no trailing 0 cut off
      const int lead = scale + n - 1;  // the decimal exponent of the first digit
      if (i % 3 == 0 || lead < -5 || lead > 20) {
        literals.push_back(digits.substr(0, 1) + "." + digits.substr(1) + (i % 2 ? "E" : "e") + std::to_string(lead));
      } else if (lead < 0) {
        literals.push_back("0." + std::string(static_cast<std::size_t>(-lead - 1), '0') + digits);
      } else if (lead + 1 < n) {
        literals.push_back(digits.substr(0, static_cast<std::size_t>(lead + 1)) + "." +
                           digits.substr(static_cast<std::size_t>(lead + 1)));
      } else {
        literals.push_back(digits + std::string(static_cast<std::size_t>(lead + 1 - n), '0') + ".0");
      }
    }
  }
  for (int k = -100; k <= 140; ++k) {
    const double power = std::ldexp(1.0, k);
    for (const double d : {power, std::nextafter(power, 0.0), std::nextafter(power, 1e300)}) {
      for (const char* format : {"%.17g", "%.16g", "%.17e"}) {
        char buf[64];
        literals.emplace_back(buf, static_cast<std::size_t>(std::snprintf(buf, sizeof buf, format, d)));
      }
    }
  }
  for (int k = 54; k <= 56; ++k) {
    // From 2^k on, doubles lie 2^(k-52) apart: the halfway points above and
    // below a double with an even mantissa and one with an odd one.
    for (const std::uint64_t m : {std::uint64_t{1} << 52, (std::uint64_t{1} << 52) + 1, (std::uint64_t{1} << 52) + 12345}) {
      const std::uint64_t at = m << (k - 52);
      const std::uint64_t half = std::uint64_t{1} << (k - 53);
      for (const std::uint64_t v : {at + half, at - half / (m == std::uint64_t{1} << 52 ? 2 : 1)}) {
        literals.push_back(std::to_string(v) + ".0");
        literals.push_back(std::to_string(v) + "e0");
      }
    }
  }
  for (int i = 0; i < 2000; ++i) {
    // Literals at and beside the point halfway between two doubles (held
    // exactly in a long double): some lie above it by less than the
    // quotient's last bit, which only the remainder tells.
    const double x = std::ldexp(static_cast<double>(next() | 1), -53) * std::pow(10.0, static_cast<int>(next() % 36) - 11);
    const long double half = static_cast<long double>(x) + (static_cast<long double>(std::nextafter(x, 1e300)) - x) / 2;
    char buf[64];
    std::string lit(buf, static_cast<std::size_t>(std::snprintf(buf, sizeof buf, "%.16Le", half)));
    const std::size_t last = lit.find('e') - 1;
    literals.push_back(lit);
    if (lit[last] != '9') literals.push_back(lit.substr(0, last) + static_cast<char>(lit[last] + 1) + lit.substr(last + 1));
    if (lit[last] != '0') literals.push_back(lit.substr(0, last) + static_cast<char>(lit[last] - 1) + lit.substr(last + 1));
  }
  // 12200 at the scales, 2169 beside powers of two, 36 halfway integers,
  // 5597 at and beside halfway points (a neighbour is left out where the
  // last digit would carry); every one a number.
  ASSERT_EQ(literals.size(), 20002u);
  EXPECT_EQ(agree_on_literals(
                literals, [](const std::string& lit) { return "[" + lit + ",{\"b\":" + lit + ",\"a\":-" + lit + "}]"; }),
            literals.size());
}

TEST(StreamJson, StringsWithTheWritersOwnEscapesAndOthers) {
  // Strings taken as written (only the writers' escapes) and strings read
  // in full (other escapes, raw control bytes, bad UTF-8, cut short), as
  // values and as keys: the same text or error as through a value.
  const std::vector<std::string> bodies = {
      R"(a\"b)", R"(back\\slash)", R"(\b\f\n\r\t)", R"(\u0000\u001f\u000b)", R"(\u001F)", R"(\u0008)", R"(\/)",
      R"(\u00e9)", R"(\u0041)", R"(\ud83d\ude00)", R"(\ud83d)", R"(\udc00)", "caf\xC3\xA9\\n", "\\n\xFF",
      "\xE2\x82\xAC\\\"", "\x01", R"(\x)", R"(\u00)", R"(\u00zz)", R"(end\)",
      "long text with an escape after it \\n and more than sixteen bytes \xE2\x82\xAC"};
  std::size_t compared = 0;
  for (const std::string& body : bodies) {
    for (const std::string& text : {"[\"" + body + "\"]", "{\"" + body + "\":1,\"a\":\"" + body + "\"}"}) {
      EXPECT_EQ(streamed(text), from_value(text, false)) << text;
      ++compared;
    }
  }
  EXPECT_EQ(compared, 2 * bodies.size());
}

TEST(StreamJson, ObjectsOfRecurringShapesSortedAlike) {
  // Arrays of objects whose keys recur in the same or another order, more
  // shapes than are remembered, keys that differ only past their first 8
  // or 16 bytes, keys of 8, 16 and 17 bytes, a key twice, more than 16
  // members, and members of many lengths: each object sorted as a value
  // reader sorts it.
  const std::vector<std::vector<std::string>> shapes = {
      {"b", "a", "c"},
      {"abcdefghY", "abcdefghX", "abcdefgh"},
      {"abcdefghijklmnopB", "abcdefghijklmnopA", "abcdefghijklmnop"},
      {"k", "j", "k"},
      {"c", "a", "b"},
      {"x1", "x0"},
  };
  std::vector<std::string> wide;
  for (int i = 20; i > 0; --i) wide.push_back("w" + std::to_string(i % 7) + std::to_string(i));
  std::string text = "[";
  for (int round = 0; round < 3; ++round) {
    for (const auto& shape : shapes) {
      for (int repeat = 0; repeat < 2; ++repeat) {
        text += "{";
        for (std::size_t k = 0; k < shape.size(); ++k) {
          const int value = round * 100 + repeat * 10 + static_cast<int>(k);
          text += (k ? ",\"" : "\"") + shape[k] + "\":" + std::to_string(value);
        }
        text += "},";
      }
    }
    text += "{";
    for (std::size_t k = 0; k < wide.size(); ++k) {
      text += (k ? ",\"" : "\"") + wide[k] + "\":{\"b\":1,\"a\":" + std::to_string(k) + "}";
    }
    text += "},";
  }
  // Members of every length from 6 to 50 bytes, moved in blocks of 16.
  for (int size = 0; size <= 44; ++size) {
    text += R"({"b":")" + std::string(static_cast<std::size_t>(size), 'x') + R"(","a":")" +
            std::string(static_cast<std::size_t>(44 - size), 'y') + R"(","c":)" + std::to_string(size) + "},";
  }
  text += R"({"b":{"b":1,"a":2},"a":{"a":0,"b":{"b":1,"a":2}}}])";
  EXPECT_EQ(streamed(text), from_value(text, true));
  // The value's canonical text is written by the same writer; a value
  // sorted in place and written compact is not.
  CanonicalOut canonical;
  ASSERT_TRUE(stream_json(text, canonical));
  EXPECT_EQ(canonical.text(), write_json_compact(canonicalize_json(read_json(text).value()).value()));
}

// A sink that notes each event with where the parser stands then.
struct Positions {
  const Parser& p;
  std::string log;
  void note(char event) { log += event + std::to_string(p.index()) + " "; }
  void begin_object() { note('{'); }
  void begin_array() { note('['); }
  void end_object() { note('}'); }
  void end_array() { note(']'); }
  void key(std::string_view k) { log += std::string(k) + "@" + std::to_string(p.index()) + " "; }
  void string(std::string_view) { note('s'); }
  void unsigned_integer(std::uint64_t) { note('u'); }
  void signed_integer(std::int64_t) { note('i'); }
  void floating(double) { note('f'); }
  void boolean(bool) { note('b'); }
  void null() { note('n'); }
};

TEST(StreamValue, EachEventComesWithTheParserJustPastItsText) {
  // Sinks may place events in the text by the parser: past the bracket, the
  // key's closing quote (before the colon), or the scalar's last byte, on
  // every path (plain and escaped strings and keys, words, integers and
  // floats, white space around).
  const std::vector<std::pair<std::string, std::string>> cases = {
      {R"({"a": [1, "x", -2, null], "b" : true})", "{1 a@4 [7 u8 s13 i17 n23 ]24 b@29 b36 }37 "},
      {R"( {"\u0063":1.5e0,"s":"a\nb"} )", "{2 c@10 f16 s@20 s27 }28 "},
  };
  std::size_t compared = 0;
  for (const auto& [text, expected] : cases) {
    Parser p(text);
    Positions sink{p, {}};
    ASSERT_TRUE(stream_value(p, sink)) << text;
    EXPECT_EQ(sink.log, expected) << text;
    ++compared;
  }
  EXPECT_EQ(compared, 2u);
}

// The pieces a canonical writer hands on as its text becomes final.
struct Pieces {
  std::string text;
  std::size_t count = 0;
  std::size_t largest = 0;
  static void take(void* self, std::string_view piece) {
    auto& p = *static_cast<Pieces*>(self);
    p.text += piece;
    ++p.count;
    p.largest = std::max(p.largest, piece.size());
  }
};

TEST(CanonicalOutDrain, HandsOnWhatIsFinalInPiecesOfBoundedSize) {
  // Under arrays only, the text goes on in pieces of about 64 KB (plus one
  // element); inside an object it all waits for the end. Either way the
  // pieces join to the text written without a drain.
  std::string elements;
  for (int i = 0; i < 20000; ++i) {
    elements += (i ? R"(,{"v":)" : R"({"v":)") + std::to_string(i) + R"(,"k":[1.50,"x"]})";
  }
  for (const std::string& text : {"[[" + elements + "],[1,2]]", R"({"z":[)" + elements + R"(],"a":1})"}) {
    CanonicalOut whole;
    ASSERT_TRUE(stream_json(text, whole));
    CanonicalOut drained;
    Pieces pieces;
    drained.drain_to(&Pieces::take, &pieces);
    ASSERT_TRUE(stream_json(text, drained));
    drained.finish();
    EXPECT_EQ(pieces.text, whole.text());
    EXPECT_TRUE(drained.text().empty());
    if (text.front() == '[') {
      EXPECT_GT(pieces.count, 5u);
      EXPECT_LT(pieces.largest, 64u * 1024 + 100);
    } else {
      EXPECT_EQ(pieces.count, 1u);
    }
  }
}

}  // namespace
}  // namespace qv::json

namespace qv::json {
namespace {

// Every layout of each reference value that reads (white space at every
// place, escaped letters, floats in other forms, members in another order)
// streams to the canonical text of the value, sorted apart from the writer
// and written compact, and to the compact text of the value itself.
TEST(StreamJson, EveryLayoutOfAReferenceValueGivesItsCanonicalText) {
  const auto cases = qv::testing::read_vectors("json_value.jsonl");
  qv::testing::Tally tally;
  std::size_t laid_out = 0;
  for (const Value& c : cases) {
    const auto value = read_json(testing::case_input(c));
    if (!value) {
      tally.set_aside("does not read");
      continue;
    }
    const std::string compact = write_json_compact(*value);
    const std::string canonical = write_json_compact(canonicalize_json(*value).value());
    for (const qv::testing::Layout& layout : qv::testing::layouts(compact)) {
      CanonicalOut out;
      ASSERT_TRUE(stream_json(layout.text, out).has_value()) << layout.what << ": " << layout.text;
      EXPECT_EQ(out.text(), canonical) << layout.what << ": " << layout.text;
      std::string text;
      TextOut compact_out(text);
      ASSERT_TRUE(stream_json(layout.text, compact_out).has_value());
      if (layout.kind != qv::testing::Layout::Kind::Order) {
        EXPECT_EQ(text, compact) << layout.what << ": " << layout.text;
      }
      ++laid_out;
    }
    ++tally.compared;
  }
  // The cases that do not read are errors: they have no value to lay out.
  tally.expect(4248, {{"does not read", 1041}});
  EXPECT_EQ(laid_out, 241062u);
}

}  // namespace
}  // namespace qv::json
