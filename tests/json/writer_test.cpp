// Compact writing and the canonical form.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "json/canonical.hpp"
#include "json/reader.hpp"
#include "json/writer.hpp"
#include "vectors.hpp"

namespace qv::json {
namespace {

Value parse(std::string_view t) {
  auto v = read_json(t);
  EXPECT_TRUE(v.has_value()) << t;
  return v ? *v : Value();
}

TEST(CanonicalForm, ObjectsSortedAtEveryDepthArraysKeepOrder) {
  auto c = canonical_text(parse(R"({"b":1,"a":[{"d":null,"c":true}]})"));
  ASSERT_TRUE(c.has_value());
  EXPECT_EQ(*c, R"({"a":[{"c":true,"d":null}],"b":1})");
  EXPECT_EQ(*canonical_text(parse(R"({"b":0,"a":0,"aa":0,"B":0})")), R"({"B":0,"a":0,"aa":0,"b":0})");
  // Byte order is code point order: "z" < "é" < "😀".
  EXPECT_EQ(*canonical_text(parse("{\"\xF0\x9F\x98\x80\":0,\"\xC3\xA9\":0,\"z\":0}")),
            "{\"z\":0,\"\xC3\xA9\":0,\"\xF0\x9F\x98\x80\":0}");
  EXPECT_EQ(*canonical_text(parse("[3,1,2]")), "[3,1,2]");
}

TEST(CanonicalForm, NonFiniteFloatFailsAnywhere) {
  Value v = Array{Object{}, Value(1)};
  Object inner;
  inner.insert_or_assign("x", Array{Array{Value(std::numeric_limits<double>::quiet_NaN())}});
  v.as_array()[0].as_object().insert_or_assign("deep", Value(std::move(inner)));
  auto r = canonicalize_json(v);
  ASSERT_FALSE(r.has_value());
  EXPECT_EQ(r.error().display(), "serialisation error: non-finite float in canonical JSON");
  EXPECT_FALSE(canonical_text(Value(-std::numeric_limits<double>::infinity())).has_value());
  // The plain writer still writes it, as null.
  EXPECT_EQ(write_json_compact(v), R"([{"deep":{"x":[[null]]}},1])");
}

TEST(CanonicalForm, IntegerAndFloatDiffer) {
  EXPECT_EQ(write_json_compact(Array{}), "[]");
  EXPECT_NE(*canonical_text(Value(5)), *canonical_text(Value(5.0)));
}

TEST(CompactWriter, StringEscapes) {
  EXPECT_EQ(write_json_compact(Value("\x01")), "\"\\u0001\"");
  EXPECT_EQ(write_json_compact(Value(std::string("\0\x0B\x1F\x7F", 4))), "\"\\u0000\\u000b\\u001f\x7F\"");
  EXPECT_EQ(write_json_compact(Value("\"\\\b\f\n\r\t")), R"("\"\\\b\f\n\r\t")");
  EXPECT_EQ(write_json_compact(Value("/\xC3\xA9\xE2\x80\xA8")), "\"/\xC3\xA9\xE2\x80\xA8\"");
  Object o;
  o.insert_or_assign("k\"\n", Value(nullptr));
  EXPECT_EQ(write_json_compact(o), R"({"k\"\n":null})");
}

TEST(CompactWriter, Integers) {
  EXPECT_EQ(write_json_compact(Value(0)), "0");
  EXPECT_EQ(write_json_compact(Value(std::numeric_limits<std::uint64_t>::max())), "18446744073709551615");
  EXPECT_EQ(write_json_compact(Value(std::numeric_limits<std::int64_t>::min())), "-9223372036854775808");
  EXPECT_TRUE(Value(7).is_u64());  // non-negative integers are unsigned
}

TEST(FloatNotation, ThresholdsBetweenPositionalAndExponentForms) {
  // The reference cases hold 20,000 more: 1e+16, -0.0, 5e-324, NaN as null.
  EXPECT_EQ(format_f64(0.000012345), "0.000012345");
  EXPECT_EQ(format_f64(0.0000099), "9.9e-6");
  EXPECT_EQ(format_f64(-2.5), "-2.5");
  EXPECT_EQ(format_f64(1.5e-7), "1.5e-7");
}

TEST(RoundTrip, DeepValuesWriteWithoutRecursion) {
  Value v;
  for (int i = 0; i < 100000; ++i) {
    Array a;
    a.push_back(std::move(v));
    v = Value(std::move(a));
  }
  const std::string text = write_json_compact(v);
  EXPECT_EQ(text.size(), 4u + 200000u);
  EXPECT_TRUE(canonicalize_json(std::move(v)).has_value());
  // Destroying it does not recurse either (this would overflow the stack).
}

}  // namespace
}  // namespace qv::json
