#pragma once
// The JSON writer family: no white space, a fixed escaping table and a fixed
// number format, whose output decides every canonical digest. A writer is a
// sink of events (begin_object, end_object, key, begin_array, end_array,
// string, unsigned_integer, signed_integer, floating, boolean, null) fed by
// write_value from a value tree or by the member builders of typed records:
// TextOut writes compact text, ValueOut builds a value tree and CanonicalOut
// (json/canonical.hpp) writes the canonical text.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "json/error.hpp"
#include "json/value.hpp"

namespace qv::json {

// The compact text of a value. Cannot fail; a non-finite float is "null".
std::string write_json_compact(const Value& value);
void write_json_compact(const Value& value, std::string& out);

// Pieces of the format, for writers of typed records:
// a string with quotes and escapes;
void write_json_string(std::string_view text, std::string& out);
// a float: shortest round-trip digits, positional for decimal exponents
// -5..15 ("1.0", "0.00001", "1000000000000000.0"), otherwise exponent form
// with a sign ("1e+16", "1.5e-7"); "-0.0" for negative zero; "null" when
// not finite;
void write_json_f64(double value, std::string& out);
std::string format_f64(double value);
// The same at `out`, which has room for kF64TextMax bytes; returns the end.
inline constexpr std::size_t kF64TextMax = 48;
char* write_json_f64(double value, char* out);
// integers as plain decimal digits.
void write_json_u64(std::uint64_t value, std::string& out);
void write_json_i64(std::int64_t value, std::string& out);

namespace detail {
// A float's shortest digits d1..dn (1 <= n <= 17; `digits` readable for
// n + 16 bytes), its leading digit's decimal exponent e and its sign, laid
// out as write_json_f64 lays them out, at `out` (room for kF64TextMax
// bytes); returns the end.
char* lay_out_float(char* out, bool negative, const char* digits, std::size_t n, int e);
}  // namespace detail

// The deepest nesting of arrays and objects the readers accept.
inline constexpr std::size_t kMaxReadableDepth = 127;

// Writes compact JSON text onto the end of a string.
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
  void signed_integer(std::int64_t n);
  void floating(double d);
  void boolean(bool b);
  void null();
  // A key or string known to hold no byte the writer escapes (as one read
  // from a text without escapes): written between quotes as it is.
  void plain_key(std::string_view k) {
    separate();
    quoted(k);
    out_.push_back(':');
    after_key_ = true;
  }
  void plain_string(std::string_view s) {
    separate();
    quoted(s);
  }
  // A string's text as the writers escape it (as Parser::take_written_string
  // takes it): written between quotes as it is.
  void written_string(std::string_view text) { plain_string(text); }
  // A number's text as the writers write it (as Parser::take_number_text
  // forms it).
  void plain_number(std::string_view text) {
    separate();
    out_ += text;
  }

  // A text nested deeper than the readers accept is refused with the
  // readers' own message (without a position: no input byte is at fault).
  // A writer that embeds a caller's value below its own members checks
  // this before it returns the text.
  JsonResult<void> readable() const;

 private:
  void open(char c);
  void close(char c);
  void separate();
  void quoted(std::string_view s) {
    const std::size_t at = out_.size();
    out_.resize(at + s.size() + 2);
    char* p = out_.data() + at;
    p[0] = '"';
    if (!s.empty()) std::memcpy(p + 1, s.data(), s.size());
    p[s.size() + 1] = '"';
  }
  std::string& out_;
  bool first_ = true;  // nothing written yet in the open container
  bool after_key_ = false;
  std::size_t depth_ = 0;
  std::size_t deepest_ = 0;
};

// Builds a value tree; the finished value is taken with take().
class ValueOut {
 public:
  void begin_object() { stack_.emplace_back(Object{}); }
  void begin_array() { stack_.emplace_back(Array{}); }
  void end_object() { finish(); }
  void end_array() { finish(); }
  void key(std::string_view k) { keys_.emplace_back(k); }
  void string(std::string_view s) { put(Value(s)); }
  void unsigned_integer(std::uint64_t n) { put(Value(n)); }
  void signed_integer(std::int64_t n) { put(Value(n)); }
  void floating(double d) { put(Value(d)); }
  void boolean(bool b) { put(Value(b)); }
  void null() { put(Value(nullptr)); }
  Value take() { return std::move(result_); }

 private:
  void finish();
  void put(Value v);
  std::vector<Value> stack_;
  std::vector<std::string> keys_;
  Value result_;
};

// Feeds a value to a sink, members in stored order. Iterative, so values of
// any depth are written without deep recursion.
template <class Sink>
void write_value(Sink& out, const Value& value) {
  struct Frame {
    const Value* container;
    std::size_t next;
  };
  std::vector<Frame> stack;
  const Value* cur = &value;
  for (;;) {
    switch (cur->kind()) {
      case Value::Kind::Null:
        out.null();
        break;
      case Value::Kind::Bool:
        out.boolean(cur->as_bool());
        break;
      case Value::Kind::U64:
        out.unsigned_integer(cur->as_u64());
        break;
      case Value::Kind::I64:
        out.signed_integer(cur->as_i64());
        break;
      case Value::Kind::F64:
        out.floating(cur->as_f64());
        break;
      case Value::Kind::String:
        out.string(cur->as_string());
        break;
      case Value::Kind::Array:
        out.begin_array();
        stack.push_back({cur, 0});
        break;
      case Value::Kind::Object:
        out.begin_object();
        stack.push_back({cur, 0});
        break;
    }
    // The next value to write, closing finished containers.
    cur = nullptr;
    while (!stack.empty() && cur == nullptr) {
      Frame& f = stack.back();
      if (f.container->is_array()) {
        const Array& a = f.container->as_array();
        if (f.next < a.size()) {
          cur = &a[f.next++];
        } else {
          out.end_array();
          stack.pop_back();
        }
      } else {
        const Object& o = f.container->as_object();
        if (f.next < o.size()) {
          const Member& m = o.at(f.next++);
          out.key(m.key);
          cur = &m.value;
        } else {
          out.end_object();
          stack.pop_back();
        }
      }
    }
    if (cur == nullptr) return;
  }
}

}  // namespace qv::json
