// Emitted texts: the layout of a policy-shaped document written through the
// event interface, the style rule for strings, and write-back of trees.
#include <gtest/gtest.h>

#include <string>

#include "yaml/emit.hpp"
#include "yaml/tree.hpp"

namespace qv::yaml {
namespace {

TEST(YamlEmit, PolicyShapedLayout) {
  Emitter e;
  e.begin_mapping();
  e.string("id");
  e.string("p1");
  e.string("version");
  e.string("1.10");
  e.string("description");
  e.string("Folded text that ends\nwith a line break.\n");
  e.string("verifiers");
  e.begin_mapping();
  e.string("required");
  e.begin_sequence();
  e.string("quillaveen.numeric");
  e.string("quillaveen.rules.*");
  e.end_sequence();
  e.string("optional");
  e.begin_sequence();
  e.end_sequence();
  e.end_mapping();
  e.string("judge");
  e.begin_mapping();
  e.string("required");
  e.boolean(false);
  e.string("contradicted");
  e.string("FAIL");
  e.end_mapping();
  e.string("regulatory_mapping");
  e.begin_sequence();
  e.begin_mapping();
  e.string("framework");
  e.string("EU-AI-Act-2024/1689");
  e.string("article");
  e.string("Art. 15(1)");
  e.string("triggered_by");
  e.begin_sequence();
  e.string("PASS");
  e.end_sequence();
  e.end_mapping();
  e.end_sequence();
  e.end_mapping();
  auto text = e.finish();
  ASSERT_TRUE(text) << text.error().display();
  EXPECT_EQ(*text,
            "id: p1\n"
            "version: '1.10'\n"
            "description: |\n"
            "  Folded text that ends\n"
            "  with a line break.\n"
            "verifiers:\n"
            "  required:\n"
            "  - quillaveen.numeric\n"
            "  - quillaveen.rules.*\n"
            "  optional: []\n"
            "judge:\n"
            "  required: false\n"
            "  contradicted: FAIL\n"
            "regulatory_mapping:\n"
            "- framework: EU-AI-Act-2024/1689\n"
            "  article: Art. 15(1)\n"
            "  triggered_by:\n"
            "  - PASS\n");
}

std::string written(const std::string& s) {
  auto t = write_yaml(Node::string(s));
  return t ? *t : "error: " + t.error().display();
}

// Styles the reference cases of emitted texts do not reach (they pin "",
// "~", "True", "1", ".inf", "- a", "a: b", "a\nb", "\n" and the like).
TEST(YamlEmit, StringStyles) {
  // Texts that a plain scalar would turn into another type are quoted.
  for (const char* s : {"-0", "007", "+5", "1.10"}) EXPECT_EQ(written(s), "'" + std::string(s) + "'\n") << s;
  // Texts that read back as the same string stay plain.
  for (const char* s : {"x, y", ":x", "a'b", "1.5.0", "1e400"}) EXPECT_EQ(written(s), std::string(s) + "\n") << s;
  EXPECT_EQ(written("it's #1 "), "'it''s #1 '\n");
  EXPECT_EQ(written("tab\there"), "\"tab\\there\"\n");
  EXPECT_EQ(written("\xEF\xBB\xBFx"), "\"\\uFEFFx\"\n");
  // Characters beyond U+FFFF are written raw in every style, also beside
  // private-use characters.
  EXPECT_EQ(written("tab\t\U0001F600"), "\"tab\\t\U0001F600\"\n");
  EXPECT_EQ(written("\U0001F600\nx"), "|-\n  \U0001F600\n  x\n");
  EXPECT_EQ(written("\uE000a\U0001F600\uE001a\U00010348"), "\uE000a\U0001F600\uE001a\U00010348\n");
  auto long_key = write_yaml(*read_tree(std::string("? ") + std::string(30, 'k') + "\U0001F600\n: v\n"));
  ASSERT_TRUE(long_key);
  EXPECT_EQ(*long_key, std::string(30, 'k') + "\U0001F600: v\n");
  // Line breaks: a literal block with the chomping libyaml chooses.
  EXPECT_EQ(written(" a\n"), "|2\n   a\n");
  EXPECT_EQ(written("a \nb"), "\"a \\nb\"\n");
}

// Writing a tree back; reading back what is written is what the reference
// cases of emitted texts check.
TEST(YamlEmit, WriteBackOfTrees) {
  EXPECT_EQ(*write_yaml(*read_tree("a: !money 12\nb: !t {x: 1}\n")), "a: !money 12\nb: !t\n  x: 1\n");
  EXPECT_EQ(*write_yaml(*read_tree("- [1.10, 1e3, 0x10, +1, -0, True, ~, 007, 1e400]")),
            "- - 1.1\n  - 1000.0\n  - 16\n  - 1\n  - 0\n  - true\n  - null\n  - '007'\n  - 1e400\n");
}

// Every tag form the reader accepts is written in a form it reads back to
// the same tree: a local tag in shorthand, with the flow indicators ",[]"
// (which a shorthand tag cannot hold) percent-escaped, whichever way the
// tag was written; global tags leave a string and are not written.
TEST(YamlEmit, TagsWriteBackInAFormTheReaderTakes) {
  struct Case {
    const char* text;
    const char* written;
  };
  const Case cases[] = {
      // Flow indicators, verbatim or escaped in the source.
      {"!<!a,b> 5", "!a%2Cb 5\n"},
      {"!<!a[b> 5", "!a%5Bb 5\n"},
      {"!<!a%2Cb> 5", "!a%2Cb 5\n"},
      {"!a%5Db 5", "!a%5Db 5\n"},
      {"- !<!ag:yaml.org,2002:str> 5", "- !ag:yaml.org%2C2002:str 5\n"},
      {"!<!a,b> [1]", "!a%2Cb\n- 1\n"},
      {"!<!a,b> {x: 1}", "!a%2Cb\nx: 1\n"},
      {"{!<!a[]> k: v}", "!a%5B%5D k: v\n"},
      {"[!<!,> ]", "- !%2C null\n"},
      // Other characters a shorthand tag cannot hold, escaped by libyaml.
      {"!money 12", "!money 12\n"},
      {"!a%21b 5", "!a%21b 5\n"},
      {"!<!!a> 5", "!%21a 5\n"},
      {"!a%7Bb%20c 5", "!a%7Bb%20c 5\n"},
      {"!a%C3%A9 x", "!a%C3%A9 x\n"},
      {"! 5", "!<%21> 5\n"},
      // Handles: a %TAG prefix that makes a local tag, the "!!" handle
      // moved to a local prefix, and global tags (a string remains).
      {"%TAG !e! !pre,\n--- !e!x 5", "!pre%2Cx 5\n"},
      {"%TAG ! !p[\n--- !x 5", "!p%5Bx 5\n"},
      {"%TAG !! !x-\n--- !!y 5", "!x-y 5\n"},
      {"%TAG !e! tag:example.com,2000:\n--- !e!x 5", "'5'\n"},
      {"!!str 5", "'5'\n"},
      {"!!foo x", "x\n"},
      {"!<tag:a,b> 5", "'5'\n"},
      // Texts in the form of the escape marker are left as they are.
      {"{qv00000000: !<!a,qv00000001> qv00000002}", "qv00000000: !a%2Cqv00000001 qv00000002\n"},
      {"{qvqv00000000: !<!a,b> x}", "qvqv00000000: !a%2Cb x\n"},
      {"!<!a,b> \"\\U0001F600 \\uE000a\"", "!a%2Cb \U0001F600 \uE000a\n"},
  };
  std::size_t compared = 0;
  for (const Case& c : cases) {
    auto tree = read_tree(c.text);
    ASSERT_TRUE(tree) << c.text << ": " << tree.error().display();
    auto text = write_yaml(*tree);
    ASSERT_TRUE(text) << c.text;
    EXPECT_EQ(*text, c.written) << c.text;
    auto back = read_tree(*text);
    ASSERT_TRUE(back) << c.text << " -> " << *text << ": " << back.error().display();
    EXPECT_TRUE(*back == *tree) << c.text << " -> " << *text;
    ++compared;
  }
  EXPECT_EQ(compared, 25u);
}

// A tag whose written form makes a key long: the key is written in the
// explicit "? " form, which holds a key of any length.
TEST(YamlEmit, LongEscapedTagOnAKey) {
  const std::string text = "{!<!" + std::string(200, ',') + "> k: v}";
  auto tree = read_tree(text);
  ASSERT_TRUE(tree);
  auto written = write_yaml(*tree);
  ASSERT_TRUE(written);
  std::string escaped;
  for (int i = 0; i < 200; ++i) escaped += "%2C";
  EXPECT_EQ(*written, "? !" + escaped + " k\n: v\n");
  auto back = read_tree(*written);
  ASSERT_TRUE(back);
  EXPECT_TRUE(*back == *tree);
}

}  // namespace
}  // namespace qv::yaml
