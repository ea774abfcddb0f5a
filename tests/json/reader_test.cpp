// Reading JSON text: error texts and positions, numbers, strings, depth.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <string>

#include "json/parser.hpp"
#include "json/reader.hpp"
#include "json/writer.hpp"
#include "vectors.hpp"

namespace qv::json {
namespace {

std::string read_error(std::string_view text) {
  auto v = read_json(text);
  if (v) return "read as " + write_json_compact(*v);
  return v.error().display();
}

std::string reads_as(std::string_view text) {
  auto v = read_json(text);
  if (!v) return "error: " + v.error().display();
  return write_json_compact(*v);
}

TEST(ReaderSyntaxErrors, TextsAndPositions) {
  EXPECT_EQ(read_error("  \n "), "EOF while parsing a value at line 2 column 1");
  EXPECT_EQ(read_error("{\"a\":1,"), "EOF while parsing a value at line 1 column 7");
  EXPECT_EQ(read_error("{\"a\":1 \"b\""), "expected `,` or `}` at line 1 column 8");
  EXPECT_EQ(read_error("[1] x"), "trailing characters at line 1 column 5");
  EXPECT_EQ(read_error("[1,\n"), "EOF while parsing a value at line 2 column 0");
  EXPECT_EQ(read_error("trux"), "expected ident at line 1 column 4");
  // A no-break space is not white space.
  EXPECT_EQ(read_error("{}\xC2\xA0"), "trailing characters at line 1 column 3");
}

TEST(ReaderSyntaxErrors, Numbers) {
  EXPECT_EQ(read_error("1.\n"), "invalid number at line 2 column 0");
  EXPECT_EQ(read_error("1.x"), "invalid number at line 1 column 3");
  EXPECT_EQ(read_error("-x"), "invalid number at line 1 column 2");
  EXPECT_EQ(read_error("1ex"), "invalid number at line 1 column 3");
  EXPECT_EQ(read_error("1e+x"), "invalid number at line 1 column 4");
  EXPECT_EQ(read_error("[-1e400]"), "number out of range at line 1 column 7");
}

TEST(ReaderSyntaxErrors, Strings) {
  const std::string control = "control character (\\u0000-\\u001F) found while parsing a string";
  EXPECT_EQ(read_error("\"a\x01\""), control + " at line 1 column 3");
  EXPECT_EQ(read_error("\"a\nb\""), control + " at line 2 column 0");
  EXPECT_EQ(read_error("\"\\u12G4\""), "invalid escape at line 1 column 7");
  EXPECT_EQ(read_error("\"\\uDC00\""), "lone leading surrogate in hex escape at line 1 column 7");
  EXPECT_EQ(read_error("\"\\uD800\\u0041\""), "lone leading surrogate in hex escape at line 1 column 13");
  EXPECT_EQ(read_error("\"\\uD800\""), "unexpected end of hex escape at line 1 column 8");
  EXPECT_EQ(read_error("\"\\uD800\\n\""), "unexpected end of hex escape at line 1 column 9");
  EXPECT_EQ(read_error("\"\\uD800"), "EOF while parsing a string at line 1 column 7");
  // Invalid UTF-8 is refused when the string closes.
  EXPECT_EQ(read_error("\"a\x80\""), "invalid unicode code point at line 1 column 4");
  EXPECT_EQ(read_error("\"\xE2\x82"), "EOF while parsing a string at line 1 column 3");
}

TEST(ReaderNumbers, IntegerAndFloatRepresentations) {
  auto kind = [](std::string_view t) { return read_json(t)->kind(); };
  EXPECT_EQ(kind("18446744073709551615"), Value::Kind::U64);
  EXPECT_EQ(kind("-9223372036854775808"), Value::Kind::I64);
  EXPECT_EQ(kind("-9223372036854775809"), Value::Kind::F64);
  EXPECT_EQ(kind("1.0"), Value::Kind::F64);
  EXPECT_EQ(reads_as("1e2"), "100.0");
  EXPECT_EQ(reads_as("0e999999999999"), "0.0");
  EXPECT_EQ(reads_as("2e-324"), "0.0");
  EXPECT_EQ(reads_as("3e-324"), "5e-324");
}

TEST(ReaderNumbers, FloatsAreCorrectlyRounded) {
  // Hundreds of digits still round correctly.
  EXPECT_EQ(reads_as("0." + std::string(400, '0') + "1e401"), "1.0");
  EXPECT_EQ(reads_as("1" + std::string(400, '0') + "e-400"), "1.0");
}

TEST(ReaderStrings, EscapesAndRawBytes) {
  auto s = read_json(R"("\"\\\/\b\f\n\r\t\u0041\u00e9\uD83D\uDE00\u0000")");
  ASSERT_TRUE(s.has_value());
  EXPECT_EQ(s->as_string(), std::string("\"\\/\b\f\n\r\tA\xC3\xA9\xF0\x9F\x98\x80\0", 16));
  EXPECT_EQ(read_json("\"\x7F/\xE2\x80\xA8\"")->as_string(), "\x7F/\xE2\x80\xA8");
}

// Strings are scanned sixteen bytes at a time: a byte that needs care is
// found, and a non-ASCII byte checked, wherever it stands in a block.
TEST(ReaderStrings, SpecialBytesAtEveryOffset) {
  for (std::size_t k = 0; k < 40; ++k) {
    const std::string pad(k, 'a');
    SCOPED_TRACE(k);
    EXPECT_EQ(reads_as("\"" + pad + "\\n" + pad + "\""), "\"" + pad + "\\n" + pad + "\"");
    EXPECT_EQ(reads_as("\"" + pad + "\xC3\xA9" + pad + "\""), "\"" + pad + "\xC3\xA9" + pad + "\"");
    EXPECT_EQ(read_error("\"" + pad + "\x01" + pad + "\""),
              "control character (\\u0000-\\u001F) found while parsing a string at line 1 column " +
                  std::to_string(k + 2));
    // An ill-formed byte is reported after the closing quote, before or
    // after an escape.
    const std::string bad = "\"" + pad + "\xFF" + pad + "\"";
    EXPECT_EQ(read_error(bad), "invalid unicode code point at line 1 column " + std::to_string(bad.size()));
    const std::string bad_after_escape = "\"\\t" + pad + "\xC3" + pad + "\"";
    EXPECT_EQ(read_error(bad_after_escape),
              "invalid unicode code point at line 1 column " + std::to_string(bad_after_escape.size()));
    EXPECT_EQ(read_error("\"" + pad), "EOF while parsing a string at line 1 column " + std::to_string(k + 1));
    std::string written;
    write_json_string(pad + '"' + pad + '\x1F', written);
    EXPECT_EQ(written, "\"" + pad + "\\\"" + pad + "\\u001f\"");
  }
}

TEST(ReaderObjects, RepeatedKeyKeepsFirstPositionAndLastValue) {
  EXPECT_EQ(reads_as(R"({"a":1,"b":2,"a":3})"), R"({"a":3,"b":2})");
  // Also past the size where lookups are hashed.
  std::string big = "{";
  for (int i = 0; i < 100; ++i) big += "\"k" + std::to_string(i) + "\":" + std::to_string(i) + ",";
  big += "\"k7\":\"x\"}";
  auto v = read_json(big);
  ASSERT_TRUE(v.has_value());
  EXPECT_EQ(v->as_object().size(), 100u);
  EXPECT_EQ(v->as_object().at(7).value, Value("x"));
  EXPECT_EQ(*v->find("k99"), Value(99));
}

TEST(ReaderDepth, LimitIs127NestedContainers) {
  EXPECT_TRUE(read_json(std::string(127, '[') + std::string(127, ']')).has_value());
  EXPECT_EQ(read_error(std::string(128, '[') + std::string(128, ']')),
            "recursion limit exceeded at line 1 column 128");
  std::string objects;
  for (int i = 0; i < 128; ++i) objects += "{\"a\":";
  EXPECT_EQ(read_error(objects), "recursion limit exceeded at line 1 column 636");
  // Depth, not the number of containers, is limited.
  std::string wide = "[";
  for (int i = 0; i < 1000; ++i) wide += "[[]],";
  wide += "[]]";
  EXPECT_TRUE(read_json(wide).has_value());
}

TEST(ReaderDepth, HostileNestingFailsCleanly) {
  const std::string deep(1'000'000, '[');
  EXPECT_EQ(read_error(deep), "recursion limit exceeded at line 1 column 128");
  Parser p(deep);
  auto r = p.ignore_value();
  ASSERT_FALSE(r.has_value());
  EXPECT_EQ(r.error().display(), "recursion limit exceeded at line 1 column 128");
}

TEST(ParserSkipping, ChecksSyntaxOnly) {
  auto skip = [](std::string_view text) -> std::string {
    Parser p(text);
    auto r = p.ignore_value();
    if (!r) return r.error().display();
    if (auto e = p.end(); !e) return e.error().display();
    return "ok";
  };
  EXPECT_EQ(skip(R"({"a":[1e999,"\uDC00",null,{"b":-0.5e-3}],"c":true})"), "ok");
  EXPECT_EQ(skip("[1,]"), "expected value at line 1 column 4");
  EXPECT_EQ(skip(R"({"a":1,})"), "key must be a string at line 1 column 8");
  EXPECT_EQ(skip("[1."), "invalid number at line 1 column 3");
  EXPECT_EQ(skip("-"), "invalid number at line 1 column 1");
  EXPECT_EQ(skip("[\"\\q\"]"), "invalid escape at line 1 column 4");
  EXPECT_EQ(skip("[nulx]"), "expected ident at line 1 column 5");
  EXPECT_EQ(skip("[1 2]"), "expected `,` or `]` at line 1 column 4");
  EXPECT_EQ(skip("{\"a\" 1}"), "expected `:` at line 1 column 6");
  EXPECT_EQ(skip("[[[]]"), "EOF while parsing a list at line 1 column 5");
}

TEST(JsonErrorDisplay, PositionOrBareMessage) {
  EXPECT_EQ((JsonError{"x", 2, 0}).display(), "x at line 2 column 0");
  EXPECT_EQ((JsonError{"missing field `r`", 0, 0}).display(), "missing field `r`");
  const auto e = json_error_to_engine_error(JsonError{"expected value", 1, 1});
  EXPECT_EQ(e.kind(), core::EngineError::Kind::Serialisation);
  EXPECT_EQ(e.display(), "serialisation error: expected value at line 1 column 1");
}

}  // namespace
}  // namespace qv::json
