// Rule-set reading (errors with their texts and positions, array forms,
// defaults), the value form's digest, and pattern compilation.
#include "verifiers/rule_set.hpp"

#include <gtest/gtest.h>

#include <string>

#include "crypto/digest.hpp"

namespace qv::verifiers {
namespace {

std::string read_error(std::string_view text) {
  auto set = read_rule_set(text);
  if (set) return "(read)";
  return set.error().display();
}

TEST(RuleSetReader, ErrorsCarryTheReadersTextAndPosition) {
  const std::string p = "invalid input: rule set: ";
  EXPECT_EQ(read_error(""), p + "EOF while parsing a value at line 1 column 0");
  EXPECT_EQ(read_error(R"({"id":"s","version":"1","rules":[{"id":"r"}]})"),
            p + "missing field `emit` at line 1 column 43");
  EXPECT_EQ(read_error(R"({"id":"s","version":"1","rules":[{"id":"r","emit":"Supported"}]})"),
            p + "unknown variant `Supported`, expected one of `supported`, `unsupported`, `contradicted` at line 1 "
                "column 61");
  EXPECT_EQ(read_error(R"({"id":"s","version":"1","rules":[["r","d"]]})"),
            p + "invalid length 5, expected struct Rule with 6 elements at line 1 column 42");
  EXPECT_EQ(read_error(R"({"id":"s","version":1,"rules":[]})"),
            p + "invalid type: integer `1`, expected a string at line 1 column 21");
  EXPECT_EQ(read_error(R"({"id":"s","version":"1","rules":[{"id":"r","scope":null,"emit":"supported"}]})"),
            p + "invalid type: null, expected struct Scope at line 1 column 55");
  EXPECT_EQ(read_error(R"({"id":"s","id":"t","version":"1","rules":[]})"),
            p + "duplicate field `id` at line 1 column 14");
  EXPECT_EQ(read_error(R"(["s"])"), p + "invalid length 1, expected struct RuleSet with 3 elements at line 1 column 5");
  EXPECT_EQ(read_error(R"(["s","1",[],5])"), p + "trailing characters at line 1 column 13");
  EXPECT_EQ(read_error(R"({"id":"s","version":"1","rules":[]} x)"), p + "trailing characters at line 1 column 37");
  EXPECT_EQ(read_error("5"), p + "invalid type: integer `5`, expected struct RuleSet at line 1 column 1");
  EXPECT_EQ(read_error(R"({"id":"s","version":"1","rules":[{"id":"r","when":{"attribute":[]},"emit":"supported"}]})"),
            p + "invalid type: sequence, expected a map at line 1 column 63");
  EXPECT_EQ(
      read_error(R"({"id":"s","version":"1","rules":[{"id":"r","when":{"attribute":{"k":1}},"emit":"supported"}]})"),
      p + "invalid type: integer `1`, expected a string at line 1 column 69");
  EXPECT_EQ(read_error(R"({"id":"s","version":"1","rules":[{"id":"r","when":null,"emit":"supported"}]})"),
            p + "invalid type: null, expected struct Condition at line 1 column 54");
}

TEST(RuleSetReader, NestingBeyondTheDepthLimitIsARuleSetError) {
  // The outer object is the first level; the 127th bracket inside an
  // ignored member opens the 128th.
  const std::string text = R"({"x":)" + std::string(200, '[') + std::string(200, ']') + "}";
  EXPECT_EQ(read_error(text), "invalid input: rule set: recursion limit exceeded at line 1 column 132");
  const std::string ok =
      R"({"x":)" + std::string(126, '[') + std::string(126, ']') + R"(,"id":"s","version":"1","rules":[]})";
  EXPECT_TRUE(read_rule_set(ok).has_value());
}

TEST(RuleSetReader, DefaultsArrayFormsAndWords) {
  auto set = read_rule_set(R"({"id":"","version":"","rules":[{"id":"r","emit":{"contradicted":null}},
      ["q","d",{"claim_kind":"word","attribute":{"b":"1","a":"*","b":"2"}},["x"],null,"unsupported"]],"note":"skip me"})");
  ASSERT_TRUE(set.has_value()) << set.error().display();
  ASSERT_EQ(set->rules.size(), 2u);
  const Rule& r = set->rules[0];
  EXPECT_EQ(r.description, "");
  EXPECT_EQ(r.scope, Scope{});
  EXPECT_EQ(r.when, Condition{});
  EXPECT_FALSE(r.unless.has_value());
  EXPECT_EQ(r.emit, RuleEmit::Contradicted);
  const Rule& q = set->rules[1];
  EXPECT_EQ(q.scope.claim_kind, ClaimKind::Word);
  EXPECT_EQ(q.scope.attribute, (AttributeMap{{"a", "*"}, {"b", "2"}}));
  EXPECT_EQ(q.when.text_matches, "x");
  EXPECT_EQ(q.emit, RuleEmit::Unsupported);
  // A condition's members may stop early in the array form.
  EXPECT_TRUE(read_rule_set(R"(["s","1",[["r","",{},[],{"text_matches":null},"supported"]]])").has_value());
}

