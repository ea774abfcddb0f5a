// Scale words (table order, case rules, boundaries, families) and unit
// lookups with their exact conversion constants.
#include <gtest/gtest.h>

#include <string>

#include "numeric/compare.hpp"
#include "numeric/scale_word.hpp"
#include "numeric/units.hpp"

namespace {

using qv::numeric::canonical_value;
using qv::numeric::currency_unit;
using qv::numeric::Decimal;
using qv::numeric::DimensionKind;
using qv::numeric::match_scale_word;
using qv::numeric::ScaleFamily;
using qv::numeric::unit_lookup;

// "power" or "power+note" of the scale word after the numeral of "N word...",
// with the matched end; "none" when nothing matches.
std::string scale(std::string_view text, ScaleFamily family = ScaleFamily::Any) {
  const std::size_t at = text.find(' ') + 1;
  const auto m = match_scale_word(text, at, family);
  if (!m) return "none";
  std::string out = std::to_string(m->power) + "@" + std::to_string(m->end);
  for (auto n : m->notes) out += "+" + std::string(n);
  return out;
}

TEST(ScaleWords, TableOrderDecidesOverlaps) {
  EXPECT_EQ(scale("5 mil millones"), "9@14");  // row 1 before "mil"
  EXPECT_EQ(scale("5 millones"), "6@10");
  EXPECT_EQ(scale("2 milliarden"), "9@12");    // "milliard" fails its boundary on "e"
  EXPECT_EQ(scale("1 millionen"), "6@11");
  EXPECT_EQ(scale("7 thousand"), "3@10");
  EXPECT_EQ(scale("7 thousands"), "none");
  EXPECT_EQ(scale("3 mil"), "3@5");
  EXPECT_EQ(scale("3 miles"), "none");
  EXPECT_EQ(scale("3 Mio"), "none");
}

TEST(ScaleWords, CaseRulesAndBoundaries) {
  EXPECT_EQ(scale("2 BILLION", ScaleFamily::English), "9@9");
  EXPECT_EQ(scale("5 Mil Millones"), "9@14");
  EXPECT_EQ(scale("2 BN"), "none");
  EXPECT_EQ(scale("2 bn"), "9@4");
  EXPECT_EQ(scale("4 M"), "6@3");
  EXPECT_EQ(scale("4 Mb"), "none");
  EXPECT_EQ(scale("4 M."), "6@3");
  EXPECT_EQ(scale("4 m"), "none");
  EXPECT_EQ(scale("12 kg"), "none");
  EXPECT_EQ(scale("5 Mrd"), "none");
  EXPECT_EQ(scale("9 million2"), "none");      // a digit after the word
  EXPECT_EQ(scale("9 millioné"), "none");      // a non-ASCII letter after the word
  EXPECT_EQ(scale("9 MILLÓN"), "6@9");         // full lower-casing of non-ASCII letters
  EXPECT_EQ(match_scale_word("9 million", 9, ScaleFamily::Any), std::nullopt);  // at the end
}

TEST(ScaleWords, FamiliesGiveNotesNotRefusals) {
  EXPECT_EQ(scale("3 billón", ScaleFamily::English), "12@9+scale_word_foreign_to_locale");
  EXPECT_EQ(scale("3 billón", ScaleFamily::Any), "12@9");
  EXPECT_EQ(scale("3 billones", ScaleFamily::English), "12@10+scale_word_foreign_to_locale");
  EXPECT_EQ(scale("3 billion", ScaleFamily::Continental), "9@9+scale_word_foreign_to_locale");
  EXPECT_EQ(scale("3 trillion", ScaleFamily::English), "12@10");
  EXPECT_EQ(scale("3 trillón", ScaleFamily::Continental), "18@10");
}

// A no-break space becomes U+202F in normalised text; the two-word rows must still match.
TEST(ScaleWords, InnerSpaceMatchesNarrowNoBreakSpace) {
  EXPECT_EQ(scale("5 mil\u202Fmillones"), "9@16");
  EXPECT_EQ(scale("5 mil\u202Fmillons"), "9@15");
  EXPECT_EQ(scale("5 mil\u00A0millones"), "3@5");  // other spaces are no part of the word
}

std::string converted(std::string_view value, std::string_view word) {
  const auto unit = unit_lookup(word);
  if (!unit) return "none";
  const auto v = canonical_value(Decimal::parse(value).value(), *unit);
  return v ? v->to_string() + " " + std::string(unit->unit) : "overflow";
}

TEST(Units, ExactConversions) {
  EXPECT_EQ(converted("20", "°C"), "293.15 K");
  EXPECT_EQ(converted("212", "ºF"), "373.15 K");
  EXPECT_EQ(converted("1.5", "km"), "1500.0 m");
  EXPECT_EQ(converted("3", "mi"), "4828.032 m");
  EXPECT_EQ(converted("2", "lb"), "0.90718474 kg");
  EXPECT_EQ(converted("250", "g"), "0.25 kg");
  EXPECT_EQ(converted("1.5", "kJ"), "0.4166666666666666666666666667 Wh");
  EXPECT_EQ(converted("3", "KiB"), "3072 B");
  EXPECT_EQ(converted("1", "m³"), "1000 L");
  EXPECT_EQ(converted("2", "ha"), "20000 m2");
}

TEST(Units, CaseRulesAndCurrencies) {
  for (std::string_view none : {"KM", "Kg", "mW", "Ki", "kib", "B", "XXX", "", "pounds_mass", "km/h"}) {
    EXPECT_FALSE(unit_lookup(none).has_value()) << none;
  }
  EXPECT_EQ(unit_lookup("Pound")->dimension, qv::numeric::Dimension::currency("GBP"));
  EXPECT_EQ(unit_lookup("Euros")->unit, "EUR");
  EXPECT_EQ(unit_lookup("DÓLARES")->unit, "USD");
  EXPECT_EQ(unit_lookup("US$")->unit, "USD");
  EXPECT_EQ(unit_lookup("Por Ciento")->dimension.kind, DimensionKind::Percent);
  EXPECT_EQ(unit_lookup("\u066A")->unit, "%");
  const auto other = currency_unit("SEK");
  EXPECT_EQ(other.unit, "XXX");
  EXPECT_EQ(other.dimension.code, "SEK");
  EXPECT_EQ(qv::numeric::dimension_text(other.dimension), "Currency(\"SEK\")");
  EXPECT_EQ(qv::numeric::dimension_text(unit_lookup("kWh")->dimension), "Energy");
  EXPECT_FALSE(currency_unit("SEK").dimension == currency_unit("NOK").dimension);
}

}  // namespace
