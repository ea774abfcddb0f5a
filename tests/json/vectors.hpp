#pragma once
// Reading the JSON reference cases: their inputs and a float-tolerant
// comparison.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>

#include "common/vectors.hpp"
#include "json/value.hpp"

namespace qv::json::testing {

inline std::string PrintToStringHelper(const std::string& s) { return ::testing::PrintToString(s); }

// The input text of a case: "in", or the bytes of "in_hex" (lower-case
// hex digits).
inline std::string case_input(const Value& c) {
  if (const Value* s = c.find("in")) return s->as_string();
  const std::string& hex = c.find("in_hex")->as_string();
  auto digit = [](char d) { return d <= '9' ? d - '0' : d - 'a' + 10; };
  EXPECT_EQ(hex.size() % 2, 0u) << "bad in_hex";
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) bytes += static_cast<char>(digit(hex[i]) * 16 + digit(hex[i + 1]));
  return bytes;
}

// Same structure, and floats at most 2 ULP apart.
inline bool equal_up_to_float_rounding(const Value& a, const Value& b) {
  if (a.kind() != b.kind()) return false;
  switch (a.kind()) {
    case Value::Kind::F64: {
      const auto x = std::bit_cast<std::int64_t>(a.as_f64());
      const auto y = std::bit_cast<std::int64_t>(b.as_f64());
      return (x < 0) == (y < 0) && (x > y ? x - y : y - x) <= 2;
    }
    case Value::Kind::Array:
      if (a.as_array().size() != b.as_array().size()) return false;
      for (std::size_t i = 0; i < a.as_array().size(); ++i) {
        if (!equal_up_to_float_rounding(a.as_array()[i], b.as_array()[i])) return false;
      }
      return true;
    case Value::Kind::Object:
      if (a.as_object().size() != b.as_object().size()) return false;
      for (std::size_t i = 0; i < a.as_object().size(); ++i) {
        if (a.as_object().at(i).key != b.as_object().at(i).key ||
            !equal_up_to_float_rounding(a.as_object().at(i).value, b.as_object().at(i).value)) {
          return false;
        }
      }
      return true;
    default:
      return a == b;
  }
}

}  // namespace qv::json::testing
