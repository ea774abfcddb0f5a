// Typed reading of policy-shaped documents: sections, optional sections,
// lists of records, enumerations and booleans, with the path and position
// of each refusal.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/vocabulary.hpp"
#include "yaml/typed.hpp"
#include "yaml/vocabulary.hpp"

namespace qv::yaml {
namespace {

struct Rules {
  std::vector<std::string> from;
  core::Decision unresolved = core::Decision::Review;
  std::vector<core::ClaimKind> kinds;
};
struct Judge {
  bool required = false;
};
struct Control {
  std::string framework;
  std::string requirement;
  std::vector<core::Decision> triggered_by;
};
struct Doc {
  std::string id;
  std::optional<std::string> pass_means;
  std::optional<Judge> judge;
  Rules rules{{"default"}, core::Decision::Fail, {}};
  std::vector<Control> controls;
};

const StructTable<Rules>& rules_table() {
  static const StructTable<Rules> t{"Rules",
                                    {defaulted<&Rules::from>("from"), defaulted<&Rules::unresolved>("unresolved"),
                                     defaulted<&Rules::kinds>("kinds")},
                                    true};
  return t;
}
const StructTable<Judge>& judge_table() {
  static const StructTable<Judge> t{"Judge", {defaulted<&Judge::required>("required")}, true};
  return t;
}
const StructTable<Control>& control_table() {
  static const StructTable<Control> t{"Control",
                                      {required<&Control::framework>("framework"),
                                       defaulted<&Control::requirement>("requirement"),
                                       required<&Control::triggered_by>("triggered_by")},
                                      true};
  return t;
}
const StructTable<Doc>& doc_table() {
  static const StructTable<Doc> t{"Doc",
                                  {required<&Doc::id>("id"), optional<&Doc::pass_means>("pass_means"),
                                   optional<&Doc::judge>("judge"), defaulted<&Doc::rules>("rules"),
                                   defaulted<&Doc::controls>("controls")},
                                  true};
  return t;
}

}  // namespace

template <>
struct TypeReader<Rules> : StructReader<Rules, rules_table> {};
template <>
struct TypeReader<Judge> : StructReader<Judge, judge_table> {};
template <>
struct TypeReader<Control> : StructReader<Control, control_table> {};
template <>
struct TypeReader<Doc> : StructReader<Doc, doc_table> {};

namespace {

std::string error_of(std::string_view text) {
  auto r = read_typed<Doc>(text);
  return r ? "read" : r.error().display();
}

TEST(YamlTyped, AbsentPresentAndEmptySections) {
  auto d = read_typed<Doc>("id: 7\n");
  ASSERT_TRUE(d) << d.error().display();
  EXPECT_EQ(d->id, "7");
  EXPECT_FALSE(d->pass_means);
  EXPECT_FALSE(d->judge);
  // An absent section keeps the record's own default; a present one starts
  // from the section's defaults.
  EXPECT_EQ(d->rules.from, std::vector<std::string>{"default"});
  EXPECT_EQ(d->rules.unresolved, core::Decision::Fail);
  for (const char* text : {"id: a\nrules:\n", "id: a\nrules: {}\n"}) {
    auto e = read_typed<Doc>(text);
    ASSERT_TRUE(e) << e.error().display();
    EXPECT_TRUE(e->rules.from.empty());
    EXPECT_EQ(e->rules.unresolved, core::Decision::Review);
  }
  auto j = read_typed<Doc>("id: ~\npass_means: ''\njudge: {}\nrules: {from: , kinds: [word, 'numeric']}\n");
  ASSERT_TRUE(j) << j.error().display();
  EXPECT_EQ(j->id, "~");
  EXPECT_EQ(j->pass_means, "");
  ASSERT_TRUE(j->judge);
  EXPECT_FALSE(j->judge->required);
  EXPECT_TRUE(j->rules.from.empty());
  EXPECT_EQ(j->rules.kinds, (std::vector<core::ClaimKind>{core::ClaimKind::Word, core::ClaimKind::Numeric}));
  for (const char* absent : {"judge:", "judge: ~", "judge: null", "judge: !!null NULL"}) {
    auto k = read_typed<Doc>(std::string("id: a\n") + absent + "\n");
    ASSERT_TRUE(k) << absent;
    EXPECT_FALSE(k->judge) << absent;
  }
  // A boolean is a plain scalar whatever its tag, or a literal block tagged
  // !!bool.
  for (const char* yes : {"{required: !!str True}\n", "\n  required: !!bool |-\n    true\n"}) {
    auto b = read_typed<Doc>(std::string("id: a\njudge: ") + yes);
    ASSERT_TRUE(b) << yes << ": " << b.error().display();
    EXPECT_TRUE(b->judge->required) << yes;
  }
  auto aliased = read_typed<Doc>("id: &i x\npass_means: *i\ncontrols:\n- &c {framework: f, triggered_by: [PASS]}\n- *c\n");
  ASSERT_TRUE(aliased) << aliased.error().display();
  EXPECT_EQ(aliased->pass_means, "x");
  EXPECT_EQ(aliased->controls.size(), 2u);
}

TEST(YamlTyped, RefusalsWithPathAndPosition) {
  EXPECT_EQ(error_of("id: a\nrules:\n  unresolved: review\n"),
            "rules.unresolved: unknown variant `review`, expected one of `PASS`, `REVIEW`, `FAIL` at line 3 column 15");
  EXPECT_EQ(error_of("id: a\nrules: {kinds: [word, Word]}\n"),
            "rules.kinds[1]: unknown variant `Word`, expected one of `numeric`, `temporal`, `entity`, `citation`, "
            "`statement`, `word` at line 2 column 23");
  EXPECT_EQ(error_of("id: a\nrules: {unresolved: {FAIL: ~}}\n"),
            "rules.unresolved: invalid type: map, expected variant identifier at line 2 column 21");
  EXPECT_EQ(error_of("id: a\ncontrols:\n- framework: f\n  triggered_by: [FAIL]\n- requirement: r\n"),
            "controls[1]: missing field `framework` at line 5 column 3");
  EXPECT_EQ(error_of("id: a\ncontrols:\n-\n"), "controls[0]: missing field `framework` at line 3 column 2");
  EXPECT_EQ(error_of("id: a\nrule: {}\n"),
            "unknown field `rule`, expected one of `id`, `pass_means`, `judge`, `rules`, `controls` at line 2 column 1");
  EXPECT_EQ(error_of("id: a\njudge: {required: 1}\n"),
            "judge.required: invalid type: integer `1`, expected a boolean at line 2 column 19");
  EXPECT_EQ(error_of("id: a\njudge: {required: 'true'}\n"),
            "judge.required: invalid type: string \"true\", expected a boolean at line 2 column 19");
  EXPECT_EQ(error_of("id: a\njudge:\n  required: yes\n"),
            "judge.required: invalid type: string \"yes\", expected a boolean at line 3 column 13");
  EXPECT_EQ(error_of("id: a\njudge: [1]\n"), "judge: invalid type: sequence, expected struct Judge at line 2 column 8");
  EXPECT_EQ(error_of("id: a\nrules: ~\n"), "rules: invalid type: unit value, expected struct Rules at line 2 column 8");
  EXPECT_EQ(error_of("id: a\ncontrols: ~\n"), "controls: invalid type: unit value, expected a sequence at line 2 column 11");
  EXPECT_EQ(error_of("id: a\nrules: {from: 1.50}\n"),
            "rules.from: invalid type: floating point `1.5`, expected a sequence at line 2 column 15");
  EXPECT_EQ(error_of("id: {a: 1}\n"), "id: invalid type: map, expected a string at line 1 column 5");
  EXPECT_EQ(error_of("id: a\npass_means: !!null x\n"),
            "pass_means: invalid value: string \"x\", expected null at line 2 column 13");
  EXPECT_EQ(error_of("id: a\n[k]: 1\n"), "invalid type: sequence, expected field identifier at line 2 column 1");
  EXPECT_EQ(error_of("pass_means: x\n"), "missing field `id`");
  EXPECT_EQ(error_of("- id\n"), "invalid type: sequence, expected struct Doc");
  EXPECT_EQ(error_of(""), "EOF while parsing a value");
  // The tree reading comes first: its errors win.
  EXPECT_EQ(error_of("id: a\nid: b\n"), "duplicate entry with key \"id\"");
  EXPECT_EQ(error_of("id: a\nrule: 1\n---\n"),
            "deserializing from YAML containing more than one document is not supported");
}

}  // namespace
}  // namespace qv::yaml
