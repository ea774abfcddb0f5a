// The writer against the reference cases of emitted texts (section "b" of
// yaml.jsonl): each value is written, the text compared byte for byte, and
// the text read back and compared with the reference reading.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <string>

#include "common/vectors.hpp"
#include "json/reader.hpp"
#include "json/writer.hpp"
#include "tree_form.hpp"
#include "yaml/emit.hpp"
#include "yaml/tree.hpp"

namespace qv::yaml {
namespace {

Node from_json(const json::Value& v) {
  switch (v.kind()) {
    case json::Value::Kind::Null:
      return Node::null();
    case json::Value::Kind::Bool:
      return Node::boolean(v.as_bool());
    case json::Value::Kind::U64:
      return Node::u64(v.as_u64());
    case json::Value::Kind::I64:
      return Node::i64(v.as_i64());
    case json::Value::Kind::F64:
      return Node::f64(v.as_f64());
    case json::Value::Kind::String:
      return Node::string(v.as_string());
    case json::Value::Kind::Array: {
      Sequence s;
      for (const json::Value& item : v.as_array()) s.push_back(from_json(item));
      return Node::sequence(std::move(s));
    }
    case json::Value::Kind::Object: {
      Mapping m;
      for (const json::Member& member : v.as_object()) m.emplace_back(Node::string(member.key), from_json(member.value));
      return Node::mapping(std::move(m));
    }
  }
  return Node::null();
}

Node seq(std::initializer_list<Node> items) { return Node::sequence(Sequence(items)); }
Node map(std::initializer_list<std::pair<Node, Node>> entries) { return Node::mapping(Mapping(entries)); }
Node str(const char* s) { return Node::string(s); }

// The Rust values of the cases, as trees. Left out: u128::MAX and
// i128::MIN (the tree holds no integers wider than 64 bits), 0.1f32 (a
// 32-bit float, which the system never writes), Rust chars (written in
// single quotes; the tree has strings only) and a tag built in code as
// "!!str" (a tag read from text never keeps a second "!").
const std::map<std::string, std::function<Node()>>& rust_values() {
  static const std::map<std::string, std::function<Node()>> values = {
      {"f64::NAN", [] { return Node::f64(std::numeric_limits<double>::quiet_NaN()); }},
      {"f64::INFINITY", [] { return Node::f64(std::numeric_limits<double>::infinity()); }},
      {"f64::NEG_INFINITY", [] { return Node::f64(-std::numeric_limits<double>::infinity()); }},
      {"-0.0f64", [] { return Node::f64(-0.0); }},
      {"0.0f64", [] { return Node::f64(0.0); }},
      {"1.0f64", [] { return Node::f64(1.0); }},
      {"1e20f64", [] { return Node::f64(1e20); }},
      {"1e21f64", [] { return Node::f64(1e21); }},
      {"1e-7f64", [] { return Node::f64(1e-7); }},
      {"0.1f64+0.2f64", [] { return Node::f64(0.1 + 0.2); }},
      {"f64::MAX", [] { return Node::f64(std::numeric_limits<double>::max()); }},
      {"f64::MIN_POSITIVE", [] { return Node::f64(std::numeric_limits<double>::min()); }},
      {"5e-324f64", [] { return Node::f64(5e-324); }},
      {"1.5f32", [] { return Node::f64(1.5); }},
      {"u64::MAX", [] { return Node::u64(std::numeric_limits<std::uint64_t>::max()); }},
      {"i64::MIN", [] { return Node::i64(std::numeric_limits<std::int64_t>::min()); }},
      {"() unit", [] { return Node::null(); }},
      {"None::<u32>", [] { return Node::null(); }},
      {"Some(3u32)", [] { return Node::u64(3); }},
      {"(1u32, \"a\", true) tuple", [] { return seq({Node::u64(1), str("a"), Node::boolean(true)}); }},
      {"E::Alpha", [] { return str("Alpha"); }},
      {"vec![E::Alpha, E::Beta]", [] { return seq({str("Alpha"), str("Beta")}); }},
      {"V::Custom(\"x\")", [] { return Node::tagged("Custom", str("x")); }},
      {"V::Pair{a:1,b:2}", [] { return Node::tagged("Pair", map({{str("a"), Node::u64(1)}, {str("b"), Node::u64(2)}})); }},
      {"X::New(5)", [] { return Node::tagged("New", Node::u64(5)); }},
      {"X::Tup(1,2)", [] { return Node::tagged("Tup", seq({Node::u64(1), Node::u64(2)})); }},
      {"X::Rec{a:3}", [] { return Node::tagged("Rec", map({{str("a"), Node::u64(3)}})); }},
      {"vec![X::Unit, X::New(1)]", [] { return seq({str("Unit"), Node::tagged("New", Node::u64(1))}); }},
      {"T::Reproducible{tolerance:0.5}",
       [] { return map({{str("class"), str("reproducible")}, {str("tolerance"), Node::f64(0.5)}}); }},
      {"R{id:\"r1\", m:M::Tool{name:\"t\",server:None}, effect:E::Gamma}",
       [] {
         return map({{str("id"), str("r1")},
                     {str("match"), str("tool")},
                     {str("name"), str("t")},
                     {str("server"), Node::null()},
                     {str("effect"), str("Gamma")}});
       }},
      {"N(7) newtype struct", [] { return Node::u64(7); }},
      {"P2(7, \"s\") tuple struct", [] { return seq({Node::u64(7), str("s")}); }},
      {"Z unit struct", [] { return Node::null(); }},
      {"BTreeMap{1u32:\"a\", 2u32:\"b\"}", [] { return map({{Node::u64(1), str("a")}, {Node::u64(2), str("b")}}); }},
      {"BTreeMap{(1,2):\"tuple key\"}", [] { return map({{seq({Node::u64(1), Node::u64(2)}), str("tuple key")}}); }},
      {"BTreeMap{true:1, false:0}",
       [] { return map({{Node::boolean(false), Node::u64(0)}, {Node::boolean(true), Node::u64(1)}}); }},
      {"Vec<Vec<u32>> [[1,2],[],[3]]",
       [] { return seq({seq({Node::u64(1), Node::u64(2)}), seq({}), seq({Node::u64(3)})}); }},
      {"serde_norway::Value tagged !Foo 1", [] { return Node::tagged("Foo", Node::u64(1)); }},
      {"serde_norway::Value mapping with null/seq keys",
       [] {
         return map({{Node::null(), str("n")}, {seq({Node::u64(1)}), str("s")}, {Node::f64(1.5), Node::boolean(true)}});
       }},
      {"bytes &[u8] [1,2,3] via serde_bytes-less Vec<u8>", [] { return seq({Node::u64(1), Node::u64(2), Node::u64(3)}); }},
      {"String \"\" (empty)", [] { return str(""); }},
  };
  return values;
}

TEST(YamlEmitVectors, SectionB) {
  std::size_t emitted = 0, read_back = 0, emit_set_aside = 0;
  for (const json::Value& line : qv::testing::read_vectors("yaml.jsonl")) {
    if (qv::testing::member_text(line, "section") != "b") continue;
    const std::string yaml_text = qv::testing::member_text(line, "yaml");
    std::optional<Node> value;
    if (line.find("value") != nullptr) {
      auto v = json::read_json(qv::testing::member_text(line, "value"));
      ASSERT_TRUE(v) << qv::testing::member_text(line, "value");
      value = from_json(*v);
    } else {
      const std::string rust = qv::testing::member_text(line, "in_rust");
      const auto it = rust_values().find(rust);
      if (it != rust_values().end()) value = it->second();
      const bool aside = rust == "u128::MAX" || rust == "i128::MIN" || rust == "0.1f32" || rust.ends_with(" char") ||
                         rust.find("Tag::new(\"!!str\")") != std::string::npos;
      ASSERT_TRUE(value.has_value() || aside) << "no tree for " << rust;
      if (aside) ++emit_set_aside;
    }
    if (value) {
      auto text = write_yaml(*value);
      ASSERT_TRUE(text) << text.error().display();
      EXPECT_EQ(*text, yaml_text) << json::write_json_compact(line);
      ++emitted;
    }
    auto back = read_tree(yaml_text);
    if (line.find("back_err") != nullptr) {
      ASSERT_FALSE(back) << yaml_text;
      EXPECT_EQ(back.error().display(), qv::testing::member_text(line, "back_err"));
    } else {
      ASSERT_TRUE(back) << yaml_text << ": " << back.error().display();
      EXPECT_EQ(json::write_json_compact(testing::tree_form(*back)), qv::testing::member_text(line, "back")) << yaml_text;
    }
    ++read_back;
  }
  EXPECT_EQ(read_back, 295u);
  EXPECT_EQ(emitted, 289u);
  EXPECT_EQ(emit_set_aside, 6u);
}

}  // namespace
}  // namespace qv::yaml
