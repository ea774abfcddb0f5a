// The pattern syntax: what it accepts and refuses, the error display, the
// limits, and what the intermediate form means.
#include <gtest/gtest.h>

#include <string>

#include "regex/hir.hpp"

namespace qv::regex {
namespace {

std::string error_of(std::string_view p) {
  auto r = parse(p);
  if (r) return "accepted";
  return r.error().to_string();
}

ErrorKind kind_of(std::string_view p) {
  auto r = parse(p);
  EXPECT_FALSE(r.has_value()) << p;
  return r ? ErrorKind::kCompiledTooBig : r.error().kind;
}

TEST(RegexSyntax, ErrorDisplayCountsCharacters) {
  // The reference cases hold the other layouts; columns count characters.
  EXPECT_EQ(error_of("é("), "regex parse error:\n    é(\n     ^\nerror: unclosed group");
}

TEST(RegexSyntax, ErrorDisplayMultiLine) {
  const std::string rule(79, '~');
  EXPECT_EQ(error_of("(?x)\n  foo\n  (bar"),
            "regex parse error:\n" + rule + "\n1: (?x)\n2:   foo\n3:   (bar\n     ^\n" + rule +
                "\nerror: unclosed group");
  // A final CR of a line is not shown; a span over several lines is named.
  EXPECT_EQ(error_of("(\r\n"), "regex parse error:\n" + rule + "\n1: (\n   ^\n" + rule + "\nerror: unclosed group");
  std::string deep;
  for (int i = 0; i < 251; ++i) deep += "(\n";
  deep += "a";
  for (int i = 0; i < 251; ++i) deep += ")";
  const std::string display = error_of(deep);
  EXPECT_NE(display.find("on line 126 (column 1) through line 252 (column 127)\nerror: exceed the maximum number of "
                         "nested parentheses/brackets (250)"),
            std::string::npos)
      << display.substr(display.size() - 200);
}

TEST(RegexSyntax, GroupsAndNames) {
  for (const char* ok : {"()", "(?:)", "(?P<name>a)", "(?<name>a)", "(?<a.b[1]>x)", "(?<Ωμ>x)", "a|", "|", "()*",
                         "(?i)", "((?i))", "(?i:a)|b"}) {
    EXPECT_TRUE(parse(ok).has_value()) << ok;
  }
  EXPECT_EQ(kind_of("a|b)"), ErrorKind::kGroupUnopened);
  EXPECT_EQ(kind_of("(?P<>a)"), ErrorKind::kGroupNameEmpty);
  EXPECT_EQ(kind_of("(?P<1a>a)"), ErrorKind::kGroupNameInvalid);
  EXPECT_EQ(kind_of("(?P<a"), ErrorKind::kGroupNameUnexpectedEof);
  auto h = parse("(a)(?P<x>b)(?:c)(?<y>d)");
  ASSERT_TRUE(h.has_value());
  EXPECT_EQ(h->captures_len, 4u);
  EXPECT_EQ(h->names[2], "x");
  EXPECT_EQ(h->names[3], "y");
  EXPECT_FALSE(h->names[1].has_value());
}

TEST(RegexSyntax, Flags) {
  for (const char* ok : {"(?imsUuxR)a", "(?i-msx)a", "(?x: a b )", "a(?x) b"}) {
    EXPECT_TRUE(parse(ok).has_value()) << ok;
  }
  EXPECT_EQ(kind_of("(?ii)"), ErrorKind::kFlagDuplicate);
  EXPECT_EQ(kind_of("(?i-)"), ErrorKind::kFlagDanglingNegation);
  EXPECT_EQ(kind_of("(?-i-s)"), ErrorKind::kFlagRepeatedNegation);
  EXPECT_EQ(kind_of("(?)"), ErrorKind::kRepetitionMissing);
}

TEST(RegexSyntax, VerboseMode) {
  // White space and comments vanish everywhere, classes included; an
  // escaped space stays.
  auto h = parse("(?x) a b # comment\n [ c ]");
  ASSERT_TRUE(h.has_value());
  const HirNode& root = h->node(h->root);
  ASSERT_EQ(root.kind, HirKind::kConcat);
  EXPECT_EQ(root.children.size(), 3u);
  const HirNode& cls = h->node(root.children[2]);
  EXPECT_EQ(*cls.cls, (unicode::RangeSet{{'c', 'c'}}));
  auto sp = parse("(?x)[\\ ]");
  ASSERT_TRUE(sp.has_value());
  EXPECT_EQ(*sp->node(sp->root).cls, (unicode::RangeSet{{' ', ' '}}));
  // The flag ends with its group.
  auto scoped = parse("(?x: a )b c");
  ASSERT_TRUE(scoped.has_value());
  EXPECT_EQ(scoped->node(scoped->root).children.size(), 4u);
}

TEST(RegexSyntax, Repetitions) {
  for (const char* ok : {"a*", "a+?", "a??", "a{3}", "a{3,}", "a{3,5}?", "a{ 3 , 5 }", "a**", "a*+", "\\b{3}"}) {
    EXPECT_TRUE(parse(ok).has_value()) << ok;
  }
  EXPECT_EQ(kind_of("(?i)*"), ErrorKind::kRepetitionMissing);
  EXPECT_EQ(kind_of("a{}"), ErrorKind::kRepetitionCountDecimalEmpty);
  EXPECT_EQ(kind_of("a{99999999999}"), ErrorKind::kDecimalInvalid);
}

TEST(RegexSyntax, Escapes) {
  struct Case {
    const char* pattern;
    char32_t c;
  };
  for (Case c : {Case{"\\x7F", 0x7F}, Case{"\\x{10FFFF}", 0x10FFFF}, Case{"\\u007F", 0x7F}, Case{"\\u{7F}", 0x7F},
                 Case{"\\U0001F600", 0x1F600}, Case{"\\U{7F}", 0x7F}, Case{"\\a", 7}, Case{"\\f", 12},
                 Case{"\\v", 11}, Case{"\\ ", ' '}, Case{"\\#", '#'}, Case{"\\~", '~'}, Case{"\\@", '@'}}) {
    auto h = parse(c.pattern);
    ASSERT_TRUE(h.has_value()) << c.pattern;
    EXPECT_EQ(*h->node(h->root).cls, (unicode::RangeSet{{c.c, c.c}})) << c.pattern;
  }
  for (const char* bad : {"\\Z", "\\Q", "\\E", "\\K", "\\h", "\\R", "\\q", "\\e"}) {
    EXPECT_EQ(kind_of(bad), ErrorKind::kEscapeUnrecognized) << bad;
  }
  EXPECT_EQ(kind_of("\\x{FFFFFFFFFFFF}"), ErrorKind::kEscapeHexInvalid);
}

TEST(RegexSyntax, AssertionsMapToLooks) {
  struct Case {
    const char* pattern;
    Look look;
  };
  for (Case c : {Case{"^", Look::kStart}, Case{"$", Look::kEnd}, Case{"(?m)^", Look::kStartLF},
                 Case{"(?mR)$", Look::kEndCRLF}, Case{"\\A", Look::kStart}, Case{"\\z", Look::kEnd},
                 Case{"\\b", Look::kWordUnicode}, Case{"\\B", Look::kWordUnicodeNegate},
                 Case{"(?-u:\\b)", Look::kWordAscii}, Case{"\\<", Look::kWordStartUnicode},
                 Case{"\\b{end}", Look::kWordEndUnicode}, Case{"\\b{start-half}", Look::kWordStartHalfUnicode},
                 Case{"(?-u)\\b{end-half}", Look::kWordEndHalfAscii}}) {
    auto h = parse(c.pattern);
    ASSERT_TRUE(h.has_value()) << c.pattern;
    ASSERT_EQ(h->node(h->root).kind, HirKind::kLook) << c.pattern;
    EXPECT_EQ(h->node(h->root).look, c.look) << c.pattern;
  }
}

unicode::RangeSet class_of(std::string_view p) {
  auto h = parse(p);
  EXPECT_TRUE(h.has_value()) << p;
  if (!h || h->node(h->root).kind != HirKind::kClass) return {};
  return *h->node(h->root).cls;
}

TEST(RegexSyntax, ClassesAndSetOperations) {
  using S = unicode::RangeSet;
  EXPECT_EQ(class_of("[a-c[x-z]]"), (S{{'a', 'c'}, {'x', 'z'}}));
  EXPECT_EQ(class_of("[a-z&&[^aeiou]]"), (S{{'b', 'd'}, {'f', 'h'}, {'j', 'n'}, {'p', 't'}, {'v', 'z'}}));
  EXPECT_EQ(class_of("[a-z--b-y]"), (S{{'a', 'a'}, {'z', 'z'}}));
  EXPECT_EQ(class_of("[a-c~~b-d]"), (S{{'a', 'a'}, {'d', 'd'}}));
  EXPECT_EQ(class_of("[]a]"), (S{{']', ']'}, {'a', 'a'}}));
  EXPECT_EQ(class_of("[-a]"), (S{{'-', '-'}, {'a', 'a'}}));
  EXPECT_EQ(class_of("[[:digit:][:^ascii:]]").front(), (unicode::CodePointRange{'0', '9'}));
  EXPECT_EQ(class_of("[[:^ascii:]]").front().lo, 0x80u);
  // Operators are left-associative and bind looser than unions.
  EXPECT_EQ(class_of("[a-z&&b-y--c]"), (S{{'b', 'b'}, {'d', 'y'}}));
  // (?i) folds before negating.
  EXPECT_FALSE(unicode::set_contains(class_of("(?i)[^k]"), 0x212A));
  EXPECT_TRUE(unicode::set_contains(class_of("(?i)[^k]"), 'j'));
  // `.` is every scalar value but \n; (?s) adds \n, (?R) removes \r too.
  EXPECT_EQ(unicode::set_size(class_of(".")), 1112063u);
  EXPECT_EQ(unicode::set_size(class_of("(?s).")), 1112064u);
  EXPECT_EQ(unicode::set_size(class_of("(?R).")), 1112062u);
  EXPECT_EQ(kind_of("[\\b]"), ErrorKind::kClassEscapeInvalid);
}

TEST(RegexSyntax, AsciiModeRefusesNonUtf8) {
  EXPECT_EQ(kind_of("(?i-u:é)"), ErrorKind::kUnicodeNotAllowed);
  EXPECT_EQ(class_of("(?-u:\\w)"), (unicode::RangeSet{{'0', '9'}, {'A', 'Z'}, {'_', '_'}, {'a', 'z'}}));
  // ASCII case folding only: no Kelvin sign.
  EXPECT_EQ(class_of("(?i-u:k)"), (unicode::RangeSet{{'K', 'K'}, {'k', 'k'}}));
  EXPECT_TRUE(parse("(?-u:é)").has_value());
}

TEST(RegexSyntax, UnicodeProperties) {
  EXPECT_TRUE(unicode::set_contains(class_of("\\p{Greek}"), 0x3A9));
  EXPECT_TRUE(unicode::set_contains(class_of("\\p{sc:Greek}"), 0x3A9));
  EXPECT_TRUE(unicode::set_contains(class_of("\\p{ Greek }"), 0x3A9));
  EXPECT_TRUE(unicode::set_contains(class_of("\\p{IsGreek}"), 0x3A9));
  // "is" is dropped only at the very start of the name.
  EXPECT_EQ(kind_of("\\p{ is_Greek }"), ErrorKind::kUnicodePropertyNotFound);
  EXPECT_TRUE(unicode::set_contains(class_of("\\pL"), 0x00E9));
  EXPECT_FALSE(unicode::set_contains(class_of("\\p{gc!=L}"), 0x00E9));
  EXPECT_TRUE(unicode::set_contains(class_of("\\p{Nd}"), 0x0663));
  EXPECT_TRUE(unicode::set_contains(class_of("\\p{White_Space}"), 0x202F));
  EXPECT_TRUE(unicode::set_contains(class_of("\\p{Assigned}"), 'a'));
}

TEST(RegexSyntax, CaseFoldingIsSimple) {
  using S = unicode::RangeSet;
  EXPECT_EQ(class_of("(?i)k"), (S{{'K', 'K'}, {'k', 'k'}, {0x212A, 0x212A}}));
  EXPECT_EQ(class_of("(?i)s"), (S{{'S', 'S'}, {'s', 's'}, {0x17F, 0x17F}}));
  EXPECT_EQ(class_of("(?i)ß"), (S{{0xDF, 0xDF}, {0x1E9E, 0x1E9E}}));
  EXPECT_EQ(class_of("(?i)σ"), (S{{0x3A3, 0x3A3}, {0x3C2, 0x3C3}}));
  EXPECT_EQ(class_of("(?i)İ"), (S{{0x130, 0x130}}));
  EXPECT_EQ(class_of("(?i)ı"), (S{{0x131, 0x131}}));
}

TEST(RegexSyntax, NestingLimit) {
  std::string ok, bad;
  for (int i = 0; i < 250; ++i) ok += "(";
  ok += "a" + std::string(250, ')');
  EXPECT_TRUE(parse(ok).has_value());
  bad = "(" + ok + ")";
  EXPECT_EQ(kind_of(bad), ErrorKind::kNestLimitExceeded);
  // Depth counts repetitions and concatenations too.
  std::string reps = "a*";
  for (int i = 0; i < 125; ++i) reps = "(?:" + reps + ")*";
  EXPECT_EQ(kind_of(reps), ErrorKind::kNestLimitExceeded);
  // Far deeper input is refused without exhausting the stack.
  const std::string huge = std::string(100000, '(') + std::string(100000, ')');
  EXPECT_EQ(kind_of(huge), ErrorKind::kNestLimitExceeded);
  const std::string classes = std::string(100000, '[') + "a" + std::string(100000, ']');
  EXPECT_EQ(kind_of(classes), ErrorKind::kNestLimitExceeded);
}

// The thresholds are compared with the reference cases; these multiply far
// past them without expanding anything.
TEST(RegexSyntax, SizeLimitIsCheckedBeforeExpansion) {
  for (const char* big : {"(?:(?:\\w{1000}){1000}){1000}", "\\p{L}{300}", "(?:a{4294967295}){4294967295}"}) {
    EXPECT_EQ(error_of(big), "Compiled regex exceeds size limit of 10485760 bytes.") << big;
  }
}

}  // namespace
}  // namespace qv::regex
