#pragma once
// The two receivers of the member builders: compact text and a value tree.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "json/value.hpp"
#include "json/writer.hpp"

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

// Writes the canonical text (members of every object sorted by the bytes of
// their keys, compact) straight from the member builders, without building a
// value tree: what canonical_digest gives for the same value, at a fraction
// of the cost. Each open container writes into its own buffer; an object
// keeps where each member's text starts and, when it closes, appends its
// members to the enclosing buffer in key order. Buffers are reused from one
// record to the next.
class CanonicalOut {
 public:
  void reset() {
    depth_ = 0;
    root_.clear();
  }
  const std::string& text() const { return root_; }

  void begin_object() { open(true); }
  void begin_array() { open(false); }
  void end_array() {
    Frame& f = frames_[--depth_];
    std::string& out = place();
    out.push_back('[');
    out += f.buf;
    out.push_back(']');
  }
  void end_object() {
    Frame& f = frames_[--depth_];
    if (!f.members.empty()) f.members.back().end = f.buf.size();
    // By key bytes: the first eight bytes, read as one big-endian number
    // (zero-padded, which keeps the order), decide unless they are equal.
    std::sort(f.members.begin(), f.members.end(), [&f](const Member& a, const Member& b) {
      if (a.prefix != b.prefix) return a.prefix < b.prefix;
      return std::string_view(f.keys).substr(a.key, a.key_size) < std::string_view(f.keys).substr(b.key, b.key_size);
    });
    std::string& out = place();
    out.push_back('{');
    for (std::size_t i = 0; i < f.members.size(); ++i) {
      if (i > 0) out.push_back(',');
      out.append(f.buf, f.members[i].start, f.members[i].end - f.members[i].start);
    }
    out.push_back('}');
  }
  void key(std::string_view k) {
    Frame& f = frames_[depth_ - 1];
    if (!f.members.empty()) f.members.back().end = f.buf.size();
    std::uint64_t prefix = 0;
    for (std::size_t i = 0; i < 8; ++i) {
      prefix = (prefix << 8) | (i < k.size() ? static_cast<unsigned char>(k[i]) : 0u);
    }
    f.members.push_back(Member{prefix, f.keys.size(), k.size(), f.buf.size(), 0});
    f.keys.append(k);
    json::write_json_string(k, f.buf);
    f.buf.push_back(':');
  }
  void string(std::string_view s) { json::write_json_string(s, place()); }
  void unsigned_integer(std::uint64_t n) { json::write_json_u64(n, place()); }
  void floating(double d) { json::write_json_f64(d, place()); }
  void boolean(bool b) { place() += b ? "true" : "false"; }
  void null() { place() += "null"; }

 private:
  struct Member {
    std::uint64_t prefix;  // the key's first eight bytes, big-endian
    std::size_t key;       // offset and size of the raw key in `keys`
    std::size_t key_size;
    std::size_t start;  // the member's text in `buf`: "key":value
    std::size_t end;
  };
  struct Frame {
    bool object = false;
    bool first = true;
    std::string buf;
    std::string keys;
    std::vector<Member> members;
  };

  // A container's text goes to the enclosing buffer when it closes.
  void open(bool object) {
    if (depth_ == frames_.size()) frames_.emplace_back();
    Frame& f = frames_[depth_++];
    f.object = object;
    f.first = true;
    f.buf.clear();
    f.keys.clear();
    f.members.clear();
  }
  // Where the next value goes: the innermost buffer, after a comma when it
  // is an array that already holds a value. Object members are separated
  // when the object closes.
  std::string& place() {
    if (depth_ == 0) return root_;
    Frame& f = frames_[depth_ - 1];
    if (!f.object) {
      if (!f.first) f.buf.push_back(',');
      f.first = false;
    }
    return f.buf;
  }

  std::vector<Frame> frames_;
  std::size_t depth_ = 0;
  std::string root_;
};

}  // namespace qv::records::detail
