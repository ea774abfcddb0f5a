#pragma once
// Loading the reference cases (JSON Lines) for the tests.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "json/reader.hpp"
#include "json/writer.hpp"

namespace qv::json {
// Values print as their compact text in test failures.
inline void PrintTo(const Value& v, std::ostream* os) { *os << write_json_compact(v); }
}  // namespace qv::json

namespace qv::json::testing {

inline std::vector<Value> load_jsonl(const std::string& name) {
  std::vector<Value> out;
  std::ifstream in(std::string(QV_VECTORS_DIR) + "/" + name);
  EXPECT_TRUE(in.good()) << "missing " << name;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    auto v = read_json(line);
    EXPECT_TRUE(v.has_value()) << name << ": " << (v ? "" : v.error().display());
    if (v) out.push_back(std::move(*v));
  }
  return out;
}

inline std::string from_hex(const std::string& hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

// The input text of a case: "in", or the bytes of "in_hex".
inline std::string case_input(const Value& c) {
  if (const Value* s = c.find("in")) return s->as_string();
  return from_hex(c.find("in_hex")->as_string());
}

}  // namespace qv::json::testing
