#include "text/normalize.hpp"

#include <gtest/gtest.h>

#include <string>

using qv::text::normalize_text;
using namespace std::string_literals;

TEST(NormalizeText, LineEnds) {
  EXPECT_EQ(normalize_text("a\r\nb\rc"), "a\nb\nc");
  EXPECT_EQ(normalize_text("a\r\r\nb"), "a\n\nb");
  EXPECT_EQ(normalize_text("a\n\r\nb"), "a\n\nb");
  // CR LF pairs are taken before deletions: CR, soft hyphen, LF is not a pair.
  EXPECT_EQ(normalize_text("a\r\u00ad\nb"), "a\n\nb");
  // A lone CR joins a run of LF that step 8 then shortens.
  EXPECT_EQ(normalize_text("a\r\r\r\nb"), "a\n\nb");
  EXPECT_EQ(normalize_text("a\n\n\n\nb"), "a\n\nb");
  EXPECT_EQ(normalize_text("a\n \n \nb"), "a\n \n \nb");
  // Deleting a joiner can bring LF together into a run of three.
  EXPECT_EQ(normalize_text("a\n\u200b\n\u2060\nb"), "a\n\nb");
}

TEST(NormalizeText, DeletionsAndCompatibilityForms) {
  EXPECT_EQ(normalize_text("x\ufeffy"), "xy");
  EXPECT_EQ(normalize_text("co\u00adop\u200c\u200de\u2060r"), "cooper");
  EXPECT_EQ(normalize_text("\ufb01 \uff11\uff12"), "fi 12");
  // Deletion comes before composition: e, ZWSP, acute composes into é.
  EXPECT_EQ(normalize_text("e\u200b\u0301"), "\u00e9");
}

TEST(NormalizeText, NoBreakSpacesBecomeNarrowAndAreNotCollapsed) {
  EXPECT_EQ(normalize_text("1\u00a0000"), "1\u202f000");
  EXPECT_EQ(normalize_text("1\u2007000\u20092\u202f3"), "1\u202f000\u202f2\u202f3");
  EXPECT_EQ(normalize_text("a\ue000b"), "a\u202fb");
  EXPECT_EQ(normalize_text("a \u00a0 b"), "a \u202f b");
  EXPECT_EQ(normalize_text("a\u202f\u202fb"), "a\u202f\u202fb");
  // The shield stops composition across the space, as U+202F would.
  EXPECT_EQ(normalize_text("a\u00a0\u0301"), "a\u202f\u0301");
}

TEST(NormalizeText, SpaceRuns) {
  EXPECT_EQ(normalize_text("a \t\v b"), "a b");
  EXPECT_EQ(normalize_text("a\f\fb"), "a b");
  // These become U+0020 under NFKC and join the run.
  EXPECT_EQ(normalize_text("a \u2000\u2003\u2008\u200a\u205f\u3000 b"), "a b");
  // These stay inside the text and break runs.
  EXPECT_EQ(normalize_text("a \u0085 \u1680 \u2028 \u2029 b"), "a \u0085 \u1680 \u2028 \u2029 b");
}

TEST(NormalizeText, TrimsWhiteSpaceOnly) {
  EXPECT_EQ(normalize_text(" \t\r\n\u3000\u00a0 "), "");
  EXPECT_EQ(normalize_text(""), "");
  EXPECT_EQ(normalize_text("\u202fa\u202fb\u202f"), "a\u202fb");
  EXPECT_EQ(normalize_text("\u2028a\u2028b\u2028"), "a\u2028b");
  EXPECT_EQ(normalize_text("\u0085\u1680x\u2029"), "x");
  // Not white space, so kept at the ends.
  EXPECT_EQ(normalize_text("\x1cx\u180e"), "\x1cx\u180e");
  // NFKC makes U+00A8 a space and a diaeresis; only the space is trimmed.
  EXPECT_EQ(normalize_text("\u00a8"), "\u0308");
}

TEST(NormalizeText, NulAndIllFormedBytes) {
  EXPECT_EQ(normalize_text("a\0b"s), "a\0b"s);
  EXPECT_EQ(normalize_text("\0"s), "\0"s);
  // Each ill-formed part is one U+FFFD; deleting U+00AD cannot glue the bytes
  // around it into a character.
  EXPECT_EQ(normalize_text("\xe2\u00ad\x80\x80"), "\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(normalize_text("x\xff\r"), "x\uFFFD");
}

TEST(NormalizeText, LongAlternatingMarkRuns) {
  // 1 MB of alternating classes 230 and 220 after one base letter: the marks
  // come out ordered by class, each class keeping its order, and the dot
  // below composes with the base.
  std::string text = "a";
  std::string want = "\u1ea1";
  const std::size_t pairs = (1u << 20) / 4;
  for (std::size_t i = 0; i < pairs; ++i) text += "\u0301\u0323";
  for (std::size_t i = 1; i < pairs; ++i) want += "\u0323";
  for (std::size_t i = 0; i < pairs; ++i) want += "\u0301";
  EXPECT_EQ(normalize_text(text), want);
}
