#pragma once
// Reading the reference cases: JSON Lines files under QV_VECTORS_DIR, every
// non-empty line one JSON value. A missing or unreadable file, a line that is
// no JSON, or a file without any line fails the calling test; a test run on
// the cases never passes by seeing none.
//
// Link the test with qv_json.
#include <gtest/gtest.h>

#include <cstddef>
#include <fstream>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "json/reader.hpp"
#include "json/value.hpp"
#include "json/writer.hpp"

namespace qv::json {
// Values print as their compact text in test failures.
inline void PrintTo(const Value& v, std::ostream* os) { *os << write_json_compact(v); }
}  // namespace qv::json

namespace qv::testing {

// Every line of the reference file `name`, in order.
inline std::vector<json::Value> read_vectors(const std::string& name) {
  std::vector<json::Value> out;
  const std::string path = std::string(QV_VECTORS_DIR) + "/" + name;
  std::ifstream in(path);
  if (!in) {
    ADD_FAILURE() << "reference file missing: " << path;
    return out;
  }
  std::string line;
  std::size_t number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (line.empty()) continue;
    auto v = json::read_json(line);
    if (!v) {
      ADD_FAILURE() << path << " line " << number << ": " << v.error().display();
      continue;
    }
    out.push_back(std::move(*v));
  }
  if (in.bad()) ADD_FAILURE() << "reading " << path << " failed";
  if (out.empty()) ADD_FAILURE() << "no cases in " << path;
  return out;
}

// The member `key` of a case, or null when absent.
inline const json::Value& member(const json::Value& line, std::string_view key) {
  static const json::Value kNull;
  const json::Value* v = line.find(key);
  return v != nullptr ? *v : kNull;
}

// A scalar member as text: a string as it is, an integer in decimal,
// true/false/null as written. An absent member, an array, an object or a
// float fails the test (no reference file holds a float where a test reads
// text).
inline std::string member_text(const json::Value& line, std::string_view key) {
  const json::Value* found = line.find(key);
  if (found == nullptr) {
    ADD_FAILURE() << "member " << key << " missing in " << json::write_json_compact(line);
    return {};
  }
  const json::Value& v = *found;
  switch (v.kind()) {
    case json::Value::Kind::String:
      return v.as_string();
    case json::Value::Kind::Null:
    case json::Value::Kind::Bool:
    case json::Value::Kind::U64:
    case json::Value::Kind::I64:
      return json::write_json_compact(v);
    default:
      ADD_FAILURE() << "member " << key << " is no string, integer or literal: " << json::write_json_compact(v);
      return {};
  }
}

}  // namespace qv::testing