TEST(RuleSetDigest, KnownValueAndStableUnderEquivalentTexts) {
  const std::string base = R"({"id":"s","version":"1","rules":[{"id":"r","emit":"supported"}]})";
  auto set = read_rule_set(base);
  ASSERT_TRUE(set.has_value());
  // The value form written by hand in canonical order.
  EXPECT_EQ(
      rule_set_digest(*set).value(),
      crypto::text_digest(
          R"({"id":"s","rules":[{"description":"","emit":"supported","id":"r","scope":{},"when":{}}],"version":"1"})"));
  EXPECT_EQ(rule_set_digest(read_rule_set(R"({"id":"s","version":"1","rules":[]})").value()).value(),
            crypto::text_digest(R"({"id":"s","rules":[],"version":"1"})"));

  const std::string full =
      R"({"id":"s","version":"1","rules":[{"id":"r","description":"d","scope":{"claim_kind":"numeric","attribute":{"unit":"km","dimension":"*"}},"when":{"text_matches":"a","attribute":{"z":"1"}},"unless":{"source_matches":"b"},"emit":"contradicted"}]})";
  const std::string reordered =
      R"( { "rules" : [ { "emit":"contradicted","unless":{"answer_matches":null,"source_matches":"b"},"when":{"attribute":{"z":"1"},"text_matches":"a","source_matches":null},"scope":{"attribute":{"dimension":"*","unit":"km"},"claim_kind":"numeric"},"description":"d","id":"r","extra":[1,2]} ], "version":"1", "comment":"x", "id":"s" } )";
  const auto d1 = rule_set_digest(read_rule_set(full).value()).value();
  EXPECT_EQ(d1, rule_set_digest(read_rule_set(reordered).value()).value());

  const std::string nulls =
      R"({"id":"s","version":"1","rules":[{"id":"r","scope":{"claim_kind":null,"attribute":{}},"when":{"attribute":{}},"unless":null,"emit":"supported"}]})";
  EXPECT_EQ(rule_set_digest(read_rule_set(nulls).value()).value(), rule_set_digest(*set).value());

  // Any change of content changes the digest.
  for (const char* changed :
       {R"({"id":"s","version":"1","rules":[{"id":"r","description":" ","emit":"supported"}]})",
        R"({"id":"s","version":"2","rules":[{"id":"r","emit":"supported"}]})",
        R"({"id":"s","version":"1","rules":[{"id":"r","emit":"unsupported"}]})",
        R"({"id":"s","version":"1","rules":[{"id":"r","unless":{},"emit":"supported"}]})",
        R"({"id":"s","version":"1","rules":[{"id":"r","when":{"text_matches":""},"emit":"supported"}]})"}) {
    EXPECT_NE(rule_set_digest(read_rule_set(changed).value()).value(), rule_set_digest(*set).value()) << changed;
  }
}

TEST(CompileCondition, BadPatternsReportTheEngineDisplay) {
  Condition c;
  c.text_matches = "(";
  c.answer_matches = "[";
  auto r = compile_condition(c);
  ASSERT_FALSE(r.has_value());
  EXPECT_EQ(r.error().display(), "invalid input: bad regex (: regex parse error:\n    (\n    ^\nerror: unclosed group");

  Condition only_source;
  only_source.source_matches = "a{2,1}";
  auto s = compile_condition(only_source);
  ASSERT_FALSE(s.has_value());
  EXPECT_TRUE(s.error().message().starts_with("bad regex a{2,1}: regex parse error:")) << s.error().message();

  // `when` is compiled before `unless`, rule by rule.
  auto set = read_rule_set(
      R"j({"id":"s","version":"1","rules":[{"id":"a","when":{"text_matches":"x"},"unless":{"text_matches":"(?z)"},"emit":"supported"},{"id":"b","when":{"text_matches":"("},"emit":"supported"}]})j");
  ASSERT_TRUE(set.has_value());
  auto rules = compile_rules(*set);
  ASSERT_FALSE(rules.has_value());
  EXPECT_TRUE(rules.error().message().starts_with("bad regex (?z): ")) << rules.error().message();
}

}  // namespace
}  // namespace qv::verifiers
