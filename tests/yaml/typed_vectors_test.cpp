// Typed reading against the reference cases of section "c" of yaml.jsonl,
// for the shapes policies use: a struct that refuses unknown keys, a unit
// enum, text, a boolean, a list of text and an optional text. The other
// types of that section (integers, floats, maps, enums with data, untagged
// and flattened enums, and the struct Y built on them) are no policy shape.
#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "common/vectors.hpp"
#include "json/writer.hpp"
#include "yaml/typed.hpp"

namespace qv::yaml {
namespace {

struct C {
  std::string p;
  std::string q;
};
const StructTable<C>& c_table() {
  static const StructTable<C> t{"C", {required<&C::p>("p"), defaulted<&C::q>("q")}, true};
  return t;
}

enum class E { Alpha, Beta, Gamma };
constexpr std::array<std::string_view, 3> kEWords = {"Alpha", "Beta", "Gamma"};

}  // namespace

template <>
struct TypeReader<C> : StructReader<C, c_table> {};
template <>
struct TypeReader<E> : UnitEnumReader<E, kEWords> {};

namespace {

// The value read, as the reference writes it in JSON.
std::string ok_text(const C& c) {
  json::Object o;
  o.insert_or_assign("p", json::Value(c.p));
  o.insert_or_assign("q", json::Value(c.q));
  return json::write_json_compact(json::Value(std::move(o)));
}
std::string ok_text(E e) { return json::write_json_compact(json::Value(kEWords[static_cast<std::size_t>(e)])); }
std::string ok_text(const std::string& s) { return json::write_json_compact(json::Value(s)); }
std::string ok_text(bool b) { return b ? "true" : "false"; }
std::string ok_text(const std::vector<std::string>& v) {
  json::Array a;
  for (const auto& s : v) a.emplace_back(s);
  return json::write_json_compact(json::Value(std::move(a)));
}
std::string ok_text(const std::optional<std::string>& v) { return v ? ok_text(*v) : "null"; }

struct Outcome {
  std::optional<std::string> ok;
  std::optional<YamlError> err;
};

// The typed reading alone, over the events, as the reference ran it (the
// system reads a policy as a tree first, which refuses repeated keys).
template <class T>
Outcome run(const std::string& in) {
  const Document doc = load_document(in);
  auto r = read_typed<T>(doc);
  if (r) return Outcome{ok_text(*r), std::nullopt};
  return Outcome{std::nullopt, r.error()};
}

std::optional<Outcome> read_as(const std::string& type, const std::string& in) {
  if (type == "C") return run<C>(in);
  if (type == "E") return run<E>(in);
  if (type == "String") return run<std::string>(in);
  if (type == "bool") return run<bool>(in);
  if (type == "Vec<String>") return run<std::vector<std::string>>(in);
  if (type == "Option<String>") return run<std::optional<std::string>>(in);
  return std::nullopt;
}

TEST(YamlTypedVectors, SectionCPolicyShapes) {
  std::size_t compared = 0, not_policy_shapes = 0, enum_collections = 0, empty_text = 0;
  for (const json::Value& line : qv::testing::read_vectors("yaml.jsonl")) {
    if (qv::testing::member_text(line, "section") != "c") continue;
    const std::string type = qv::testing::member_text(line, "type");
    const std::string in = qv::testing::member_text(line, "in");
    const auto got = read_as(type, in);
    if (!got) {
      ++not_policy_shapes;
      continue;
    }
    ++compared;
    const std::string where = type + ": " + in;
    if (in.empty() && line.find("ok") != nullptr) {
      // A text without any document is refused whatever the type; the
      // library reads it as null for an optional.
      ASSERT_TRUE(got->err) << where;
      EXPECT_EQ(got->err->display(), "EOF while parsing a value");
      ++empty_text;
      continue;
    }
    if (line.find("ok") != nullptr) {
      ASSERT_TRUE(got->ok) << where << " -> " << got->err->display();
      EXPECT_EQ(*got->ok, qv::testing::member_text(line, "ok")) << where;
      continue;
    }
    ASSERT_TRUE(got->err) << where << " -> " << *got->ok;
    std::string expected = qv::testing::member_text(line, "err");
    // An enumeration given a mapping or a sequence is refused as not being a
    // variant identifier; the library asks for a YAML tag instead.
    const std::string library = "expected a YAML tag starting with '!'";
    if (const auto at = expected.find(library); at != std::string::npos) {
      expected.replace(at, library.size(), "expected variant identifier");
      ++enum_collections;
    }
    EXPECT_EQ(got->err->display(), expected) << where;
    if (line.find("line") != nullptr) {
      ASSERT_TRUE(got->err->mark) << where;
      EXPECT_EQ(got->err->mark->line + 1, line.find("line")->as_u64()) << where;
      EXPECT_EQ(got->err->mark->column + 1, line.find("column")->as_u64()) << where;
    } else {
      EXPECT_FALSE(got->err->mark) << where;
    }
  }
  EXPECT_EQ(compared, 69u);
  EXPECT_EQ(not_policy_shapes, 205u);
  EXPECT_EQ(enum_collections, 6u);
  EXPECT_EQ(empty_text, 1u);
}

}  // namespace
}  // namespace qv::yaml
