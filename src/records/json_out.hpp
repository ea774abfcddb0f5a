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

}  // namespace qv::records::detail
