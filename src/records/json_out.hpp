#pragma once
// The two receivers of the member builders: compact text and a value tree.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
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
// of the cost. Everything is written into one buffer in arrival order; an
// object keeps where each member's text starts and ends and, when it closes,
// rewrites its members in key order unless they came in that order already
// (each key greater than the one before). A key must stay valid until its
// object closes. Buffers are reused from one record to the next.
class CanonicalOut {
 public:
  void reset() {
    frames_.clear();
    members_.clear();
    len_ = 0;
  }
  std::string_view text() const { return std::string_view(buf_.data(), len_); }

  void begin_object() { open(true, '{'); }
  void begin_array() { open(false, '['); }
  void end_array() {
    put(']');
    frames_.pop_back();
  }
  void end_object();
  void key(std::string_view k);
  void string(std::string_view s) {
    place();
    quoted(s);
  }
  void unsigned_integer(std::uint64_t n);
  void floating(double d);
  void boolean(bool b) {
    place();
    raw(b ? std::string_view("true") : std::string_view("false"));
  }
  void null() {
    place();
    raw("null");
  }

 private:
  struct Member {
    std::string_view key;
    std::size_t start;  // the member's text in the buffer: "key":value
    std::size_t end;
  };
  struct Frame {
    bool object;
    bool first;                 // nothing written yet in the container
    bool in_order;              // an object's keys came in ascending order so far
    std::size_t start;          // where the container's contents start
    std::size_t members_begin;  // the object's members in `members_`
  };

  // By the bytes of the keys, as unsigned values; keys mostly differ in
  // their first bytes, so a plain loop beats a library call.
  static bool less(const Member& a, const Member& b) {
    const std::size_t n = std::min(a.key.size(), b.key.size());
    for (std::size_t i = 0; i < n; ++i) {
      const auto x = static_cast<unsigned char>(a.key[i]);
      const auto y = static_cast<unsigned char>(b.key[i]);
      if (x != y) return x < y;
    }
    return a.key.size() < b.key.size();
  }
  // Room for n more bytes, written at the returned place.
  [[gnu::always_inline]] char* room(std::size_t n) {
    if (buf_.size() - len_ < n) grow(n);
    return buf_.data() + len_;
  }
  [[gnu::noinline]] void grow(std::size_t n) { buf_.resize(std::max(buf_.size() * 2, len_ + n)); }
  [[gnu::always_inline]] void put(char c) {
    *room(1) = c;
    ++len_;
  }
  [[gnu::always_inline]] void raw(std::string_view s) {
    if (s.empty()) return;
    std::memcpy(room(s.size()), s.data(), s.size());
    len_ += s.size();
  }
  // A string with quotes and the writer's escapes.
  void quoted(std::string_view s);
  void open(bool object, char bracket) {
    place();
    put(bracket);
    frames_.push_back(Frame{object, true, true, len_, members_.size()});
  }
  // Before a value: a comma when it is not the first of an array. Object
  // members are separated in key().
  [[gnu::always_inline]] void place() {
    if (frames_.empty()) return;
    Frame& f = frames_.back();
    if (!f.object) {
      if (!f.first) put(',');
      f.first = false;
    }
  }

  std::vector<Frame> frames_;
  std::vector<Member> members_;  // of the open objects, innermost last
  std::string buf_;              // the text is its first len_ bytes
  std::size_t len_ = 0;
  std::string scratch_;  // an object's members while they are reordered
  std::string piece_;    // a number or an escaped string being written
};

}  // namespace qv::records::detail
