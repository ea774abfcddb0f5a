// Every reference case for reading values and writing floats.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include "json/reader.hpp"
#include "json/writer.hpp"
#include "vectors.hpp"

namespace qv::json {
namespace {

using testing::case_input;
using qv::testing::read_vectors;
using testing::equal_up_to_float_rounding;

// Depth-first list of [kind, text] for every number, as the cases list them.
void number_kinds(const Value& v, Array& out) {
  std::vector<const Value*> stack{&v};
  while (!stack.empty()) {
    const Value* cur = stack.back();
    stack.pop_back();
    switch (cur->kind()) {
      case Value::Kind::U64:
        out.push_back(Array{"u64", write_json_compact(*cur)});
        break;
      case Value::Kind::I64:
        out.push_back(Array{"i64", write_json_compact(*cur)});
        break;
      case Value::Kind::F64:
        out.push_back(Array{"f64", write_json_compact(*cur)});
        break;
      case Value::Kind::Array:
        for (auto it = cur->as_array().rbegin(); it != cur->as_array().rend(); ++it) stack.push_back(&*it);
        break;
      case Value::Kind::Object:
        for (std::size_t i = cur->as_object().size(); i-- > 0;) stack.push_back(&cur->as_object().at(i).value);
        break;
      default:
        break;
    }
  }
}

TEST(JsonValueVectors, EveryCaseAgrees) {
  const auto cases = read_vectors("json_value.jsonl");
  ASSERT_GT(cases.size(), 5000u);
  std::size_t ok = 0, rounded = 0;
  for (const Value& c : cases) {
    const std::string input = case_input(c);
    const auto id = c.find("id")->as_u64();
    auto got = read_json(input);
    if (const Value* err = c.find("err")) {
      if (got.has_value() && err->as_string().starts_with("number out of range") && got->is_f64() &&
          std::fabs(got->as_f64()) == std::numeric_limits<double>::max()) {
        // Correctly rounded, a literal just above the largest double (by
        // less than half a unit in the last place) is that double.
        ++rounded;
        ++ok;
        continue;
      }
      if (got.has_value()) {
        ADD_FAILURE() << "case " << id << " read as " << write_json_compact(*got);
        continue;
      }
      EXPECT_EQ(got.error().display(), err->as_string()) << "case " << id;
      ++ok;
      continue;
    }
    if (!got.has_value()) {
      ADD_FAILURE() << "case " << id << ": " << got.error().display();
      continue;
    }
    std::string expected = c.find("out")->as_string();
    const Value* same = c.find("std_same");
    if (same != nullptr && !same->as_bool()) {
      // A float literal reads as the nearest double: the case's "std_f64"
      // gives it where the case's "out" does not.
      expected = c.find("std_f64")->as_string();
      ++rounded;
    }
    const std::string written = write_json_compact(*got);
    if (same == nullptr && written != expected) {
      // A document holding several numbers: its expected floats may be off
      // by an ULP or two where they were not correctly rounded; floats read
      // here are the nearest doubles.
      auto theirs = read_json(expected);
      ASSERT_TRUE(theirs.has_value());
      EXPECT_TRUE(equal_up_to_float_rounding(*got, *theirs)) << "case " << id << ": " << written;
      ++rounded;
      ++ok;
      continue;
    }
    EXPECT_EQ(written, expected) << "case " << id;
    if (same == nullptr || same->as_bool()) {
      Array kinds;
      number_kinds(*got, kinds);
      EXPECT_EQ(Value(kinds), *c.find("kinds")) << "case " << id;
    }
    ++ok;
  }
  EXPECT_EQ(ok, cases.size());
  RecordProperty("cases", static_cast<int>(ok));
  RecordProperty("correctly_rounded_instead", static_cast<int>(rounded));
}

TEST(JsonFloatVectors, WritingMatchesAndReadingRoundTrips) {
  const auto cases = read_vectors("json_float.jsonl");
  ASSERT_EQ(cases.size(), 20000u);
  for (const Value& c : cases) {
    const std::string& bits_hex = c.find("bits")->as_string();
    const auto bits = std::stoull(bits_hex, nullptr, 16);
    const double d = std::bit_cast<double>(static_cast<std::uint64_t>(bits));
    const std::string& out = c.find("out")->as_string();
    EXPECT_EQ(format_f64(d), out) << bits_hex;
    if (!std::isfinite(d)) continue;
    // Correct rounding: every written float reads back to the same bits.
    auto back = read_json(out);
    ASSERT_TRUE(back.has_value()) << out;
    ASSERT_TRUE(back->is_f64()) << out;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(back->as_f64()), bits) << out;
  }
}

}  // namespace
}  // namespace qv::json
