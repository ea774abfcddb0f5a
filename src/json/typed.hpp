#pragma once
// Typed reading of JSON text: each record type is described by a table of
// its members, and read straight from the text with the error texts and
// positions of the JSON layer.
//
// A reader of T is a TypeReader<T> with two functions:
//   read(Parser&, T&)          reads the value at the parser's position;
//   from_value(const Value&, T&) reads a value that was buffered (the
//                              members of an internally tagged enum).
// Readers exist for bool, u64 (and other unsigned widths, via
// UnsignedReader), f64, std::string, Value, std::optional, std::vector,
// std::pair, sorted and insertion-ordered string maps, and, through their
// tables, structs (StructReader), unit enums (UnitEnumReader) and internally
// tagged enums (TaggedReader). Reading writes into a default-constructed T:
// members that are absent and have a default keep the value T was
// constructed with.
//
// A record type is made readable by a table and a TypeReader:
//
//   struct Span { std::uint64_t start = 0, end = 0; };
//   const StructSpec<Span>& span_spec() {
//     static const StructSpec<Span> s{"Span", {required<&Span::start, UsizeReader>("start"),
//                                              required<&Span::end, UsizeReader>("end")}};
//     return s;
//   }
//   template <> struct qv::json::TypeReader<Span> : StructReader<Span, span_spec> {};
//
//   auto span = read_typed<Span>(text);   // JsonResult<Span>
//
// Unit enums: `TypeReader<E> : UnitEnumReader<E, kWords>` with kWords an
// array of words in the order of E's values. Internally tagged enums: a
// TaggedSpec (tag name, variants with their own members, a function that
// records the variant) and `TypeReader<X> : TaggedReader<X, x_spec>`; a
// struct flattens one with `StructSpec::flatten = flattened<&S::member>()`.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "json/error.hpp"
#include "json/messages.hpp"
#include "json/parser.hpp"
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

template <class V>
class OrderedMap {
 public:
  using Entry = std::pair<std::string, V>;

  OrderedMap() = default;
  OrderedMap(std::initializer_list<Entry> entries) {
    for (const auto& [k, v] : entries) insert_or_assign(k, v);
  }

  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  auto begin() const { return entries_.begin(); }
  auto end() const { return entries_.end(); }
  const std::vector<Entry>& entries() const { return entries_; }

  const V* find(std::string_view key) const {
    if (!index_.empty()) {
      auto it = index_.find(std::string(key));
      return it == index_.end() ? nullptr : &entries_[it->second].second;
    }
    for (const Entry& e : entries_) {
      if (e.first == key) return &e.second;
    }
    return nullptr;
  }

  // Replaces the value of a present key in place, else appends.
  void insert_or_assign(std::string key, V value) {
    if (!index_.empty()) {
      auto [it, inserted] = index_.try_emplace(key, entries_.size());
      if (inserted) {
        entries_.emplace_back(std::move(key), std::move(value));
      } else {
        entries_[it->second].second = std::move(value);
      }
      return;
    }
    for (Entry& e : entries_) {
      if (e.first == key) {
        e.second = std::move(value);
        return;
      }
    }
    entries_.emplace_back(std::move(key), std::move(value));
    if (entries_.size() >= kIndexFrom) {
      index_.reserve(entries_.size() * 2);
      for (std::size_t i = 0; i < entries_.size(); ++i) index_.emplace(entries_[i].first, i);
    }
  }

  // Equal when the entries are equal in the same order.
  bool operator==(const OrderedMap& other) const { return entries_ == other.entries_; }

 private:
  // Small maps are searched in place; the index is built once a map grows,
  // so that filling one from hostile input stays linear.
  static constexpr std::size_t kIndexFrom = 16;
  std::vector<Entry> entries_;
  std::unordered_map<std::string, std::size_t> index_;
};

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

// ---------------------------------------------------------------------------
// Structs: a table of members.

enum class FieldKind : std::uint8_t {
  Required,  // must be present in both forms
  Optional,  // an Option member: absent is none in object form; in array
             // form it must be present (null allowed)
  Default,   // absent keeps the default in both forms
};

