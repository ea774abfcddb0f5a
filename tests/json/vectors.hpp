#pragma once
// Reading the JSON reference cases: their inputs and a float-tolerant
// comparison.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

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

// The same text, except that numbers written as floats on both sides may be
// up to 2 ULP apart (a case's expected floats need not be correctly
// rounded; floats read here are). Everything else, strings and their escapes included, must match
// byte for byte.
inline bool same_up_to_float_rounding(std::string_view a, std::string_view b) {
  auto number_end = [](std::string_view s, std::size_t k) {
    while (k < s.size() && std::string_view("+-.eE0123456789").find(s[k]) != std::string_view::npos) ++k;
    return k;
  };
  auto starts_number = [](char c) { return c == '-' || (c >= '0' && c <= '9'); };
  auto is_float = [](std::string_view x) { return x.find_first_of(".eE") != std::string_view::npos; };
  std::size_t i = 0, j = 0;
  bool in_string = false;
  while (i < a.size() && j < b.size()) {
    if (!in_string && starts_number(a[i]) && starts_number(b[j])) {
      const std::size_t ie = number_end(a, i), je = number_end(b, j);
      const std::string x(a.substr(i, ie - i)), y(b.substr(j, je - j));
      if (x != y) {
        if (!is_float(x) || !is_float(y)) return false;
        const auto u = std::bit_cast<std::int64_t>(std::strtod(x.c_str(), nullptr));
        const auto v = std::bit_cast<std::int64_t>(std::strtod(y.c_str(), nullptr));
        if ((u < 0) != (v < 0) || (u > v ? u - v : v - u) > 2) return false;
      }
      i = ie;
      j = je;
      continue;
    }
    if (a[i] != b[j]) return false;
    if (in_string && a[i] == '\\') {
      if (i + 1 >= a.size() || j + 1 >= b.size() || a[i + 1] != b[j + 1]) return false;
      i += 2;
      j += 2;
      continue;
    }
    if (a[i] == '"') in_string = !in_string;
    ++i;
    ++j;
  }
  return i == a.size() && j == b.size();
}

}  // namespace qv::json::testing
