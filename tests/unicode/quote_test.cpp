#include "unicode/quote.hpp"

#include <gtest/gtest.h>

#include <string>

using qv::unicode::debug_quote;
using namespace std::string_literals;

TEST(DebugQuote, ShortEscapesAndQuotes) {
  EXPECT_EQ(debug_quote(""), R"("")");
  EXPECT_EQ(debug_quote("pink"), R"("pink")");
  EXPECT_EQ(debug_quote("a\"b\\c"), R"("a\"b\\c")");
  EXPECT_EQ(debug_quote("\t\n\r"), R"("\t\n\r")");
  EXPECT_EQ(debug_quote("it's"), R"("it's")");
  // U+0000 is written \0 and does not end the text.
  EXPECT_EQ(debug_quote("a\0b"s), R"("a\0b")");
}

TEST(DebugQuote, ControlsAsBracedHex) {
  EXPECT_EQ(debug_quote("\x01"), R"("\u{1}")");
  EXPECT_EQ(debug_quote("\x0b\x0c\x1f"), R"("\u{b}\u{c}\u{1f}")");
  EXPECT_EQ(debug_quote("\x7f"), R"("\u{7f}")");
  EXPECT_EQ(debug_quote("\u0085"), R"("\u{85}")");
}

TEST(DebugQuote, NonAsciiPrintableIsRaw) {
  EXPECT_EQ(debug_quote("café €5 — 日本 𐐀 😀"), "\"café €5 — 日本 𐐀 😀\"");
  EXPECT_EQ(debug_quote("\u00e9"), "\"\u00e9\"");
}

TEST(DebugQuote, GraphemeExtendersAreEscaped) {
  // A combining mark is escaped even after a base letter.
  EXPECT_EQ(debug_quote("e\u0301"), R"("e\u{301}")");
  EXPECT_EQ(debug_quote("\u200d"), R"("\u{200d}")");        // joiner: Cf and extender
  EXPECT_EQ(debug_quote("\U000E0100"), R"("\u{e0100}")");   // variation selector
}

TEST(DebugQuote, NonPrintableCategories) {
  EXPECT_EQ(debug_quote("\u00a0"), R"("\u{a0}")");    // Zs other than space
  EXPECT_EQ(debug_quote("a b"), R"("a b")");           // U+0020 stays
  EXPECT_EQ(debug_quote("\u3000"), R"("\u{3000}")");  // Zs
  EXPECT_EQ(debug_quote("\u2028\u2029"), R"("\u{2028}\u{2029}")");
  EXPECT_EQ(debug_quote("\u200b\ufeff\u00ad"), R"("\u{200b}\u{feff}\u{ad}")");  // Cf
  EXPECT_EQ(debug_quote("\ue000"), R"("\u{e000}")");            // private use
  EXPECT_EQ(debug_quote("\U0010FFFF"), R"("\u{10ffff}")");      // unassigned
  EXPECT_EQ(debug_quote("\u0378"), R"("\u{378}")");             // unassigned
}

TEST(DebugQuote, IllFormedBytesNeverOverrun) {
  // Each ill-formed part stands for U+FFFD, which is printable.
  EXPECT_EQ(debug_quote("a\xff"), "\"a\uFFFD\"");
  EXPECT_EQ(debug_quote("\xe2\x82"), "\"\uFFFD\"");          // truncated 3-byte form
  EXPECT_EQ(debug_quote("\xed\xa0\x80"), "\"\uFFFD\uFFFD\uFFFD\"");  // surrogate bytes
  EXPECT_EQ(debug_quote("\xc0\x80"), "\"\uFFFD\uFFFD\"");    // overlong NUL
  EXPECT_EQ(debug_quote("\xf4\x90\x80\x80"), "\"\uFFFD\uFFFD\uFFFD\uFFFD\"");
}