template <class T>
struct Field {
  std::string_view name;
  FieldKind kind;
  JsonResult<void> (*read)(Parser&, T&);
  JsonResult<void> (*from_value)(const Value&, T&);
};

namespace typed {
template <class C, class F>
C class_of(F C::*);
template <class C, class F>
F member_of(F C::*);
template <auto M>
using class_t = decltype(class_of(M));
template <auto M>
using member_t = decltype(member_of(M));
}  // namespace typed

template <auto M, class R = TypeReader<typed::member_t<M>>>
constexpr Field<typed::class_t<M>> field(std::string_view name, FieldKind kind) {
  using C = typed::class_t<M>;
  return Field<C>{name, kind, [](Parser& p, C& c) { return R::read(p, c.*M); },
                  [](const Value& v, C& c) { return R::from_value(v, c.*M); }};
}
template <auto M, class R = TypeReader<typed::member_t<M>>>
constexpr Field<typed::class_t<M>> required(std::string_view name) {
  return field<M, R>(name, FieldKind::Required);
}
// An std::optional member without a default.
template <auto M, class R = TypeReader<typed::member_t<M>>>
constexpr Field<typed::class_t<M>> optional(std::string_view name) {
  return field<M, R>(name, FieldKind::Optional);
}
// A member that keeps its constructed value when absent.
template <auto M, class R = TypeReader<typed::member_t<M>>>
constexpr Field<typed::class_t<M>> defaulted(std::string_view name) {
  return field<M, R>(name, FieldKind::Default);
}

template <class T>
struct StructSpec {
  std::string_view name;  // "Item": errors say "struct Item"
  std::vector<Field<T>> fields;
  // Refuse members of other names ("unknown field").
  bool deny_unknown_fields = false;
  // A flattened internally tagged enum: built, after the object, from the
  // members that are not the struct's own (see flattened()).
  JsonResult<void> (*flatten)(std::vector<Member>&, T&) = nullptr;
};

namespace typed {

template <class T>
std::vector<std::string_view> field_names(const std::vector<Field<T>>& fields) {
  std::vector<std::string_view> names;
  names.reserve(fields.size());
  for (const Field<T>& f : fields) names.push_back(f.name);
  return names;
}

template <class T>
const Field<T>* find_field(const std::vector<Field<T>>& fields, std::string_view key, std::size_t& index) {
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (fields[i].name == key) {
      index = i;
      return &fields[i];
    }
  }
  return nullptr;
}

// find_field, searching from `start` round to it again: members mostly come
// in table order, so the next one is found first. Names in a table are
// unique, so the field found is the same.
template <class T>
const Field<T>* find_field_from(const std::vector<Field<T>>& fields, std::string_view key, std::size_t start,
                                std::size_t& index) {
  const std::size_t n = fields.size();
  for (std::size_t k = 0, i = start; k < n; ++k, ++i) {
    if (i >= n) i = 0;
    if (fields[i].name == key) {
      index = i;
      return &fields[i];
    }
  }
  return nullptr;
}

// The members of an object, read into `out` (object form).
// Which members of a table were met: a word of bits for tables of up to 64
// members, a vector beyond.
class SeenFields {
 public:
  explicit SeenFields(std::size_t count) {
    if (count > 64) many_.assign(count, false);
  }
  bool test(std::size_t i) const { return many_.empty() ? ((bits_ >> i) & 1u) != 0 : static_cast<bool>(many_[i]); }
  void set(std::size_t i) {
    if (many_.empty()) {
      bits_ |= std::uint64_t{1} << i;
    } else {
      many_[i] = true;
    }
  }

 private:
  std::uint64_t bits_ = 0;
  std::vector<bool> many_;
};

// True when no member name holds a byte that a JSON string must escape, so
// that a key written as the name's own bytes reads as that name.
template <class T>
bool plain_names(const std::vector<Field<T>>& fields) {
  for (const Field<T>& f : fields) {
    for (const char c : f.name) {
      if (static_cast<unsigned char>(c) < 0x20 || c == '"' || c == '\\') return false;
    }
  }
  return true;
}

