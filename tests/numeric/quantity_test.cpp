// Quantity extraction in both modes: units before and after, scale words
// and connectors, keep-or-drop rules, scale contexts, and exact values.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "numeric/quantity.hpp"
#include "numeric/scale_exceptions.hpp"

namespace {

using qv::numeric::Decimal;
using qv::numeric::DimensionKind;
using qv::numeric::extract_quantities;
using qv::numeric::Fraction;
using qv::numeric::locale_profile;
using qv::numeric::Quantity;
using qv::numeric::quantity_exact_value;
using V = std::vector<std::string>;

std::vector<Quantity> units(std::string_view text, std::string_view tag = "en") {
  return extract_quantities(text, locale_profile(tag).value(), true);
}

V values(const Quantity& q) {
  V out;
  for (const Decimal& d : q.values) out.push_back(d.normalize().to_string());
  return out;
}

std::vector<std::string_view> notes(const Quantity& q) { return q.notes; }

TEST(Quantities, CurrencyScaleAndSpan) {
  const std::string text = "Revenue was $4.5 million.";
  const auto q = units(text);
  ASSERT_EQ(q.size(), 1u);
  EXPECT_EQ(values(q[0]), V{"4500000"});
  EXPECT_EQ(q[0].readings[0].to_string(), "4.5");
  EXPECT_EQ(q[0].unit.unit, "USD");
  EXPECT_EQ(q[0].scale_power, 6u);
  EXPECT_EQ(text.substr(q[0].start, q[0].end - q[0].start), "$4.5 million");
  EXPECT_EQ(quantity_exact_value(q[0]), (Fraction{4500000, 1}));

  const auto eur = units("paid EUR 300");
  EXPECT_EQ(eur[0].unit.unit, "EUR");
  EXPECT_EQ(eur[0].start, 5u);
  const auto lower = units("paid eur 300");
  EXPECT_EQ(lower[0].unit.dimension.kind, DimensionKind::Dimensionless);
  EXPECT_EQ(lower[0].start, 9u);
  EXPECT_TRUE(units("USD5").empty());   // code recognised, but one digit glued to a letter
  EXPECT_TRUE(units("XUSD 5").empty()); // a four-letter run is no code
}

TEST(Quantities, ScaleWordConnectorsAndFamilies) {
  const std::string es = "3 billones de euros";
  const auto q = units(es, "es");
  ASSERT_EQ(q.size(), 1u);
  EXPECT_EQ(values(q[0]), V{"3000000000000"});
  EXPECT_EQ(q[0].unit.unit, "EUR");
  EXPECT_TRUE(q[0].notes.empty());
  EXPECT_EQ(q[0].end, es.size());
  EXPECT_EQ(notes(units(es, "en")[0]), std::vector<std::string_view>{"scale_word_foreign_to_locale"});
  EXPECT_EQ(units("2 milliards d'euros", "fr")[0].unit.unit, "EUR");
  EXPECT_EQ(units("5 million of dollars")[0].unit.unit, "USD");
  // A connector written with a narrow no-break space.
  EXPECT_EQ(units("3 millones de\u202Feuros", "es")[0].unit.unit, "EUR");
  EXPECT_EQ(units("5 mil\u202Fmillones", "es")[0].scale_power, 9u);
}

TEST(Quantities, UnitsAfterAndKeepOrDrop) {
  EXPECT_EQ(units("5 kg")[0].unit.dimension.kind, DimensionKind::Mass);
  EXPECT_TRUE(units("5 Kg").empty());
  EXPECT_EQ(units("12kg.")[0].unit.unit, "kg");
  EXPECT_EQ(units("12 kWh/yr")[0].unit.unit, "Wh");
  EXPECT_EQ(units("12 m²")[0].unit.unit, "m2");
  EXPECT_EQ(units("12 kg2")[0].unit.dimension.kind, DimensionKind::Dimensionless);
  const std::string both = "$5 USD";
  EXPECT_EQ(units(both)[0].end, both.size());
  const std::string other = "$5 EUR";
  EXPECT_EQ(units(other)[0].end, 2u);  // another currency after is ignored
  EXPECT_EQ(units("5% pct")[0].end, 6u);
  EXPECT_EQ(units("$5%")[0].unit.unit, "%");  // the percent sign wins
  EXPECT_TRUE(units("5 M").empty());
  // A lone digit is kept by a scale word only of more than two letters.
  for (std::string_view t : {"Sales grew by 5 bn this year.", "5 mn", "5 MM", "5 B"}) {
    EXPECT_TRUE(units(t).empty()) << t;
  }
  EXPECT_EQ(values(units("Sales grew by 15 bn this year.")[0]), V{"15000000000"});
  EXPECT_EQ(units("5 mil", "es")[0].scale_power, 3u);
  EXPECT_EQ(units("5 billion")[0].scale_power, 9u);
  EXPECT_TRUE(units("Plan 9").empty());
  EXPECT_TRUE(units("A4").empty());
  EXPECT_EQ(values(units("COVID19")[0]), V{"19"});
  EXPECT_EQ(units("7 kg at start").size(), 1u);
}

TEST(Quantities, ScaleContexts) {
  const auto q = units("(amounts in millions) Sales 12 and growth 15%");
  ASSERT_EQ(q.size(), 2u);
  EXPECT_EQ(values(q[0]), V{"12000000"});
  EXPECT_EQ(notes(q[0]), std::vector<std::string_view>{"scale_from_context"});
  EXPECT_EQ(q[1].scale_power, 0u);
  const auto dollars = units("figures in millions of dollars: 70 units, 7 units");
  ASSERT_EQ(dollars.size(), 1u);
  EXPECT_EQ(dollars[0].scale_power, 6u);
  EXPECT_EQ(dollars[0].unit.unit, "USD");
  // A figure with a unit of its own keeps it and takes only the scale.
  const auto own = units("Figures in millions of dollars: 70 kg.");
  ASSERT_EQ(own.size(), 1u);
  EXPECT_EQ(own[0].unit.unit, "kg");
  EXPECT_EQ(own[0].unit.dimension.kind, DimensionKind::Mass);
  EXPECT_EQ(values(own[0]), V{"70000000"});
  EXPECT_EQ(notes(own[0]), std::vector<std::string_view>{"scale_from_context"});
  EXPECT_EQ(units("Figures in millions of dollars: EUR 70")[0].unit.unit, "EUR");
  const auto none = units("Amounts in thousands. Total 1.234", "und");
  ASSERT_EQ(none.size(), 1u);
  EXPECT_EQ(values(none[0]), (V{"1234", "1.234"}));
  EXPECT_EQ(notes(none[0]), std::vector<std::string_view>{"grouping_vs_decimal"});
  EXPECT_EQ(units("Amounts in thousand euros: 40")[0].unit.unit, "EUR");
  EXPECT_EQ(units("within millions 40")[0].scale_power, 0u);
  EXPECT_EQ(units("importes en miles 40", "es")[0].scale_power, 0u);
  // A later context replaces an earlier one; there is no limit of distance.
  const auto two = units("in thousand 10, then in millions 20 ... 30");
  ASSERT_EQ(two.size(), 3u);
  EXPECT_EQ(two[0].scale_power, 3u);
  EXPECT_EQ(two[1].scale_power, 6u);
  EXPECT_EQ(two[2].scale_power, 6u);
}

// A phrase with "except" after its scale word, before the first closing
// parenthesis or line end, scales no figure up to the next phrase, and
// gives no unit; one without it scales as before.
TEST(Quantities, ContextPhrasesWithExceptionsScaleNothing) {
  struct Case {
    const char* text;
    std::vector<std::uint32_t> powers;  // of each figure, in order
  };
  const Case cases[] = {
      {"(In millions, except per share data)\nNet income | $455\nEPS | $0.87", {0, 0}},
      {"Amounts in millions of dollars, EXCEPT per share data: EPS 0.87", {0}},
      {"In millions, except per share\nEPS 0.87 and 12.50", {0, 0}},
      {"en millones, except per share 12,50", {0}},
      {"in trillion, except 12", {0}},
      // An earlier phrase ends where one with exceptions begins; a later one
      // starts again. Exceptions reach to the line end, past figures.
      {"in millions 12\nthen in millions, except per share, 15\nthen in thousand 20", {6, 0, 3}},
      {"in millions 12, then except 15", {0, 0}},
      // Not exceptions: after the parenthesis or line end, before the scale
      // word, or a longer word.
      {"(in millions) except 12", {6}},
      {"In millions\nexcept per share 12", {6}},
      {"In millions\r\nexcept 12", {6}},
      {"except in millions 12", {6}},
      {"in millions, exceptions noted 12", {6}},
      {"in millions, unexcepted 12", {6}},
      {"in millions_except 12", {6}},
  };
  for (const Case& c : cases) {
    std::vector<std::uint32_t> powers;
    const auto q = units(c.text, std::string_view(c.text).starts_with("en ") ? "es" : "en");
    for (const Quantity& f : q) powers.push_back(f.scale_power);
    EXPECT_EQ(powers, c.powers) << c.text;
    for (const Quantity& f : q) {
      if (f.scale_power == 0) {
        EXPECT_TRUE(f.notes.empty()) << c.text;
      }
    }
  }
  const auto bare = units("figures in millions of dollars, except per share data: 70");
  ASSERT_EQ(bare.size(), 1u);
  EXPECT_EQ(bare[0].unit.dimension.kind, DimensionKind::Dimensionless);
  const auto contexts = qv::numeric::scale_contexts("amounts in millions, except; in millions 5", qv::numeric::ScaleFamily::Any);
  ASSERT_EQ(contexts.size(), 3u);  // "amounts in", its "in", and the later "in"
  EXPECT_TRUE(contexts[0].with_exceptions);
  EXPECT_TRUE(contexts[1].with_exceptions);
  EXPECT_FALSE(contexts[2].with_exceptions);
}

// The exception scan that resumes where it stopped answers at every offset
// as a fresh scan does; the first context phrase with exceptions, found by
// its shortcut (only up to the text's last "except"), is the one the full
// scan of contexts finds first. Texts drawn from pieces that make each
// branch common.
TEST(Quantities, ExceptionShortcutsAgreeWithTheFullScans) {
  static const std::vector<std::string> pieces = {"in millions", "Amounts in millions", ", except", " EXCEPT",
                                                  "excepted",    ")",                   "\n",       "\r",
                                                  " 12",         "(in ",                "x",         " ",
                                                  "in thousand", "except"};
  std::mt19937 rng(17);
  int found = 0, none = 0;
  for (int n = 0; n < 3000; ++n) {
    std::string text;
    for (std::size_t k = rng() % 14; k > 0; --k) text += pieces[rng() % pieces.size()];
    qv::numeric::ScaleExceptions resumed(text);
    for (std::size_t at = 0; at <= text.size(); ++at) {
      ASSERT_EQ(resumed.follow(at), qv::numeric::ScaleExceptions(text).follow(at)) << text << " at " << at;
    }
    std::optional<std::size_t> full;
    for (const auto& c : qv::numeric::scale_contexts(text, qv::numeric::ScaleFamily::English)) {
      if (c.with_exceptions) {
        full = c.position;
        break;
      }
    }
    const auto shortcut = qv::numeric::first_scale_context_with_exceptions(text, qv::numeric::ScaleFamily::English);
    ASSERT_EQ(full, shortcut ? std::optional<std::size_t>(shortcut->position) : std::nullopt) << text;
    ++(full ? found : none);
  }
  EXPECT_GT(found, 200);
  EXPECT_GT(none, 500);
}

// Normalised text writes a no-break space as U+202F: the phrases still declare their scale.
TEST(Quantities, ContextPhrasesWithNarrowNoBreakSpace) {
  EXPECT_EQ(units("(in\u202Fmillions) 12")[0].scale_power, 6u);
  EXPECT_EQ(units("figures\u202Fin\u202Fmillions\u202Fof dollars: 70")[0].unit.unit, "USD");
  EXPECT_EQ(units("cifras\u202Fen millones 70", "es")[0].scale_power, 6u);
}

// A percentage by its unit word takes no context scale, like one with the sign.
TEST(Quantities, PercentWordsTakeNoContextScale) {
  for (std::string_view text : {"(in millions) 15 percent", "(in millions) 15 pct", "(in millions) 15 PCT",
                                "(in millions) PCT 15"}) {
    const auto q = units(text);
    ASSERT_EQ(q.size(), 1u) << text;
    EXPECT_EQ(q[0].scale_power, 0u) << text;
    EXPECT_EQ(values(q[0]), V{"15"}) << text;
    EXPECT_TRUE(q[0].notes.empty()) << text;
  }
}

TEST(Quantities, OverflowAndExactValues) {
  const auto big = units("79228162514264337593543950335 million");
  ASSERT_EQ(big.size(), 1u);
  EXPECT_TRUE(big[0].values.empty());
  EXPECT_EQ(notes(big[0]), std::vector<std::string_view>{"scale_overflow"});
  EXPECT_EQ(quantity_exact_value(big[0]), std::nullopt);
  EXPECT_EQ(quantity_exact_value(units("1.5 km")[0]), (Fraction{1500, 1}));
  EXPECT_EQ(quantity_exact_value(units("250 g")[0]), (Fraction{1, 4}));
  EXPECT_EQ(quantity_exact_value(units("72 °F")[0]), std::nullopt);
}

// The digits dropped for want of anything of their own come apart, read as
// a kept figure would be, and leave the kept quantities as they were.
TEST(Quantities, LoneDigitsApart) {
  const auto read = [](std::string_view text, bool with_units) {
    std::vector<qv::numeric::LoneDigit> lone;
    const auto kept = extract_quantities(text, *locale_profile("en"), with_units, lone);
    V out;
    for (const Quantity& q : kept) out.push_back(q.text);
    out.emplace_back("|");
    for (const auto& d : lone) {
      out.push_back(d.quantity.text + "@" + std::to_string(d.figures_before) + "=" + values(d.quantity).at(0) +
                    (d.quantity.unit.unit.empty() ? "" : " " + std::string(d.quantity.unit.unit)));
    }
    return out;
  };
  EXPECT_EQ(read("figures in millions of dollars: 70 units, 7 units", true),
            (V{"70", "|", "7@1=7000000 USD"}));
  EXPECT_EQ(read("(in millions)\nOther items | (7) | 55 | $(3) | 4.5", true),
            (V{"55", "4.5", "|", "(7)@0=-7000000", "(3)@1=-3000000"}));
  // After a letter, with a scale word, unit or percent sign of its own, a
  // digit is no lone digit.
  EXPECT_EQ(read("Plan 9, A4, 5 M, 5 kg, 5%, 5 million", true), (V{"5", "5%", "5", "|", "9@0=9"}));
  EXPECT_EQ(read("Call 5 at 10:30, $7, B2", false), (V{"10", "30", "|", "5@0=5", "$7@2=7"}));
  // Random texts: the kept quantities are those of the plain extraction.
  std::mt19937 rng(3);
  const std::vector<std::string> pieces = {"in millions ", "3 ", "(7) ", "12 ", "$4 ", "A4 ", "5 kg ", "5 M ",
                                           "in millions, except per share ", "0.5 ", "8% ", "2 billion ", "x9 "};
  int lone = 0;
  for (int i = 0; i < 500; ++i) {
    std::string text;
    for (int k = 0; k < 8; ++k) text += pieces[rng() % pieces.size()];
    for (const bool with_units : {true, false}) {
      std::vector<qv::numeric::LoneDigit> digits;
      const auto kept = extract_quantities(text, *locale_profile("en"), with_units, digits);
      const auto plain = extract_quantities(text, *locale_profile("en"), with_units);
      ASSERT_EQ(kept.size(), plain.size()) << text;
      for (std::size_t k = 0; k < kept.size(); ++k) {
        EXPECT_EQ(kept[k].text, plain[k].text);
        EXPECT_EQ(values(kept[k]), values(plain[k]));
        EXPECT_EQ(kept[k].start, plain[k].start);
      }
      for (const auto& d : digits) {
        EXPECT_LE(d.figures_before, kept.size());
        if (d.figures_before < kept.size()) {
          EXPECT_LT(d.quantity.start, kept[d.figures_before].start);
        }
        if (d.figures_before > 0) {
          EXPECT_GT(d.quantity.start, kept[d.figures_before - 1].start);
        }
      }
      lone += static_cast<int>(digits.size());
    }
  }
  EXPECT_GT(lone, 2000);
}

TEST(Quantities, BareMode) {
  const auto q = extract_quantities("Call 5 at 10:30, $7 or 42% and 3 million", *locale_profile("en"), false);
  V texts;
  for (const Quantity& x : q) texts.push_back(x.text);
  EXPECT_EQ(texts, (V{"10", "30", "42%"}));
  EXPECT_EQ(q[2].unit.dimension.kind, DimensionKind::Dimensionless);
  EXPECT_TRUE(q[2].percent);
  EXPECT_EQ(q[2].scale_power, 0u);
}

}  // namespace
