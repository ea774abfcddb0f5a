// The second chances of derived figures: the indexed search held to trying
// every candidate in order, and each chance held to the one a source figure
// written the same way gives.
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

#include "numeric/locale.hpp"
#include "numeric/quantity.hpp"
#include "verifiers/numeric_derive_chances.hpp"
#include "verifiers/numeric_operands.hpp"
#include "verifiers/numeric_sources.hpp"

namespace qv::verifiers {
namespace {

using numeric::Dimension;
using numeric::DimensionKind;
using numeric::Fraction;

Fraction frac(numeric::i128 n, numeric::i128 d) { return *numeric::normalize_fraction(n, d); }

Fraction pow10(std::uint32_t k) { return *numeric::pow10_fraction(static_cast<std::int32_t>(k)); }

// Ways of writing: dimensionless, dollars, kilometres (a unit of factor
// 1000), at the scales 0, 3 and 6, with or without a scale its source
// states for figures written without one.
WrittenAs random_writing(std::mt19937& rng) {
  const auto pick = [&](unsigned n) { return rng() % n; };
  static const std::array<Dimension, 3> dimensions = {Dimension{}, Dimension::currency("USD"),
                                                      Dimension{DimensionKind::Length, {}}};
  WrittenAs w;
  const std::size_t d = pick(3);
  w.dimension = dimensions[d];
  w.unit = d == 2 && pick(2) == 0 ? frac(1000, 1) : frac(1, 1);
  w.scale_power = std::array<std::uint32_t, 3>{0, 3, 6}[pick(3)];
  if (w.scale_power == 0 && pick(2) == 0) w.source_power = std::array<std::uint32_t, 2>{3, 6}[pick(2)];
  w.context = w.scale_power != 0 && pick(2) == 0;
  return w;
}

struct Request {
  DerivationRun run;
  std::vector<DerivationTarget> targets;
  core::RoundingRule rule;
  bool tainted_only;
};

// Runs of operands written in a few ways, some tainted, at times with the
// dimensionless ones given a currency; targets near what the candidates give
// as written, under a scale, and at their values.
Request random_request(std::mt19937& rng) {
  const auto pick = [&](unsigned n) { return rng() % n; };
  Request r;
  r.rule = static_cast<core::RoundingRule>(pick(3));
  r.tainted_only = pick(4) == 0;
  std::vector<WrittenAs> ways(1 + pick(3));
  for (WrittenAs& w : ways) w = random_writing(rng);
  const std::size_t operands = 2 + pick(5);
  for (std::size_t i = 0; i < operands; ++i) {
    const WrittenAs& w = ways[pick(static_cast<unsigned>(ways.size()))];
    numeric::DerivationOperand op;
    op.reading = frac(static_cast<numeric::i128>(pick(400)) - 100, pick(3) == 0 ? 10 : 1);
    op.value = *numeric::fraction_mul(*numeric::fraction_mul(op.reading, pow10(w.scale_power)), w.unit);
    op.dimension = w.dimension;
    op.label = "c" + std::to_string(i);
    op.text = "t" + std::to_string(i);
    r.run.add(op, w, pick(3) == 0 ? static_cast<std::uint8_t>(1u << pick(3)) : 0);
  }
  if (pick(4) == 0) {
    const auto given = numeric_detail::with_currency_given(r.run);
    if (!given.empty()) r.run = given.front();
  }
  const auto candidates = numeric::find_derived_figure(r.run.operands);
  const std::size_t targets = 1 + pick(3);
  for (std::size_t i = 0; i < targets; ++i) {
    DerivationTarget t;
    t.claim_id = pick(10) == 0 ? "c" + std::to_string(pick(static_cast<unsigned>(operands)))
                               : "c" + std::to_string(operands + i);
    const WrittenAs w = random_writing(rng);
    t.dimension = w.dimension;
    t.scale_power = w.scale_power;
    t.unit = w.unit;
    t.significant_digits = 1 + static_cast<std::uint32_t>(pick(4));
    const Fraction written_step = frac(1, std::array<int, 3>{1, 10, 100}[pick(3)]);
    Fraction reading = frac(static_cast<numeric::i128>(pick(400)) - 200, 1);
    if (!candidates.empty() && pick(4) != 0) {
      // A candidate's value read back as written at some scale and unit,
      // or at its own value, nudged now and then.
      const auto& c = candidates[pick(static_cast<unsigned>(candidates.size()))];
      const WrittenAs as = random_writing(rng);
      const auto back = numeric::fraction_div(c.value, *numeric::fraction_mul(pow10(as.scale_power), as.unit));
      if (back) reading = *back;
      if (pick(3) == 0) reading = *numeric::fraction_add(reading, frac(pick(3) == 0 ? 1 : 0, 100));
    }
    const Fraction multiplier = *numeric::fraction_mul(pow10(t.scale_power), *t.unit);
    t.value = *numeric::fraction_mul(reading, multiplier);
    t.step = numeric::fraction_mul(written_step, multiplier);
    if (pick(8) == 0) t.step = std::nullopt;
    r.targets.push_back(t);
  }
  return r;
}

TEST(DerivedChances, TheIndexAgreesWithTheInOrderSearch) {
  std::mt19937 rng(20261208);
  std::array<int, kDerivedChances> found{};
  int requests = 0, tainted = 0, given = 0;
  for (; requests < 6000; ++requests) {
    const Request r = random_request(rng);
    const auto indexed = first_chance_matches(r.run, r.targets, r.rule, r.tainted_only);
    const auto in_order = first_chance_matches_in_order(r.run, r.targets, r.rule, r.tainted_only);
    ASSERT_EQ(indexed.size(), in_order.size());
    for (std::size_t t = 0; t < indexed.size(); ++t) {
      for (std::size_t c = 0; c < kDerivedChances; ++c) {
        const auto& a = indexed[t][c];
        const auto& b = in_order[t][c];
        ASSERT_EQ(a.has_value(), b.has_value()) << "request " << requests << " target " << t << " chance " << c;
        if (!a) continue;
        ASSERT_EQ(a->match.position, b->match.position) << "request " << requests;
        ASSERT_EQ(a->match.kind, b->match.kind);
        ASSERT_EQ(a->match.expression, b->match.expression);
        ASSERT_EQ(a->taint, b->taint);
        ++found[c];
        tainted += a->taint != 0;
        given += (a->taint & kCurrencyOnOneSide) != 0;
      }
    }
    // Without the direct search, the chances' matches are the same.
    const auto chances_only = first_chance_matches(r.run, r.targets, r.rule, r.tainted_only, false);
    for (std::size_t t = 0; t < indexed.size(); ++t) {
      EXPECT_FALSE(chances_only[t][0].has_value());
      for (std::size_t c = 1; c < kDerivedChances; ++c) {
        ASSERT_EQ(chances_only[t][c].has_value(), indexed[t][c].has_value());
      }
    }
  }
  EXPECT_EQ(requests, 6000);
  EXPECT_GT(found[0], 1000);
  EXPECT_GT(found[1], 300);
  EXPECT_GT(found[2], 150);
  EXPECT_GT(tainted, 300);
  EXPECT_GT(given, 30);
}

// A figure of a table and a claim, both drawn from small vocabularies of
// scales, units, currencies and declarations.
std::string random_table(std::mt19937& rng) {
  static const std::vector<std::string> headers = {"",           "(in thousands)\n", "(in millions)\n",
                                                   "($ in millions)\n", "(dollars in millions)\n",
                                                   "Amounts in thousand "};
  static const std::vector<std::string> figures = {"870", "$870", "0.87", "870 km", "870 million", "$0.87",
                                                   "(870)", "870,000", "87", "8.7 thousand", "870 m"};
  return headers[rng() % headers.size()] + "| Range | " + figures[rng() % figures.size()] + " |";
}

std::string random_claim(std::mt19937& rng) {
  static const std::vector<std::string> claims = {"870",          "$870",           "870 thousand", "$870 million",
                                                  "0.87 million", "$0.87 billion",  "870 km",       "0.87 km",
                                                  "870,000",      "$870 thousand", "87 million",   "-870",
                                                  "870 m",        "8.7",            "$8.7 thousand"};
  return claims[rng() % claims.size()];
}

// A single-reading copy: the chances of derived figures read the first.
numeric::Quantity first_reading(numeric::Quantity q) {
  if (q.readings.size() > 1) q.readings.resize(1);
  if (q.values.size() > 1) q.values.resize(1);
  return q;
}

// A candidate of the value a source figure has, written as that figure is,
// meets a claim through a chance exactly where the figure meets it through
// the same chance, at its first readings: on one side, and under the scale
// its table states (where a context phrase scaled the figure, of the
// claim's own unit, that is a direct match of the candidate).
TEST(DerivedChances, EachChanceIsTheOneASourceFigureGives) {
  std::mt19937 rng(7);
  int compared = 0, skipped = 0, one_sided = 0, under_scale = 0;
  const numeric::LocaleProfile profile = *numeric::locale_profile("en");
  for (int i = 0; i < 4000; ++i) {
    std::vector<records::Source> sources(1);
    sources[0].id = "s0";
    sources[0].text = random_table(rng);
    const auto figures = find_declared_scale(sources, profile, true);
    const auto claims = numeric::extract_quantities(random_claim(rng), profile, true);
    if (figures.empty() || claims.empty()) continue;
    SourceFigure s = figures.front();
    s.quantity = first_reading(s.quantity);
    const numeric::Quantity q = first_reading(claims.front());
    const auto c = numeric::quantity_exact_value(s.quantity);
    const auto v = numeric::quantity_exact_value(q);
    const auto w = numeric_detail::figure_writing(s);
    // Units with an offset have no exact value: neither side compares them.
    if (!c || !v || !w) {
      ++skipped;
      continue;
    }
    DerivationTarget t;
    t.value = *v;
    t.dimension = q.unit.dimension;
    t.scale_power = q.scale_power;
    t.unit = numeric::unit_ratio(q.unit.factor, q.unit.divisor);
    t.significant_digits = q.significant_digits;
    const auto meets = [&](DerivedChance chance) {
      const auto k = chance_factor(chance, *w, t);
      const auto scaled = k ? numeric::fraction_mul(*c, *k) : std::nullopt;
      return scaled && *scaled == *v;
    };
    const bool direct = meets(DerivedChance::Direct) && q.unit.dimension == s.quantity.unit.dimension;
    EXPECT_EQ(meets(DerivedChance::OneSided), one_sided_unit_or_scale(q, s)) << sources[0].text << " / " << q.text;
    EXPECT_EQ(meets(DerivedChance::UnderScale) || (direct && w->context),
              under_declared_scale(q, v, s) && (w->context || w->source_power != 0))
        << sources[0].text << " / " << q.text;
    one_sided += one_sided_unit_or_scale(q, s);
    under_scale += under_declared_scale(q, v, s);
    ++compared;
  }
  EXPECT_GT(compared, 3000);
  EXPECT_LT(skipped, 500);
  EXPECT_GT(one_sided, 200);
  EXPECT_GT(under_scale, 100);
}

}  // namespace
}  // namespace qv::verifiers
