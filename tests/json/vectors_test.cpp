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
  qv::testing::Tally tally;
  for (const Value& c : cases) {
    const std::string input = case_input(c);
    const auto id = c.find("id")->as_u64();
    auto got = read_json(input);
    if (const Value* err = c.find("err")) {
      if (input == "1.7976931348623158e308") {
        // Less than half a unit in the last place above the largest double:
        // correctly rounded, it is that double, not out of range.
        EXPECT_TRUE(got && got->is_f64() && got->as_f64() == std::numeric_limits<double>::max()) << "case " << id;
        tally.set_aside("just above the largest double");
        continue;
      }
      ++tally.compared;
      if (got.has_value()) {
        ADD_FAILURE() << "case " << id << " read as " << write_json_compact(*got);
      } else {
        EXPECT_EQ(got.error().display(), err->as_string()) << "case " << id;
      }
      continue;
    }
    if (!got.has_value()) {
      ADD_FAILURE() << "case " << id << ": " << got.error().display();
      continue;
    }
    const std::string written = write_json_compact(*got);
    const std::string& out = c.find("out")->as_string();
    const Value* same = c.find("std_same");
    if (same != nullptr && !same->as_bool()) {
      // One float literal whose case gives the nearest double as
      // "std_f64": that is what reading gives.
      EXPECT_EQ(written, c.find("std_f64")->as_string()) << "case " << id;
      tally.set_aside("single float, correctly rounded");
      continue;
    }
    if (same == nullptr && written != out) {
      // Several numbers, some expected off by an ULP or two; each float
      // read here is the nearest double.
      EXPECT_TRUE(testing::same_up_to_float_rounding(written, out)) << "case " << id << ": " << written;
      tally.set_aside("several numbers, floats correctly rounded");
      continue;
    }
    ++tally.compared;
    EXPECT_EQ(written, out) << "case " << id;
    Array kinds;
    number_kinds(*got, kinds);
    EXPECT_EQ(Value(kinds), *c.find("kinds")) << "case " << id;
  }
  tally.expect(4448, {{"just above the largest double", 1},
                      {"several numbers, floats correctly rounded", 217},
                      {"single float, correctly rounded", 623}});
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
