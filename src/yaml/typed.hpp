#pragma once
// Typed reading of YAML: record types described by tables of their fields,
// read from the events of one document with the field errors of the JSON
// layer ("missing field `x`", "unknown field `x`, expected ...", "invalid
// type: U, expected E", "unknown variant `v`, expected ...") and the YAML
// path and position of the node concerned.
//
// What each target accepts:
//   std::string     any scalar, any style, its text as written (`~` is "~",
//                   `2` is "2"); a collection is refused ("a string");
//   std::optional<X> absent for a plain empty, ~, null, Null or NULL (or one
//                   of the last four tagged !!null), else X;
//   std::vector<X>  a sequence; a plain empty scalar is an empty list;
//   bool            a plain true/True/TRUE/false/False/FALSE (or such a
//                   literal block tagged !!bool);
//   unit enums      (UnitEnumReader) a scalar of any style matched on its
//                   text, or a local tag naming the word on a null value; a
//                   collection is refused ("variant identifier");
//   structs         (StructReader over a StructTable) a mapping, or a plain
//                   empty scalar read as an empty mapping; keys matched on
//                   their raw text; a struct is built fresh, so a field that
//                   is absent keeps the value T{} gives it.
//
//   struct Scope { std::vector<std::string> required; core::Decision missing = core::Decision::Review; };
//   const StructTable<Scope>& scope_table() {
//     static const StructTable<Scope> t{"ScopeRules", {defaulted<&Scope::required>("required"),
//                                                      defaulted<&Scope::missing>("missing_scope")}, true};
//     return t;
//   }
//   template <> struct qv::yaml::TypeReader<Scope> : StructReader<Scope, scope_table> {};
//   auto scope = read_typed<Scope>(text);   // YamlResult<Scope>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "json/typed.hpp"
#include "yaml/error.hpp"
#include "yaml/events.hpp"
#include "yaml/path.hpp"
#include "yaml/tree.hpp"

namespace qv::yaml {

template <class T>
struct TypeReader;

// The reading position in a document's events, with the path to the node
// read and the count of aliases followed.
class Cursor {
 public:
  explicit Cursor(const Document& doc) : doc_(doc), jump_limit_(kAliasesPerEvent * doc.events.size()) {}

  bool at_end() const { return pos_ >= doc_.events.size(); }
  const Event& event() const { return doc_.events[pos_]; }
  void advance() { ++pos_; }
  void skip() { pos_ = skip_node(doc_.events, pos_); }
  PathStack& path() { return path_; }

  // The error for events that end early: the parser's, or EOF.
  YamlError ran_out() const { return doc_.error ? *doc_.error : bare_error(kEofWhileParsing); }
  // An error about a node, with the current path.
  YamlError at(std::string message, const Mark& mark) const {
    return YamlError{std::move(message), path_.text(), mark, false};
  }

  // When the current event is an alias, moves to the node it names and
  // returns where to resume afterwards; fails past the repetition limit.
  YamlResult<std::optional<std::size_t>> enter_alias();
  void resume(std::optional<std::size_t> at) {
    if (at) pos_ = *at;
  }

