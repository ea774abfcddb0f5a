// Locale profiles and numeral reading: separators per locale, signs,
// currency symbols, percent signs, re-reading and the ambiguity notes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "numeric/locale.hpp"
#include "numeric/numeral.hpp"

namespace {

using qv::numeric::Decimal;
using qv::numeric::LocaleProfile;
using qv::numeric::locale_profile;
using qv::numeric::Numeral;
using qv::numeric::read_numerals;
using qv::numeric::ScaleFamily;
using V = std::vector<std::string>;

std::vector<Numeral> read(std::string_view text, std::string_view tag = "und", std::uint32_t min_digits = 1) {
  const LocaleProfile p = locale_profile(tag).value();
  return read_numerals(text, p.decimal, p.group, min_digits);
}

// The readings of the single numeral of `text`, as written.
V readings(std::string_view text, std::string_view tag = "und") {
  const auto n = read(text, tag);
  EXPECT_EQ(n.size(), 1u) << text;
  V out;
  if (n.empty()) return out;
  for (const Decimal& d : n[0].readings) out.push_back(d.to_string());
  return out;
}

std::vector<std::string_view> notes(std::string_view text) { return read(text).at(0).notes; }

TEST(LocaleProfile, TagsAndTable) {
  EXPECT_EQ(locale_profile("EN")->code, "en");
  EXPECT_EQ(locale_profile("Und")->code, "und");
  for (std::string_view bad : {"en-GB", "english", "e", "", "pt_BR", "xx", "undx"}) {
    EXPECT_FALSE(locale_profile(bad).has_value()) << bad;
  }
  const auto fr = locale_profile("fr").value();
  EXPECT_EQ(fr.decimal, U',');
  EXPECT_EQ(fr.group, U'\u202F');
  EXPECT_EQ(fr.family, ScaleFamily::Continental);
  const auto ch = locale_profile("CH").value();
  EXPECT_EQ(ch.decimal, U'.');
  EXPECT_EQ(ch.group, U'\'');
  EXPECT_EQ(locale_profile("en")->family, ScaleFamily::English);
  const auto und = locale_profile("und").value();
  EXPECT_FALSE(und.decimal.has_value());
  EXPECT_FALSE(und.group.has_value());
  EXPECT_EQ(und.family, ScaleFamily::Any);
  for (std::string_view tag : {"es", "ca", "de", "it", "pt", "nl"}) {
    const auto p = locale_profile(tag).value();
    EXPECT_EQ(p.decimal, U',') << tag;
    EXPECT_EQ(p.group, U'.') << tag;
  }
}

TEST(Numerals, SeparatorsPerLocale) {
  EXPECT_EQ(readings("1,234.5", "en"), V{"1234.5"});
  EXPECT_EQ(readings("1\u202F234", "en"), V{"1234"});
  EXPECT_EQ(readings("1 234", "en"), V{"1234"});
  EXPECT_EQ(readings("1'234", "en"), V{"1234"});
  EXPECT_EQ(readings("1.234,5", "en"), V{"1.2345"});  // the profile's separators, as they are
  EXPECT_EQ(readings("1.234,5", "de"), V{"1234.5"});
  EXPECT_EQ(readings("1.234", "de"), V{"1234"});
  EXPECT_EQ(readings("1\u202F234,5", "fr"), V{"1234.5"});
  EXPECT_TRUE(read("1.234,5", "fr").empty());  // does not read under fr: skipped
  EXPECT_EQ(readings("1'234.50", "ch"), V{"1234.50"});
  // Every space-like group separator, read directly: normalised text shows
  // the verifier only U+202F, so these reach the reader from direct callers.
  for (std::string_view t : {"1\u2009234", "1\u2007234", "1\u00A0234"}) {
    EXPECT_EQ(readings(t, "en"), V{"1234"}) << t;
    EXPECT_EQ(readings(t, "und"), V{"1234"}) << t;
    EXPECT_EQ(read(t, "en").at(0).text, t);
  }
  EXPECT_EQ(readings("12\u2009345\u2009678.5", "en"), V{"12345678.5"});
  EXPECT_EQ(readings("1\u2009234,5", "de"), V{"1234.5"});
}

TEST(Numerals, UndeterminedLocaleAndNotes) {
  EXPECT_EQ(readings("1.234"), (V{"1234", "1.234"}));
  EXPECT_EQ(readings("1,234"), (V{"1234", "1.234"}));
  EXPECT_EQ(notes("1.234"), std::vector<std::string_view>{"grouping_vs_decimal"});
  EXPECT_TRUE(notes("3.14159").empty());
  EXPECT_EQ(readings("1,234,567"), V{"1234567"});
  EXPECT_EQ(notes("1,234,567"), std::vector<std::string_view>{"separator_repeated"});
  EXPECT_EQ(readings("1,234,567.89"), V{"1234567.89"});
  EXPECT_EQ(readings("1.234,56"), V{"1234.56"});
  EXPECT_TRUE(notes("1.234,56").empty());
  // The grouping reading reaches 2^96 and fails; only the decimal one is formed.
  EXPECT_EQ(readings("79228162514264337593543950.336"), V{"79228162514264337593543950.34"});
  EXPECT_EQ(notes("79228162514264337593543950.336"), std::vector<std::string_view>{"grouping_malformed"});
}

TEST(Numerals, SignsParenthesesCurrencyAndPercent) {
  // A minus sign or parentheses negate, both together once.
  for (std::string_view t : {"-12", "\u221212", "\u201312", "(12)", "(-12)", "(\u221212)", "(\u201312)"}) {
    EXPECT_EQ(readings(t), V{"-12"}) << t;
  }
  // An explicit plus keeps the value positive, with or without parentheses.
  for (std::string_view t : {"+12", "(+12)", "(+12%)"}) EXPECT_EQ(readings(t), V{"12"}) << t;
  EXPECT_EQ(readings("(2,500)", "en"), V{"-2500"});
  EXPECT_EQ(readings("(+3,5 %)", "de"), V{"3.5"});
  const auto rise = read("Revenue EUR 4.31 billion (+8.2%).", "en");
  ASSERT_EQ(rise.size(), 2u);
  EXPECT_EQ(rise[1].text, "(+8.2%)");
  ASSERT_EQ(rise[1].readings.size(), 1u);
  EXPECT_EQ(rise[1].readings[0].to_string(), "8.2");
  EXPECT_TRUE(rise[1].percent);
  const auto euro = read("paid € 12 today");
  ASSERT_EQ(euro.size(), 1u);
  EXPECT_EQ(euro[0].currency_symbol, U'€');
  EXPECT_EQ(euro[0].text, "€ 12");
  EXPECT_EQ(euro[0].start, 5u);
  EXPECT_TRUE(read("12 %")[0].percent);
  EXPECT_TRUE(read("12\u066A")[0].percent);
  EXPECT_FALSE(read("12")[0].percent);
  const auto paren = read("x (12%) y");
  EXPECT_EQ(paren[0].text, "(12%)");
  EXPECT_EQ(paren[0].start, 2u);
  EXPECT_EQ(paren[0].end, 7u);
  EXPECT_EQ(paren[0].readings[0].to_string(), "-12");
}

TEST(Numerals, ReReadAndSkips) {
  // "1,2345": the grouped alternative stops inside the run, the plain re-read takes it all.
  EXPECT_EQ(readings("1,2345"), V{"1.2345"});
  // Ten fraction digits: skipped, and the search goes on after the ninth.
  const auto pi = read("3.1415926535");
  ASSERT_EQ(pi.size(), 1u);
  EXPECT_EQ(pi[0].text, "5");
  EXPECT_EQ(pi[0].start, 11u);
  // A re-read body ends the numeral: the percent and parenthesis flags keep what the pattern matched.
  const auto cut = read("(1,234)5");
  ASSERT_EQ(cut.size(), 2u);
  EXPECT_EQ(cut[0].text, "(1,234");
  EXPECT_EQ(cut[0].readings[0].to_string(), "-1234");
  EXPECT_EQ(cut[1].text, "5");
  // min_digits counts ASCII digits of the body.
  EXPECT_TRUE(read("7", "en", 2).empty());
  EXPECT_EQ(read("07", "en", 2).size(), 1u);
  // Digits of other scripts match the pattern but do not read.
  EXPECT_TRUE(read("\u0661\u0662\u0663").empty());
}

TEST(Numerals, SignificantDigits) {
  EXPECT_EQ(read("0.050")[0].significant_digits, 2u);
  EXPECT_EQ(read("1,234", "en")[0].significant_digits, 4u);
  EXPECT_EQ(read("000")[0].significant_digits, 1u);
  EXPECT_EQ(read("1 200.50", "en")[0].significant_digits, 6u);
}

}  // namespace
