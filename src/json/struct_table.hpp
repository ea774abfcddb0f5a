#pragma once
// Typed reading of structs: a table of members (StructTable) and its reader
// (StructReader), in object and array form.
#include <tuple>

#include "json/scalar_readers.hpp"

namespace qv::json {

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
// One member of a struct, stated once: its name, how it may be absent, the
// member it reads into and the reader it reads with. It converts to the
// Field a StructTable holds; a list of them (a std::tuple) can also drive
// writers, which reach the member through `member`.
template <auto M, class R>
struct MemberField {
  static constexpr auto member = M;
  std::string_view name;
  FieldKind kind;
  constexpr operator Field<typed::class_t<M>>() const { return field<M, R>(name, kind); }
};

template <auto M, class R = TypeReader<typed::member_t<M>>>
constexpr MemberField<M, R> required(std::string_view name) {
  return {name, FieldKind::Required};
}
// An std::optional member without a default.
template <auto M, class R = TypeReader<typed::member_t<M>>>
constexpr MemberField<M, R> optional(std::string_view name) {
  return {name, FieldKind::Optional};
}
// A member that keeps its constructed value when absent.
template <auto M, class R = TypeReader<typed::member_t<M>>>
constexpr MemberField<M, R> defaulted(std::string_view name) {
  return {name, FieldKind::Default};
}

// The fields of a member list, in its order.
template <class T, class... Members>
std::vector<Field<T>> fields_of(const std::tuple<Members...>& members) {
  return std::apply([](const auto&... m) { return std::vector<Field<T>>{Field<T>(m)...}; }, members);
}

template <class T>
struct StructTable {
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
JsonResult<void> struct_members(Parser& p, const StructTable<T>& table, bool plain, T& out) {
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

// TableOf is a function returning the table, e.g. `const StructTable<Item>&
// item_table()`, so tables can be built once on first use.
template <class T, const StructTable<T>& (*TableOf)()>
struct StructReader {
  static JsonResult<void> read(Parser& p, T& out) {
    const StructTable<T>& table = TableOf();
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
    const StructTable<T>& table = TableOf();
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

}  // namespace qv::json