 private:
  const Document& doc_;
  std::size_t pos_ = 0;
  std::size_t jumps_ = 0;
  std::size_t jump_limit_;
  PathStack path_;
};

// Reads the node at the cursor (following an alias) with reader R.
template <class R, class T>
YamlResult<void> read_value(Cursor& c, T& out) {
  if (c.at_end()) return std::unexpected(c.ran_out());
  auto resume = c.enter_alias();
  if (!resume) return std::unexpected(std::move(resume.error()));
  if (c.at_end()) return std::unexpected(c.ran_out());
  auto r = R::read(c, out);
  c.resume(*resume);
  return r;
}

namespace typed {
// How a found node is described: unit value, boolean `true`, integer `5`,
// floating point `1.5`, string "x", sequence, map.
std::string describe(const Event& e);
// "invalid type: {describe}, expected {expected}" at the node.
YamlError invalid_type(Cursor& c, std::string_view expected);
// A plain empty scalar: an empty list or section.
inline bool is_plain_empty(const Event& e) {
  return e.kind == EventKind::Scalar && e.is_plain_untagged() && e.text.empty();
}
// Null for an optional: a plain ~, null, Null, NULL or empty, untagged; or
// a plain one of the four words tagged !!null. `bad_null` is set for a
// plain !!null scalar whose text is none of them.
bool is_absent(const Event& e, bool& bad_null);
YamlError bad_null(Cursor& c);
}  // namespace typed

template <>
struct TypeReader<std::string> {
  static YamlResult<void> read(Cursor& c, std::string& out);
};

template <>
struct TypeReader<bool> {
  static YamlResult<void> read(Cursor& c, bool& out);
};

template <class X, class R = TypeReader<X>>
struct OptionReader {
  static YamlResult<void> read(Cursor& c, std::optional<X>& out) {
    bool bad = false;
    if (typed::is_absent(c.event(), bad)) {
      c.advance();
      out.reset();
      return {};
    }
    if (bad) return std::unexpected(typed::bad_null(c));
    return R::read(c, out.emplace());
  }
};
template <class X>
struct TypeReader<std::optional<X>> : OptionReader<X> {};

template <class X, class R = TypeReader<X>>
struct SequenceReader {
  static YamlResult<void> read(Cursor& c, std::vector<X>& out) {
    const Event& e = c.event();
    if (typed::is_plain_empty(e)) {
      c.advance();
      out.clear();
      return {};
    }
    if (e.kind != EventKind::SequenceStart) return std::unexpected(typed::invalid_type(c, "a sequence"));
    c.advance();
    std::vector<X> items;
    for (std::size_t i = 0;; ++i) {
      if (c.at_end()) return std::unexpected(c.ran_out());
      if (c.event().kind == EventKind::SequenceEnd) {
        c.advance();
        out = std::move(items);
        return {};
      }
      c.path().push_index(i);
      auto r = read_value<R>(c, items.emplace_back());
      c.path().pop();
      if (!r) return r;
    }
  }
};
template <class X>
struct TypeReader<std::vector<X>> : SequenceReader<X> {};

// ---------------------------------------------------------------------------
// Unit enums: Words is an array of std::string_view in the order of E's
// values (e.g. core::kDecisionWords).

namespace typed {
YamlResult<std::size_t> read_variant(Cursor& c, std::span<const std::string_view> words);
}

template <class E, const auto& Words>
struct UnitEnumReader {
  static YamlResult<void> read(Cursor& c, E& out) {
    auto i = typed::read_variant(c, Words);
    if (!i) return std::unexpected(std::move(i.error()));
    out = static_cast<E>(*i);
    return {};
  }
};

// ---------------------------------------------------------------------------
// Structs.

using json::FieldKind;

template <class T>
struct Field {
  std::string_view name;
  FieldKind kind;
  YamlResult<void> (*read)(Cursor&, T&);
};

template <auto M, class R = TypeReader<json::typed::member_t<M>>>
constexpr Field<json::typed::class_t<M>> field(std::string_view name, FieldKind kind) {
  using C = json::typed::class_t<M>;
  return Field<C>{name, kind, [](Cursor& c, C& x) { return read_value<R>(c, x.*M); }};
}
// Must be present.
template <auto M, class R = TypeReader<json::typed::member_t<M>>>
constexpr Field<json::typed::class_t<M>> required(std::string_view name) {
  return yaml::field<M, R>(name, FieldKind::Required);
}
// An std::optional member: absent is none.
template <auto M, class R = TypeReader<json::typed::member_t<M>>>
constexpr Field<json::typed::class_t<M>> optional(std::string_view name) {
  return yaml::field<M, R>(name, FieldKind::Optional);
}
// Absent keeps the value T{} gives it.
template <auto M, class R = TypeReader<json::typed::member_t<M>>>
constexpr Field<json::typed::class_t<M>> defaulted(std::string_view name) {
  return yaml::field<M, R>(name, FieldKind::Default);
}

template <class T>
struct StructTable {
  std::string_view name;  // "Policy": errors say "struct Policy"
  std::vector<Field<T>> fields;
  // Refuse keys of other names ("unknown field"); else their values are
  // passed over.
  bool deny_unknown_fields = false;
};

namespace typed {

// The key of a mapping entry: its text, with the cursor after it; a
// collection as key is refused ("field identifier").
YamlResult<std::string_view> read_key(Cursor& c);
YamlError unknown_field(Cursor& c, std::string_view key, const Mark& mark, std::span<const std::string_view> names);
YamlError missing_field(Cursor& c, std::string_view name, const Mark& mark);
YamlError duplicate_field(Cursor& c, std::string_view name, const Mark& mark);

template <class T>
std::vector<std::string_view> field_names(const StructTable<T>& table) {
  std::vector<std::string_view> names;
  for (const Field<T>& f : table.fields) names.push_back(f.name);
  return names;
}

template <class T>
YamlResult<void> check_missing(Cursor& c, const StructTable<T>& table, const std::vector<bool>& seen,
                               const Mark& mark) {
  for (std::size_t i = 0; i < table.fields.size(); ++i) {
    if (!seen[i] && table.fields[i].kind == FieldKind::Required) {
      return std::unexpected(missing_field(c, table.fields[i].name, mark));
    }
  }
  return {};
}

}  // namespace typed

template <class T, const StructTable<T>& (*TableOf)()>
struct StructReader {
  static YamlResult<void> read(Cursor& c, T& out) {
    const StructTable<T>& table = TableOf();
    const Event& start = c.event();
    const Mark mark = start.mark;
    std::vector<bool> seen(table.fields.size(), false);
    if (typed::is_plain_empty(start)) {
      c.advance();
      if (auto r = typed::check_missing(c, table, seen, mark); !r) return r;
      out = T{};
      return {};
    }
    if (start.kind != EventKind::MappingStart) {
      return std::unexpected(typed::invalid_type(c, "struct " + std::string(table.name)));
    }
    c.advance();
    T fresh{};
    for (;;) {
      if (c.at_end()) return std::unexpected(c.ran_out());
      if (c.event().kind == EventKind::MappingEnd) {
        c.advance();
        break;
      }
      const Mark key_mark = c.event().mark;
      auto key = typed::read_key(c);
      if (!key) return std::unexpected(std::move(key.error()));
      std::size_t i = 0;
      while (i < table.fields.size() && table.fields[i].name != *key) ++i;
      if (i == table.fields.size()) {
        if (table.deny_unknown_fields) {
          const auto names = typed::field_names(table);
          return std::unexpected(typed::unknown_field(c, *key, key_mark, names));
        }
        if (c.at_end()) return std::unexpected(c.ran_out());
        c.skip();
        continue;
      }
      if (seen[i]) return std::unexpected(typed::duplicate_field(c, table.fields[i].name, mark));
      seen[i] = true;
      c.path().push_key(table.fields[i].name);
      auto r = table.fields[i].read(c, fresh);
      c.path().pop();
      if (!r) return r;
    }
    if (auto r = typed::check_missing(c, table, seen, mark); !r) return r;
    out = std::move(fresh);
    return {};
  }
};

// ---------------------------------------------------------------------------
// Whole documents.

// Reads the first document of events that passed build_tree (so repeated
// keys and alias abuse are already refused) as a T. No document at all
// fails with "EOF while parsing a value".
template <class T, class R = TypeReader<T>>
YamlResult<T> read_typed(const Document& doc) {
  if (doc.no_document) return std::unexpected(bare_error(kEofWhileParsing));
  Cursor c(doc);
  T out{};
  if (auto r = read_value<R>(c, out); !r) return std::unexpected(std::move(r.error()));
  if (doc.error) return std::unexpected(*doc.error);
  if (doc.more_documents) return std::unexpected(bare_error(kMoreThanOneDocument));
  return out;
}

// Reads a text as a tree first (its errors come first), then as a T.
template <class T, class R = TypeReader<T>>
YamlResult<T> read_typed(std::string_view text) {
  const Document doc = load_document(text);
  if (auto tree = build_tree(doc); !tree) return std::unexpected(std::move(tree.error()));
  return read_typed<T, R>(doc);
}

}  // namespace qv::yaml
