#include <gtest/gtest.h>

#include <string>

#include "unicode/case.hpp"
#include "unicode/nfkc.hpp"
#include "unicode/properties.hpp"
#include "unicode/well_formed.hpp"
#include "unicode/white_space.hpp"

namespace u = qv::unicode;
using namespace std::string_literals;

TEST(WhiteSpace, TrimsTheTwentyFiveAndNothingElse) {
  EXPECT_EQ(u::trim_white_space("\t\n\v\f\r \u0085\u00a0\u1680\u2000\u200a\u2028\u2029\u202f\u205f\u3000x"
                                "\u3000 \u2029"),
            "x");
  // Not white space: U+180E, U+200B, U+FEFF, U+001C..U+001F.
  EXPECT_EQ(u::trim_white_space("\u200bx\ufeff"), "\u200bx\ufeff");
  EXPECT_EQ(u::trim_white_space("\u180e x\x1c"), "\u180e x\x1c");
  EXPECT_EQ(u::trim_white_space(" a b "), "a b");
  EXPECT_EQ(u::trim_start_white_space("  a "), "a ");
  EXPECT_EQ(u::trim_end_white_space("  a "), "  a");
  EXPECT_TRUE(u::is_blank(" \u3000\n"));
  EXPECT_FALSE(u::is_blank(" \0 "s));
}

TEST(WhiteSpace, IllFormedEndsAreKept) {
  // A continuation byte at the end is no white space, nor is a truncated
  // U+3000 (E3 80 80) missing its last byte.
  EXPECT_EQ(u::trim_white_space(" \x80"), "\x80");
  EXPECT_EQ(u::trim_white_space("\x80\x80\x80\x80 "), "\x80\x80\x80\x80");
  EXPECT_EQ(u::trim_white_space("a\xe3\x80"), "a\xe3\x80");
  EXPECT_EQ(u::trim_white_space("\x80\u3000"), "\x80");
}

TEST(Properties, ValuesBeyondTheCodeSpaceHaveNone) {
  EXPECT_FALSE(u::is_alphabetic(0x110000));
  EXPECT_FALSE(u::is_assigned(0xFFFFFFFF));
  EXPECT_EQ(u::general_category(0x110000), u::GeneralCategory::Cn);
}

TEST(Properties, CategoriesScriptsAndBinaryProperties) {
  EXPECT_EQ(u::general_category(U'A'), u::GeneralCategory::Lu);
  EXPECT_EQ(u::general_category(U'\u0301'), u::GeneralCategory::Mn);
  EXPECT_EQ(u::short_name(u::general_category(U'€')), "Sc");
  EXPECT_EQ(u::long_name(u::GeneralCategory::Pc), "Connector_Punctuation");
  const auto greek = u::find_script("Greek");
  ASSERT_TRUE(greek.has_value());
  EXPECT_EQ(u::find_script("Grek"), greek);
  EXPECT_EQ(u::script(U'Ω'), *greek);
  EXPECT_EQ(u::long_name(u::script(U'a')), "Latin");
  EXPECT_EQ(u::short_name(u::script(U'1')), "Zyyy");
  // U+0342 (combining perispomeni) is Inherited, with the Greek extension.
  EXPECT_EQ(u::long_name(u::script(U'\u0342')), "Inherited");
  EXPECT_TRUE(u::has_script_extension(U'\u0342', *greek));
  EXPECT_FALSE(u::has_script_extension(U'a', *greek));
  EXPECT_EQ(u::script_extensions(U'\u0342'), std::vector<u::Script>{*greek});
  // A script no character of this version carries is not found.
  EXPECT_FALSE(u::find_script("Garay").has_value());
  EXPECT_FALSE(u::find_script("Blissymbols").has_value());
  EXPECT_EQ(u::find_binary_property("Join_Control"), u::BinaryProperty::Join_Control);
  EXPECT_TRUE(u::has_binary_property(U'\u200D', u::BinaryProperty::Join_Control));
  EXPECT_TRUE(u::has_binary_property(U'\u3000', u::BinaryProperty::White_Space));
  EXPECT_FALSE(u::has_binary_property(U'\x1c', u::BinaryProperty::White_Space));
  EXPECT_TRUE(u::has_binary_property(U'😀', u::BinaryProperty::Emoji));
  EXPECT_FALSE(u::find_binary_property("IDS_Unary_Operator").has_value());
  EXPECT_EQ(u::unicode_version(), (u::Age{15, 0}));
}

TEST(Case, FullLowerCasingWithFinalSigma) {
  EXPECT_EQ(u::to_lowercase("İstanbul"), "i\u0307stanbul");
  EXPECT_EQ(u::to_lowercase("ΟΔΟΣ"), "οδος");
  EXPECT_EQ(u::to_lowercase("ΟΔΟΣ ΟΔΟΣ."), "οδος οδος.");
  EXPECT_EQ(u::to_lowercase("Σ"), "σ");           // nothing cased before
  EXPECT_EQ(u::to_lowercase("ΑΣ'Α"), "ασ'α");     // a cased letter follows past the apostrophe
  EXPECT_EQ(u::to_lowercase("ΑΣ'"), "ας'");
  EXPECT_EQ(u::to_lowercase("A\u0301Σ"), "a\u0301ς");  // case-ignorable mark skipped backwards
  EXPECT_EQ(u::to_lowercase("STRASSE ẞ ß K"), "strasse ß ß k");
  EXPECT_EQ(u::to_lowercase("ſ"), "ſ");
  EXPECT_EQ(u::to_lowercase("A\0B"s), "a\0b"s);
  EXPECT_EQ(u::to_lowercase("\xffΣ\x80"), "\uFFFDσ\uFFFD");
}

TEST(Case, SimpleFolding) {
  EXPECT_EQ(u::simple_case_fold(U'K'), U'k');
  EXPECT_EQ(u::simple_case_fold(U'\u212A'), U'k');
  EXPECT_EQ(u::simple_case_fold(U'ẞ'), U'ß');
  EXPECT_EQ(u::simple_case_fold(U'İ'), U'İ');
  EXPECT_EQ(u::simple_case_fold_class(0x110000), std::vector<char32_t>{0x110000});
}

TEST(Nfkc, NulAndIllFormedInput) {
  // U+0000 is kept and does not end the text.
  EXPECT_EQ(u::nfkc("a\0\u00bd"s), "a\0001\u20442"s);
  EXPECT_EQ(u::nfkc("\xf0\x9f\x98"), "\uFFFD");
  EXPECT_EQ(u::nfkc(""), "");
}

TEST(WellFormed, ReplacesMaximalIllFormedParts) {
  EXPECT_TRUE(u::is_well_formed_utf8("a\u00e9\U0001F600"));
  EXPECT_FALSE(u::is_well_formed_utf8("\xed\xa0\x80"));
  EXPECT_EQ(u::replace_ill_formed_utf8("a\xf0\x9f\x98" "b"), "a\uFFFDb");
  EXPECT_EQ(u::replace_ill_formed_utf8("\xe0\x80\x80"), "\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(u::replace_ill_formed_utf8("\xf5\xc1"), "\uFFFD\uFFFD");
}