// `plain` is plain_names(table.fields): the member expected next is then
// recognised by its bytes, without reading the key as a string.
template <class T>
JsonResult<void> struct_members(Parser& p, const StructSpec<T>& table, bool plain, T& out) {
  SeenFields seen(table.fields.size());
  std::vector<Member> collected;
  std::string scratch;
  bool first = true;
  std::size_t next = 0;  // where the next member is looked for first
  for (;;) {
    auto more = p.next_entry('}', first);
    if (!more) return std::unexpected(std::move(more.error()));
    if (!*more) break;
    if (p.peek() != '"') return std::unexpected(p.peek_error(std::string(Parser::kKeyMustBeString)));
    std::size_t i = 0;
    const Field<T>* f = nullptr;
    std::string_view key;
    if (plain && next < table.fields.size() && p.take_key(table.fields[next].name)) {
      i = next;
      f = &table.fields[next];
      key = f->name;
    } else {
      p.eat();
      auto k = p.parse_string_view(scratch);
      if (!k) return std::unexpected(std::move(k.error()));
      key = *k;
      f = find_field_from(table.fields, key, next, i);
    }
    if (f != nullptr) {
      if (seen.test(i)) return std::unexpected(duplicate_field(f->name));
      seen.set(i);
      next = i + 1;
      if (auto r = object_colon(p); !r) return r;
      if (auto r = f->read(p, out); !r) return r;
    } else if (table.flatten != nullptr) {
      std::string name(key);
      if (auto r = object_colon(p); !r) return r;
      auto v = p.parse_value();
      if (!v) return std::unexpected(std::move(v.error()));
      collected.push_back(Member{std::move(name), std::move(*v)});
    } else if (table.deny_unknown_fields) {
      const auto names = field_names(table.fields);
      return std::unexpected(unknown_field(key, names));
    } else {
      if (auto r = object_colon(p); !r) return r;
      if (auto r = p.ignore_value(); !r) return r;
    }
  }
  for (std::size_t i = 0; i < table.fields.size(); ++i) {
    if (!seen.test(i) && table.fields[i].kind == FieldKind::Required) {
      return std::unexpected(missing_field(table.fields[i].name));
    }
  }
  if (table.flatten != nullptr) return table.flatten(collected, out);
  return {};
}

// The elements of an array, read as the members in declared order.
template <class T>
JsonResult<void> struct_elements(Parser& p, const std::vector<Field<T>>& fields, std::string_view expected,
                                 T& out) {
  bool first = true;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    auto more = next_element(p, first);
    if (!more) return std::unexpected(std::move(more.error()));
    if (*more) {
      if (auto r = fields[i].read(p, out); !r) return r;
    } else if (fields[i].kind != FieldKind::Default) {
      return std::unexpected(invalid_length(i, with_elements(expected, fields.size())));
    }
  }
  return {};
}

// Buffered members, read as the struct's members (duplicates are errors).
template <class T>
JsonResult<void> struct_from_members(std::span<const Member> members, const std::vector<Field<T>>& fields,
                                     bool deny_unknown, T& out) {
  std::vector<bool> seen(fields.size(), false);
  for (const Member& m : members) {
    std::size_t i = 0;
    if (const Field<T>* f = find_field(fields, m.key, i)) {
      if (seen[i]) return std::unexpected(duplicate_field(f->name));
      seen[i] = true;
      if (auto r = f->from_value(m.value, out); !r) return r;
    } else if (deny_unknown) {
      const auto names = field_names(fields);
      return std::unexpected(unknown_field(m.key, names));
    }
  }
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (!seen[i] && fields[i].kind == FieldKind::Required) return std::unexpected(missing_field(fields[i].name));
  }
  return {};
}

// Buffered elements, read as the members in declared order.
template <class T>
JsonResult<void> struct_from_elements(std::span<const Value> elements, const std::vector<Field<T>>& fields,
                                      std::string_view expected, T& out) {
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i < elements.size()) {
      if (auto r = fields[i].from_value(elements[i], out); !r) return r;
    } else if (fields[i].kind != FieldKind::Default) {
      return std::unexpected(invalid_length(i, with_elements(expected, fields.size())));
    }
  }
  if (elements.size() > fields.size()) {
    return std::unexpected(invalid_length(elements.size(), elements_in_sequence(fields.size())));
  }
  return {};
}

}  // namespace typed

