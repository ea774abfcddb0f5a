#pragma once
// Reading the reference cases: xz-compressed JSON Lines files under
// QV_VECTORS_DIR (testdata/), every non-empty line one JSON value. A
// missing or damaged file, a line that is no JSON, or a file without any line
// fails the calling test; a test run on the cases never passes by seeing none.
// Tests that compare cases count what they compared and set aside, and assert
// both counts (see Tally).
//
// Link the test with qv_json.
#include <gtest/gtest.h>
#include <lzma.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
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

// The decompressed text of an .xz file; false when it cannot be read whole.
inline bool read_xz(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  const std::string packed((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  lzma_stream strm = LZMA_STREAM_INIT;
  if (lzma_stream_decoder(&strm, UINT64_MAX, 0) != LZMA_OK) return false;
  strm.next_in = reinterpret_cast<const std::uint8_t*>(packed.data());
  strm.avail_in = packed.size();
  std::vector<std::uint8_t> buf(1 << 16);
  lzma_ret r = LZMA_OK;
  while (r == LZMA_OK) {
    strm.next_out = buf.data();
    strm.avail_out = buf.size();
    r = lzma_code(&strm, LZMA_FINISH);
    out.append(reinterpret_cast<const char*>(buf.data()), buf.size() - strm.avail_out);
  }
  lzma_end(&strm);
  return r == LZMA_STREAM_END;
}

// Every line of the reference file `name` (stored as `name`.xz), in order.
inline std::vector<json::Value> read_vectors(const std::string& name) {
  std::vector<json::Value> out;
  const std::string path = std::string(QV_VECTORS_DIR) + "/" + name + ".xz";
  std::string text;
  if (!read_xz(path, text)) {
    ADD_FAILURE() << "reference file missing or damaged: " << path;
    return out;
  }
  std::size_t number = 0;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string_view line(text.data() + at, end - at);
    at = end + 1;
    ++number;
    if (line.empty()) continue;
    auto v = json::read_json(line);
    if (!v) {
      ADD_FAILURE() << path << " line " << number << ": " << v.error().display();
      continue;
    }
    out.push_back(std::move(*v));
  }
  if (out.empty()) ADD_FAILURE() << "no cases in " << path;
  return out;
}

// Counts of a comparison over reference cases: how many were compared and
// how many each named rule set aside. `expect` asserts them all, so a file
// that shrinks or a rule that widens fails the test.
struct Tally {
  std::size_t compared = 0;
  std::map<std::string, std::size_t> aside;
  void set_aside(const std::string& rule) { ++aside[rule]; }
  void expect(std::size_t want_compared, const std::map<std::string, std::size_t>& want_aside = {}) const {
    EXPECT_EQ(compared, want_compared) << "cases compared";
    EXPECT_EQ(aside, want_aside) << "cases set aside, per rule";
  }
};

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
