#pragma once
// Typed reading, the ground floor: the TypeReader of scalars, options,
// sequences, pairs and string-keyed maps, and the cursor steps every reader
// shares (typed.cpp). json/typed.hpp says how the readers fit together.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>
#include <limits>
#include <map>

#include "json/error.hpp"
#include "json/messages.hpp"
#include "json/ordered_map.hpp"
#include "json/parser.hpp"
#include "json/scan.hpp"
#include "json/value.hpp"

namespace qv::json {

template <class T>
struct TypeReader;

// ---------------------------------------------------------------------------
// Cursor steps shared by the readers (typed.cpp).
namespace typed {

// The value at the cursor does not fit the expected type: the value is
// consumed when it is a scalar (the error then stands after it) and left in
// place when it is an array or object (the error stands before it).
JsonError peek_invalid_type(Parser& p, std::string_view expected);

// A string at the cursor (its opening quote peeked) holding neither an
// escape nor a byte of 0x80 or above: taken at once as a view into the
// text, which is what Parser::parse_string_view gives for it. False, with
// the cursor unmoved, for any other string.
[[gnu::always_inline]] inline bool take_ascii_string(Parser& p, std::string_view& out) {
  const std::string_view t = p.text();
  const std::size_t begin = p.index() + 1;
  bool non_ascii = false;
  const std::size_t end = detail::find_special_string_byte(t.data(), begin, t.size(), non_ascii);
  if (end == t.size() || t[end] != '"' || non_ascii) return false;
  out = t.substr(begin, end - begin);
  p.seek(end + 1);
  return true;
}

// Skips white space; fails at the end of the text.
inline JsonResult<int> peek_value_start(Parser& p) {
  const int c = p.peek_ws();
  if (c < 0) return std::unexpected(p.peek_error(std::string(Parser::kEofValue)));
  return c;
}

// Array elements: true when another element follows (positioned on it),
// false at the closing bracket (not consumed).
inline JsonResult<bool> next_element(Parser& p, bool& first) { return p.next_entry(']', first); }
// Object members: the next key (positioned before its colon), or none at the
// closing brace (not consumed). The key is a view into the text, or into
// `scratch` when it holds escapes: it is good until `scratch` is reused.
inline JsonResult<std::optional<std::string_view>> next_key(Parser& p, bool& first, std::string& scratch) {
  auto more = p.next_entry('}', first);
  if (!more) return std::unexpected(std::move(more.error()));
  if (!*more) return std::optional<std::string_view>();
  if (p.peek() != '"') return std::unexpected(p.peek_error(std::string(Parser::kKeyMustBeString)));
  p.eat();
  auto key = p.parse_string_view(scratch);
  if (!key) return std::unexpected(std::move(key.error()));
  return std::optional<std::string_view>(*key);
}
inline JsonResult<void> object_colon(Parser& p) { return p.parse_colon(); }
// The end checks after the elements/members were read.
JsonResult<void> end_array(Parser& p);
JsonResult<void> end_object(Parser& p);

// The result of an array or object step: the body's error if any, else the
// end check's; a positionless error is stamped where the cursor stands.
JsonResult<void> finish(Parser& p, JsonResult<void> body, JsonResult<void> end);

// Reads a whole array or object: `body` runs after the opening bracket, the
// end check always runs after it, and depth is counted.
template <class Body>
JsonResult<void> in_array(Parser& p, Body&& body) {
  if (auto r = p.enter(); !r) return r;
  p.eat();
  JsonResult<void> b = body();
  p.leave();
  if (b && p.peek_ws() == ']') {
    p.eat();
    return {};
  }
  JsonResult<void> e = end_array(p);
  return finish(p, std::move(b), std::move(e));
}
template <class Body>
JsonResult<void> in_object(Parser& p, Body&& body) {
  if (auto r = p.enter(); !r) return r;
  p.eat();
  JsonResult<void> b = body();
  p.leave();
  if (b && p.peek_ws() == '}') {
    p.eat();
    return {};
  }
  JsonResult<void> e = end_object(p);
  return finish(p, std::move(b), std::move(e));
}

// A variant word read straight from the text: only a JSON string; an
// unknown word fails just after its closing quote.
JsonResult<std::size_t> read_variant_word(Parser& p, std::span<const std::string_view> words);
// A variant identifier from a buffered value: a word, or an index.
JsonResult<std::size_t> variant_from_value(const Value& v, std::span<const std::string_view> words);

}  // namespace typed

// ---------------------------------------------------------------------------
// Scalars.

template <>
struct TypeReader<bool> {
  static JsonResult<void> read(Parser& p, bool& out);
  static JsonResult<void> from_value(const Value& v, bool& out);
};

template <>
struct TypeReader<std::string> {
  static JsonResult<void> read(Parser& p, std::string& out);
  static JsonResult<void> from_value(const Value& v, std::string& out);
};

template <>
struct TypeReader<double> {
  static JsonResult<void> read(Parser& p, double& out);
  static JsonResult<void> from_value(const Value& v, double& out);
};

// Any JSON value, read in full.
template <>
struct TypeReader<Value> {
  static JsonResult<void> read(Parser& p, Value& out);
  static JsonResult<void> from_value(const Value& v, Value& out);
};

namespace typed {
JsonResult<std::uint64_t> read_unsigned(Parser& p, std::uint64_t max, std::string_view expected);
JsonResult<std::uint64_t> unsigned_from_value(const Value& v, std::uint64_t max, std::string_view expected);
}  // namespace typed

// Non-negative integers up to Max; Name is the type named in errors
// ("u64", "usize", "u32").
template <class U, std::uint64_t Max, const std::string_view& Name>
struct UnsignedReader {
  static JsonResult<void> read(Parser& p, U& out) {
    auto n = typed::read_unsigned(p, Max, Name);
    if (!n) return std::unexpected(std::move(n.error()));
    out = static_cast<U>(*n);
    return {};
  }
  static JsonResult<void> from_value(const Value& v, U& out) {
    auto n = typed::unsigned_from_value(v, Max, Name);
    if (!n) return std::unexpected(std::move(n.error()));
    out = static_cast<U>(*n);
    return {};
  }
};

inline constexpr std::string_view kU64Name = "u64";
inline constexpr std::string_view kUsizeName = "usize";
inline constexpr std::string_view kU32Name = "u32";
using U64Reader = UnsignedReader<std::uint64_t, std::numeric_limits<std::uint64_t>::max(), kU64Name>;
// Byte offsets and counts: the same numbers, named "usize" in errors.
using UsizeReader = UnsignedReader<std::uint64_t, std::numeric_limits<std::uint64_t>::max(), kUsizeName>;
using U32Reader = UnsignedReader<std::uint32_t, std::numeric_limits<std::uint32_t>::max(), kU32Name>;

template <>
struct TypeReader<std::uint64_t> : U64Reader {};
template <>
struct TypeReader<std::uint32_t> : U32Reader {};

// ---------------------------------------------------------------------------
// Option: null is none; anything else is read as the inner type.

template <class X, class R = TypeReader<X>>
struct OptionReader {
  static JsonResult<void> read(Parser& p, std::optional<X>& out) {
    if (p.peek_ws() == 'n') {
      p.eat();
      if (auto r = p.parse_ident("ull"); !r) return r;
      out.reset();
      return {};
    }
    // Read in place: on failure the whole result is dropped.
    return R::read(p, out.emplace());
  }
  static JsonResult<void> from_value(const Value& v, std::optional<X>& out) {
    if (v.is_null()) {
      out.reset();
      return {};
    }
    X x{};
    if (auto r = R::from_value(v, x); !r) return r;
    out = std::move(x);
    return {};
  }
};
template <class X>
struct TypeReader<std::optional<X>> : OptionReader<X> {};

// ---------------------------------------------------------------------------
// Sequences: a JSON array, expected "a sequence".

template <class X, class R = TypeReader<X>>
struct SequenceReader {
  static JsonResult<void> read(Parser& p, std::vector<X>& out) {
    auto c = typed::peek_value_start(p);
    if (!c) return std::unexpected(std::move(c.error()));
    if (*c != '[') return std::unexpected(typed::peek_invalid_type(p, "a sequence"));
    return typed::in_array(p, [&]() -> JsonResult<void> {
      bool first = true;
      for (;;) {
        auto more = typed::next_element(p, first);
        if (!more) return std::unexpected(std::move(more.error()));
        if (!*more) return {};
        // Room for a few at the first element: record lists are short, and
        // growing one by one moves each element twice.
        if (out.empty()) out.reserve(4);
        // Read in place: on failure the whole result is dropped.
        if (auto r = R::read(p, out.emplace_back()); !r) return r;
      }
    });
  }
  static JsonResult<void> from_value(const Value& v, std::vector<X>& out) {
    if (!v.is_array()) return std::unexpected(invalid_type(describe(v), "a sequence"));
    for (const Value& e : v.as_array()) {
      X x{};
      if (auto r = R::from_value(e, x); !r) return r;
      out.push_back(std::move(x));
    }
    return {};
  }
};
template <class X>
struct TypeReader<std::vector<X>> : SequenceReader<X> {};

// ---------------------------------------------------------------------------
// Pairs: an array of exactly two elements, expected "a tuple of size 2".

template <class A, class B, class RA = TypeReader<A>, class RB = TypeReader<B>>
struct PairReader {
  static constexpr std::string_view kExpected = "a tuple of size 2";
  static JsonResult<void> read(Parser& p, std::pair<A, B>& out) {
    auto c = typed::peek_value_start(p);
    if (!c) return std::unexpected(std::move(c.error()));
    if (*c != '[') return std::unexpected(typed::peek_invalid_type(p, kExpected));
    return typed::in_array(p, [&]() -> JsonResult<void> {
      bool first = true;
      auto more = typed::next_element(p, first);
      if (!more) return std::unexpected(std::move(more.error()));
      if (!*more) return std::unexpected(invalid_length(0, kExpected));
      if (auto r = RA::read(p, out.first); !r) return r;
      more = typed::next_element(p, first);
      if (!more) return std::unexpected(std::move(more.error()));
      if (!*more) return std::unexpected(invalid_length(1, kExpected));
      return RB::read(p, out.second);
    });
  }
  static JsonResult<void> from_value(const Value& v, std::pair<A, B>& out) {
    if (!v.is_array()) return std::unexpected(invalid_type(describe(v), kExpected));
    const Array& a = v.as_array();
    if (a.empty()) return std::unexpected(invalid_length(0, kExpected));
    if (auto r = RA::from_value(a[0], out.first); !r) return r;
    if (a.size() < 2) return std::unexpected(invalid_length(1, kExpected));
    if (auto r = RB::from_value(a[1], out.second); !r) return r;
    if (a.size() > 2) return std::unexpected(invalid_length(a.size(), elements_in_sequence(2)));
    return {};
  }
};
template <class A, class B>
struct TypeReader<std::pair<A, B>> : PairReader<A, B> {};

// ---------------------------------------------------------------------------
// String-keyed maps, expected "a map". A repeated key keeps its last value;
// the sorted map orders keys by their bytes, the ordered map keeps each
// key's first position.

template <class M, class V, class R = TypeReader<V>>
struct StringMapReader {
  static JsonResult<void> read(Parser& p, M& out) {
    auto c = typed::peek_value_start(p);
    if (!c) return std::unexpected(std::move(c.error()));
    if (*c != '{') return std::unexpected(typed::peek_invalid_type(p, "a map"));
    return typed::in_object(p, [&]() -> JsonResult<void> {
      bool first = true;
      std::string scratch;
      for (;;) {
        auto key = typed::next_key(p, first, scratch);
        if (!key) return std::unexpected(std::move(key.error()));
        if (!*key) return {};
        // Kept before the value is read: reading it may reuse the scratch.
        std::string name(**key);
        if (auto r = typed::object_colon(p); !r) return r;
        V v{};
        if (auto r = R::read(p, v); !r) return r;
        out.insert_or_assign(std::move(name), std::move(v));
      }
    });
  }
  static JsonResult<void> from_value(const Value& v, M& out) {
    if (!v.is_object()) return std::unexpected(invalid_type(describe(v), "a map"));
    for (const Member& m : v.as_object()) {
      V x{};
      if (auto r = R::from_value(m.value, x); !r) return r;
      out.insert_or_assign(m.key, std::move(x));
    }
    return {};
  }
};
template <class V>
struct TypeReader<std::map<std::string, V>> : StringMapReader<std::map<std::string, V>, V> {};
template <class V>
struct TypeReader<OrderedMap<V>> : StringMapReader<OrderedMap<V>, V> {};

}  // namespace qv::json