// TableOf is a function returning the table, e.g. `const StructSpec<Item>&
// item_spec()`, so tables can be built once on first use.
template <class T, const StructSpec<T>& (*TableOf)()>
struct StructReader {
  static JsonResult<void> read(Parser& p, T& out) {
    const StructSpec<T>& table = TableOf();
    static const std::string expected = "struct " + std::string(TableOf().name);
    auto c = typed::peek_value_start(p);
    if (!c) return std::unexpected(std::move(c.error()));
    if (*c == '{') {
      static const bool plain = typed::plain_names(TableOf().fields);
      return typed::in_object(p, [&] { return typed::struct_members(p, table, plain, out); });
    }
    // A struct with a flattened member is read from an object only.
    if (*c == '[' && table.flatten == nullptr) {
      return typed::in_array(p, [&] { return typed::struct_elements(p, table.fields, expected, out); });
    }
    return std::unexpected(typed::peek_invalid_type(p, expected));
  }
  static JsonResult<void> from_value(const Value& v, T& out) {
    const StructSpec<T>& table = TableOf();
    const std::string expected = "struct " + std::string(table.name);
    if (v.is_object()) {
      std::vector<Member> members(v.as_object().begin(), v.as_object().end());
      if (table.flatten == nullptr) {
        return typed::struct_from_members<T>(members, table.fields, table.deny_unknown_fields, out);
      }
      std::vector<bool> seen(table.fields.size(), false);
      std::vector<Member> rest;
      for (Member& m : members) {
        std::size_t i = 0;
        if (const Field<T>* f = typed::find_field(table.fields, m.key, i)) {
          if (seen[i]) return std::unexpected(duplicate_field(f->name));
          seen[i] = true;
          if (auto r = f->from_value(m.value, out); !r) return r;
        } else {
          rest.push_back(std::move(m));
        }
      }
      for (std::size_t i = 0; i < table.fields.size(); ++i) {
        if (!seen[i] && table.fields[i].kind == FieldKind::Required) {
          return std::unexpected(missing_field(table.fields[i].name));
        }
      }
      return table.flatten(rest, out);
    }
    if (v.is_array() && table.flatten == nullptr) {
      return typed::struct_from_elements<T>(v.as_array(), table.fields, expected, out);
    }
    return std::unexpected(invalid_type(describe(v), expected));
  }
};

// ---------------------------------------------------------------------------
// Unit enums: a word, or an object whose single member is the word with the
// value null. The value read is the word's index in `words`.

namespace typed {
JsonResult<std::size_t> read_unit_enum(Parser& p, std::span<const std::string_view> words);
JsonResult<std::size_t> unit_enum_from_value(const Value& v, std::span<const std::string_view> words);
}  // namespace typed

// Words is an array of std::string_view with static storage, in the order
// of E's values (e.g. core::kDecisionWords).
template <class E, const auto& Words>
struct UnitEnumReader {
  static JsonResult<void> read(Parser& p, E& out) {
    auto i = typed::read_unit_enum(p, Words);
    if (!i) return std::unexpected(std::move(i.error()));
    out = static_cast<E>(*i);
    return {};
  }
  static JsonResult<void> from_value(const Value& v, E& out) {
    auto i = typed::unit_enum_from_value(v, Words);
    if (!i) return std::unexpected(std::move(i.error()));
    out = static_cast<E>(*i);
    return {};
  }
};

// ---------------------------------------------------------------------------
// Internally tagged enums: an object whose tag member names the variant, the
// variant's own members beside it; or an array of the tag and the variant's
// members in order.

template <class T>
struct VariantSpec {
  std::string_view word;  // the tag's value, e.g. "reproducible"
  std::string_view name;  // e.g. "Reproducible": "struct variant Determinism::Reproducible"
  bool unit;              // no members of its own
  std::vector<Field<T>> fields;
};

template <class T>
struct TaggedSpec {
  std::string_view name;  // "Determinism": "internally tagged enum Determinism"
  std::string_view tag;   // "class"
  std::vector<VariantSpec<T>> variants;
  // Records which variant was read (its index in `variants`).
  void (*select)(T&, std::size_t);
  // When set, the members beside the tag are only checked for syntax while
  // the object is read, and a variant's own members are read from the text
  // afterwards; the others are never parsed.
  bool keep_members_unparsed = false;
};

