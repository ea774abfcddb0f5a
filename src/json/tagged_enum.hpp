#pragma once
// Typed reading of enums: unit enums (a word) and internally tagged enums
// (a table of variants, VariantTable, read by TaggedReader).
#include "json/struct_table.hpp"

namespace qv::json {

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
struct Variant {
  std::string_view word;  // the tag's value, e.g. "reproducible"
  std::string_view name;  // e.g. "Reproducible": "struct variant Determinism::Reproducible"
  bool unit;              // no members of its own
  std::vector<Field<T>> fields;
};

template <class T>
struct VariantTable {
  std::string_view name;  // "Determinism": "internally tagged enum Determinism"
  std::string_view tag;   // "class"
  std::vector<Variant<T>> variants;
  // Records which variant was read (its index in `variants`).
  void (*select)(T&, std::size_t);
  // When set, the members beside the tag are only checked for syntax while
  // the object is read, and a variant's own members are read from the text
  // afterwards; the others are never parsed.
  bool keep_members_unparsed = false;
};

namespace typed {

template <class T>
std::vector<std::string_view> variant_words(const VariantTable<T>& table) {
  std::vector<std::string_view> words;
  for (const auto& v : table.variants) words.push_back(v.word);
  return words;
}

// Builds the selected variant from buffered members (object form).
template <class T>
JsonResult<void> variant_from_members(const VariantTable<T>& table, std::size_t index, std::span<const Member> members,
                                      T& out) {
  table.select(out, index);
  const Variant<T>& v = table.variants[index];
  if (v.unit) return {};
  return struct_from_members<T>(members, v.fields, false, out);
}

// Builds the selected variant from buffered elements after the tag.
template <class T>
JsonResult<void> variant_from_elements(const VariantTable<T>& table, std::size_t index, std::span<const Value> elements,
                                       T& out) {
  table.select(out, index);
  const Variant<T>& v = table.variants[index];
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

template <class T, const VariantTable<T>& (*TableOf)()>
struct TaggedReader {
  static JsonResult<void> read(Parser& p, T& out) {
    const VariantTable<T>& table = TableOf();
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
        const Variant<T>& v = table.variants[*tag];
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
        const Variant<T>& v = table.variants[*tag];
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
    const VariantTable<T>& table = TableOf();
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
    const VariantTable<T>& table = TableOf();
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

// A flattened internally tagged enum member, for StructTable::flatten.
template <auto M>
constexpr JsonResult<void> (*flattened())(std::vector<Member>&, typed::class_t<M>&) {
  using C = typed::class_t<M>;
  return [](std::vector<Member>& members, C& c) { return TypeReader<typed::member_t<M>>::from_members(members, c.*M); };
}

}  // namespace qv::json
