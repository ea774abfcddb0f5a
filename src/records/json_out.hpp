#pragma once
// The two receivers of the member builders: compact text and a value tree.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "json/value.hpp"

namespace qv::records::detail {

// Writes compact JSON text: no white space, the writer's escapes and number
// format.
class TextOut {
 public:
  explicit TextOut(std::string& out) : out_(out) {}
  void begin_object() { open('{'); }
  void end_object() { close('}'); }
  void begin_array() { open('['); }
  void end_array() { close(']'); }
  void key(std::string_view k);
  void string(std::string_view s);
  void unsigned_integer(std::uint64_t n);
  void floating(double d);
  void boolean(bool b);
  void null();

 private:
  void open(char c);
  void close(char c);
  void separate();
  std::string& out_;
  bool first_ = true;     // nothing written yet in the open container
  bool after_key_ = false;
};

// Builds a value tree; the finished value is taken with take().
class ValueOut {
 public:
  void begin_object() { stack_.emplace_back(json::Object{}); }
  void begin_array() { stack_.emplace_back(json::Array{}); }
  void end_object() { finish(); }
  void end_array() { finish(); }
  void key(std::string_view k) { keys_.emplace_back(k); }
  void string(std::string_view s) { put(json::Value(s)); }
  void unsigned_integer(std::uint64_t n) { put(json::Value(n)); }
  void floating(double d) { put(json::Value(d)); }
  void boolean(bool b) { put(json::Value(b)); }
  void null() { put(json::Value(nullptr)); }
  json::Value take() { return std::move(result_); }

 private:
  void finish();
  void put(json::Value v);
  std::vector<json::Value> stack_;
  std::vector<std::string> keys_;
  json::Value result_;
};

// Writes the canonical text directly: what canonical_digest would hash for
// the value the same events build (members of every object sorted by the
// bytes of their keys, compact, non-finite floats already null). Keys
// within one object must be unique, as the builders make them.
class CanonicalOut {
 public:
  void begin_object() { frames_.push_back(Frame{true, {}, {}, {}}); }
  void begin_array() { frames_.push_back(Frame{false, "[", {}, {}}); }
  void end_object();
  void end_array();
  void key(std::string_view k) { frames_.back().key.assign(k); }
  void string(std::string_view s);
  void unsigned_integer(std::uint64_t n);
  void floating(double d);
  void boolean(bool b) { put(b ? "true" : "false"); }
  void null() { put("null"); }
  std::string take() { return std::move(result_); }

 private:
  struct Frame {
    bool object;
    std::string text;                                          // an array's text so far
    std::vector<std::pair<std::string, std::string>> members;  // an object's members
    std::string key;                                           // the key awaiting its value
  };
  void put(std::string text);
  std::vector<Frame> frames_;
  std::string result_;
};

}  // namespace qv::records::detail