namespace typed {

template <class T>
std::vector<std::string_view> variant_words(const TaggedSpec<T>& table) {
  std::vector<std::string_view> words;
  for (const auto& v : table.variants) words.push_back(v.word);
  return words;
}

// Builds the selected variant from buffered members (object form).
template <class T>
JsonResult<void> variant_from_members(const TaggedSpec<T>& table, std::size_t index, std::span<const Member> members,
                                      T& out) {
  table.select(out, index);
  const VariantSpec<T>& v = table.variants[index];
  if (v.unit) return {};
  return struct_from_members<T>(members, v.fields, false, out);
}

// Builds the selected variant from buffered elements after the tag.
template <class T>
JsonResult<void> variant_from_elements(const TaggedSpec<T>& table, std::size_t index, std::span<const Value> elements,
                                       T& out) {
  table.select(out, index);
  const VariantSpec<T>& v = table.variants[index];
  if (v.unit) {
    if (!elements.empty()) return std::unexpected(invalid_length(elements.size(), elements_in_sequence(0)));
    return {};
  }
  const std::string expected = "struct variant " + std::string(table.name) + "::" + std::string(v.name);
  return struct_from_elements<T>(elements, v.fields, expected, out);
}

// Members kept aside as text: the key and where its value starts.
struct RawMember {
  std::string key;
  std::size_t start;
};

}  // namespace typed

template <class T, const TaggedSpec<T>& (*TableOf)()>
struct TaggedReader {
  static JsonResult<void> read(Parser& p, T& out) {
    const TaggedSpec<T>& table = TableOf();
    static const std::vector<std::string_view> words = typed::variant_words(TableOf());
    auto c = typed::peek_value_start(p);
    if (!c) return std::unexpected(std::move(c.error()));
    std::optional<std::size_t> tag;
    std::vector<Member> members;
    std::vector<Value> elements;
    std::vector<typed::RawMember> raw;  // members kept unparsed
    std::vector<std::size_t> raw_elements;
    if (*c == '{') {
      auto r = typed::in_object(p, [&]() -> JsonResult<void> {
        bool first = true;
        std::string scratch;
        for (;;) {
          auto key = typed::next_key(p, first, scratch);
          if (!key) return std::unexpected(std::move(key.error()));
          if (!*key) break;
          if (**key == table.tag) {
            if (tag) return std::unexpected(duplicate_field(table.tag));
            if (auto r = typed::object_colon(p); !r) return r;
            auto w = typed::read_variant_word(p, words);
            if (!w) return std::unexpected(std::move(w.error()));
            tag = *w;
            continue;
          }
          if (auto r = typed::object_colon(p); !r) return r;
          if (table.keep_members_unparsed) {
            p.peek_ws();
            raw.push_back({std::string(**key), p.index()});
            if (auto r = p.ignore_value(); !r) return r;
          } else {
            auto v = p.parse_value();
            if (!v) return std::unexpected(std::move(v.error()));
            members.push_back(Member{std::string(**key), std::move(*v)});
          }
        }
        if (!tag) return std::unexpected(missing_field(table.tag));
        return {};
      });
      if (!r) return r;
      if (table.keep_members_unparsed) {
        // Read only the members the variant has, from where they stand.
        const VariantSpec<T>& v = table.variants[*tag];
        for (const typed::RawMember& m : raw) {
          std::size_t i = 0;
          if (v.unit || typed::find_field(v.fields, m.key, i) == nullptr) continue;
          auto value = parse_at(p, m.start);
          if (!value) return std::unexpected(std::move(value.error()));
          members.push_back(Member{m.key, std::move(*value)});
        }
      }
      return typed::variant_from_members(table, *tag, members, out);
    }
    if (*c == '[') {
      auto r = typed::in_array(p, [&]() -> JsonResult<void> {
        bool first = true;
        auto more = typed::next_element(p, first);
        if (!more) return std::unexpected(std::move(more.error()));
        if (!*more) return std::unexpected(missing_field(table.tag));
        auto w = typed::read_variant_word(p, words);
        if (!w) return std::unexpected(std::move(w.error()));
        tag = *w;
        for (;;) {
          more = typed::next_element(p, first);
          if (!more) return std::unexpected(std::move(more.error()));
          if (!*more) return {};
          if (table.keep_members_unparsed) {
            p.peek_ws();
            raw_elements.push_back(p.index());
            if (auto r = p.ignore_value(); !r) return r;
          } else {
            auto v = p.parse_value();
            if (!v) return std::unexpected(std::move(v.error()));
            elements.push_back(std::move(*v));
          }
        }
      });
      if (!r) return r;
      if (table.keep_members_unparsed) {
        const VariantSpec<T>& v = table.variants[*tag];
        const std::size_t wanted = v.unit ? 0 : std::min(raw_elements.size(), v.fields.size());
        for (std::size_t i = 0; i < raw_elements.size(); ++i) {
          if (i < wanted) {
            auto value = parse_at(p, raw_elements[i]);
            if (!value) return std::unexpected(std::move(value.error()));
            elements.push_back(std::move(*value));
          } else {
            elements.emplace_back();  // counted, never read
          }
        }
      }
      return typed::variant_from_elements(table, *tag, elements, out);
    }
    // Any other value is read in full, then refused.
    auto v = p.parse_value();
    if (!v) return std::unexpected(std::move(v.error()));
    JsonError e = invalid_type(describe(*v), "internally tagged enum " + std::string(table.name));
    p.fix_position(e);
    return std::unexpected(std::move(e));
  }

