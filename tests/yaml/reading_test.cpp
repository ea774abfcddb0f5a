// Reading YAML as a tree: plain scalar typing beyond the reference cases,
// aliases with the expansion budget, the depth limit and error positions.
#include <gtest/gtest.h>

#include <string>

#include "json/reader.hpp"
#include "json/writer.hpp"
#include "tree_form.hpp"
#include "yaml/to_json.hpp"
#include "yaml/tree.hpp"

namespace qv::yaml {
namespace {

std::string form(std::string_view text) {
  auto tree = read_tree(text);
  if (!tree) return "error: " + tree.error().display();
  return json::write_json_compact(testing::tree_form(*tree));
}

TEST(YamlPlainScalars, SignsPrefixesAndLeadingZeros) {
  EXPECT_EQ(form("[+5, -5, +-5, ++5, 0x-1, -0x10, +0b11, 0o7, 0O7, 0xAbC]"),
            R"([5,-5,"+-5","++5","0x-1",-16,3,7,"0O7",2748])");
  EXPECT_EQ(form("[0, -0, +0, 00, +0123, -00, 0.5, 01.5, 0e3, -0.0]"), R"([0,0,0,"00","+0123","-00",0.5,1.5,0.0,-0.0])");
  EXPECT_EQ(form("[9223372036854775808, -9223372036854775808, 18446744073709551615]"),
            "[9223372036854775808,-9223372036854775808,18446744073709551615]");
  // Past 128 bits a decimal integer is a float, a prefixed one a string.
  EXPECT_EQ(form("[340282366920938463463374607431768211456, 0x1000000000000000000000000000000000]"),
            R"([3.402823669209385e+38,"0x1000000000000000000000000000000000"])");
  EXPECT_EQ(form("-170141183460469231731687303715884105729"), "-1.7014118346046923e+38");
  EXPECT_EQ(form("0x100000000000000000000000000000000"), R"("0x100000000000000000000000000000000")");
  EXPECT_EQ(form("[+.inf, +.nan, .NaN, 1e400, 1e-400, 1., .5, +.5e1, 1e, e1, .]"),
            R"([{"$float":".inf"},"+.nan",{"$float":".nan"},"1e400",0.0,1.0,0.5,5.0,"1e","e1","."])");
  // Quoted and block scalars are strings; core tags force a reading.
  EXPECT_EQ(form("- '1'\n- \"true\"\n- |-\n  2\n- !!float 3\n- !!int \"0x10\"\n- !!str 4\n- !!bool False\n"),
            R"(["1","true","2",3.0,16,"4",false])");
  EXPECT_EQ(form("key: !!int 18446744073709551616"),
            "error: key: invalid type: integer `18446744073709551616` as u128, expected any YAML value at line 1 column 6");
}

TEST(YamlAliases, NameTheLatestAnchorOfTheirName) {
  // After a name is anchored again and another name is then anchored, the
  // alias still reaches the latest node of its own name.
  EXPECT_EQ(form("a: &x 1\nb: &y 2\nc: &x 3\nd: *x\ne: *y\n"), R"({"a":1,"b":2,"c":3,"d":3,"e":2})");
  EXPECT_EQ(form("a: &x [1, &x 2, *x]\nb: *x\n"), R"({"a":[1,2,2],"b":2})");
  EXPECT_EQ(form("a: *x\n"), "error: unknown anchor at line 1 column 4");
}

std::string quadratic(std::size_t items, std::size_t aliases) {
  std::string text = "a: &a [";
  for (std::size_t i = 0; i < items; ++i) text += "1,";
  text += "]\nb: [";
  for (std::size_t i = 0; i < aliases; ++i) text += "*a,";
  text += "]\n";
  return text;
}

TEST(YamlAliases, ExpansionBudgetStopsQuadraticDocuments) {
  // Each alias copies the sequence and its 999 items: 1000 copies are
  // exactly the budget, one more is refused without a position.
  auto at_budget = read_tree(quadratic(999, 1000));
  ASSERT_TRUE(at_budget) << at_budget.error().display();
  EXPECT_EQ(at_budget->find("b")->as_sequence().size(), 1000u);
  auto over = read_tree(quadratic(999, 1001));
  ASSERT_FALSE(over);
  EXPECT_EQ(over.error().display(), "repetition limit exceeded");
  EXPECT_FALSE(over.error().mark);
}

TEST(YamlAliases, ExpansionBudgetCountsBytes) {
  // Aliases to one long string copy its bytes each time: 64 MiB at most.
  const std::string long_text(std::size_t{2} << 20, 'x');
  auto text = [&](int aliases) {
    std::string t = "a: &a " + long_text + "\nb: [";
    for (int i = 0; i < aliases; ++i) t += "*a,";
    return t + "]\n";
  };
  EXPECT_TRUE(read_tree(text(32)));
  auto over = read_tree(text(33));
  ASSERT_FALSE(over);
  EXPECT_EQ(over.error().display(), "repetition limit exceeded");
}

TEST(YamlTags, DirectivePrefixesAreBounded) {
  // A %TAG prefix is repeated in every tag that uses it.
  const std::string prefix(200000, 'p');
  auto text = [&](int uses) {
    std::string t = "%TAG !e! !" + prefix + "\n---\n[";
    for (int i = 0; i < uses; ++i) t += "!e!x " + std::to_string(i) + ",";
    return t + "]\n";
  };
  auto few = read_tree(text(5));
  ASSERT_TRUE(few) << few.error().display();
  EXPECT_EQ(few->as_sequence()[4].as_tagged().tag.size(), prefix.size() + 1);
  auto many = read_tree(text(20));
  ASSERT_FALSE(many);
  EXPECT_EQ(many.error().display(), "repetition limit exceeded");
}

TEST(YamlAliases, ExponentialDocumentsStopAtTheFollowCount) {
  // 20 levels of 10 aliases each would build 10^20 nodes.
  std::string text = "l0: &l0 [x]\n";
  for (int i = 1; i <= 20; ++i) {
    text += "l" + std::to_string(i) + ": &l" + std::to_string(i) + " [";
    for (int k = 0; k < 10; ++k) text += "*l" + std::to_string(i - 1) + ",";
    text += "]\n";
  }
  auto tree = read_tree(text);
  ASSERT_FALSE(tree);
  EXPECT_EQ(tree.error().display(), "repetition limit exceeded");
}

std::string nested(std::size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); }

TEST(YamlDepth, At128AndThroughAliases) {
  EXPECT_TRUE(read_tree(nested(128)));  // 129 levels: the Python tests
  // The anchored node holds 126 levels under the root mapping (127 in all);
  // reached through an alias inside one more sequence it makes 128, then 129.
  const std::string ok = "a: &x " + nested(126) + "\nb: *x\nc: [*x]\n";
  EXPECT_TRUE(read_tree(ok));
  const std::string deep = "a: &x " + nested(126) + "\nb: [[*x]]\n";
  // The collection that overflows lies inside the anchored node.
  EXPECT_EQ(form(deep), "error: recursion limit exceeded at line 1 column 132");
  EXPECT_EQ(form("&a [*a]"), "error: recursion limit exceeded");
  // A deep text is refused without deep recursion of the reader.
  EXPECT_EQ(form(nested(100000)), "error: recursion limit exceeded at line 1 column 129");
}

TEST(YamlErrors, PathsMarksAndOrder) {
  EXPECT_EQ(form("a:\n  - x\n  - {b: 1, b: 2}\n"), R"(error: a[1]: duplicate entry with key "b" at line 3 column 5)");
  EXPECT_EQ(form("- [1, 0x10000000000000000]\n"),
            "error: .[0][1]: invalid type: integer `18446744073709551616` as u128, expected any YAML value at line 1 column 7");
  EXPECT_EQ(form("[a, b]: 1\n[a, b]: 2\n"), "error: duplicate entry in YAML map");
  EXPECT_EQ(form("{1: a, 1.0: b, .nan: c, .NaN: d}"), "error: duplicate entry with key .nan");
  EXPECT_EQ(form("{0.0: a, -0.0: b}"), "error: duplicate entry with key -0.0");
  EXPECT_EQ(form("{~: a, '': b, true: c, True: d}"), "error: duplicate entry with key `true`");
  EXPECT_EQ(form("x: {!t a: 1, !t a: 2}"), "error: x: duplicate entry in YAML map at line 1 column 4");
  // Past 16 keys, keys are compared through a hashed form: the same rules.
  std::string many = "{";
  for (int i = 0; i < 20; ++i) many += "k" + std::to_string(i) + ": " + std::to_string(i) + ", ";
  EXPECT_EQ(form(many + "1: a, 1.0: b, [x, {y: 1, z: 2}]: c, -0.0: d, .nan: e}"), "{\"$map\":[" + [] {
              std::string pairs;
              for (int i = 0; i < 20; ++i) pairs += "[\"k" + std::to_string(i) + "\"," + std::to_string(i) + "],";
              return pairs + R"([1,"a"],[1.0,"b"],[["x",{"y":1,"z":2}],"c"],[-0.0,"d"],[{"$float":".nan"},"e"]]})";
            }());
  EXPECT_EQ(form(many + "k3: again}"), R"(error: duplicate entry with key "k3")");
  EXPECT_EQ(form(many + "0.0: a, -0.0: b}"), "error: duplicate entry with key -0.0");
  EXPECT_EQ(form(many + ".nan: a, .NAN: b}"), "error: duplicate entry with key .nan");
  EXPECT_EQ(form(many + "[x, {y: 1, z: 2}]: a, [x, {z: 2, y: 1}]: b}"), "error: duplicate entry in YAML map");
  // The first error in document order wins, over a syntax error later on.
  EXPECT_EQ(form("a: 1\na: 2\nb: [\n"), R"(error: duplicate entry with key "a")");
  EXPECT_EQ(form("---\n"), "null");
}

TEST(YamlToJson, ConvertsOneDocument) {
  auto ok = [](std::string_view text) {
    auto r = yaml_to_json(text);
    return r ? *r : "error: " + r.error().message();
  };
  // Texts, errors and messages the Python tests pin (documents, duplicate
  // and null keys, leading zeros, the limits) are not repeated here.
  EXPECT_EQ(ok("---\na: 1\n"), R"({"a":1})");
  EXPECT_EQ(ok("[.inf, -.inf, .nan, 1e20, 0.00001]"), "[null,null,null,1e+20,0.00001]");
  EXPECT_EQ(ok("1: a\ntrue: b\n1.5: c\n-2: d\n1e20: e\n"), R"({"1":"a","true":"b","1.5":"c","-2":"d","1e+20":"e"})");
  EXPECT_EQ(ok("'1': a\n1: b\n"), R"({"1":"a","1":"b"})");
  EXPECT_EQ(ok("a: !money 12\nb: !<!> x\n"), R"({"a":{"!money":12},"b":{"!!":"x"}})");
  auto inf_key = yaml_to_json(".inf: 1\n");
  ASSERT_FALSE(inf_key);
  EXPECT_EQ(inf_key.error().kind(), core::EngineError::Kind::Serialisation);
  EXPECT_EQ(ok("[1]: 1\n"), "error: key must be a string");
  EXPECT_EQ(ok("!t a: 1\n"), "error: key must be a string");
  EXPECT_EQ(yaml_to_json("a: [").error().kind(), core::EngineError::Kind::InvalidInput);
  // Every text returned reads back as JSON: 127 levels at most, a tagged
  // node counting as one.
  auto deepest = yaml_to_json(nested(127));
  ASSERT_TRUE(deepest);
  EXPECT_TRUE(json::read_json(*deepest));
  std::string tagged;
  for (int i = 0; i < 64; ++i) tagged += "!t [";
  EXPECT_EQ(ok(tagged + std::string(64, ']')), "error: recursion limit exceeded");
  EXPECT_EQ(ok(tagged.substr(4) + std::string(63, ']')).substr(0, 9), R"({"!t":[{")");
}

}  // namespace
}  // namespace qv::yaml