  static JsonResult<void> from_value(const Value& v, T& out) {
    const TaggedSpec<T>& table = TableOf();
    if (v.is_object()) {
      std::vector<Member> members(v.as_object().begin(), v.as_object().end());
      return from_members(members, out);
    }
    if (v.is_array()) {
      const Array& a = v.as_array();
      if (a.empty()) return std::unexpected(missing_field(table.tag));
      auto w = typed::variant_from_value(a[0], typed::variant_words(table));
      if (!w) return std::unexpected(std::move(w.error()));
      return typed::variant_from_elements(table, *w, std::span<const Value>(a).subspan(1), out);
    }
    return std::unexpected(invalid_type(describe(v), "internally tagged enum " + std::string(table.name)));
  }

  // From buffered members in text order (a flattened enum): the first tag
  // is decoded when met, a second one is a duplicate.
  static JsonResult<void> from_members(std::vector<Member>& members, T& out) {
    const TaggedSpec<T>& table = TableOf();
    const auto words = typed::variant_words(table);
    std::optional<std::size_t> tag;
    std::vector<Member> rest;
    for (Member& m : members) {
      if (m.key == table.tag) {
        if (tag) return std::unexpected(duplicate_field(table.tag));
        auto w = typed::variant_from_value(m.value, words);
        if (!w) return std::unexpected(std::move(w.error()));
        tag = *w;
      } else {
        rest.push_back(std::move(m));
      }
    }
    if (!tag) return std::unexpected(missing_field(table.tag));
    return typed::variant_from_members(table, *tag, rest, out);
  }

 private:
  static JsonResult<Value> parse_at(const Parser& outer, std::size_t start) {
    Parser sub(outer.text());
    sub.seek(start);
    return sub.parse_value();
  }
};

// A flattened internally tagged enum member, for StructSpec::flatten.
template <auto M>
constexpr JsonResult<void> (*flattened())(std::vector<Member>&, typed::class_t<M>&) {
  using C = typed::class_t<M>;
  return [](std::vector<Member>& members, C& c) { return TypeReader<typed::member_t<M>>::from_members(members, c.*M); };
}

// ---------------------------------------------------------------------------
// A whole document: one value of T and nothing after it but white space.

template <class T, class R = TypeReader<T>>
JsonResult<T> read_typed(std::string_view text) {
  Parser p(text);
  T out{};
  if (auto r = R::read(p, out); !r) return std::unexpected(std::move(r.error()));
  if (auto r = p.end(); !r) return std::unexpected(std::move(r.error()));
  return out;
}

}  // namespace qv::json
