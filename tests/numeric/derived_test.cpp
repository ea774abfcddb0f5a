// Derived figures: the order of pair and group candidates, their
// expressions, left-out candidates, and the lazy producer against a plain
// nested-loop reference on random operands.
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

#include "numeric/derived.hpp"

namespace {

using qv::numeric::DerivationOperand;
using qv::numeric::DerivedCandidate;
using qv::numeric::DerivedFigures;
using qv::numeric::Dimension;
using qv::numeric::DimensionKind;
using qv::numeric::find_derived_figure;
using qv::numeric::Fraction;
using qv::numeric::i128;
using qv::numeric::kI128Max;
using V = std::vector<std::string>;

DerivationOperand op(std::string label, i128 value, Dimension dim, std::string text = "") {
  if (text.empty()) text = "t" + label;
  return DerivationOperand{Fraction{value, 1}, Fraction{value, 1}, std::move(dim), std::move(label), std::move(text)};
}
const Dimension kUsd = Dimension::currency("USD");
const Dimension kBare{};

// "value dimension" of each candidate, the value as n or n/d.
V summary(const std::vector<DerivedCandidate>& cs) {
  V out;
  for (const auto& c : cs) {
    std::string v = qv::numeric::i128_to_string(c.value.numerator);
    if (c.value.denominator != 1) v += "/" + qv::numeric::i128_to_string(c.value.denominator);
    out.push_back(v + " " + qv::numeric::dimension_text(c.dimension));
  }
  return out;
}

TEST(DerivedFigures, PairOrderValuesAndExpressions) {
  const std::vector<DerivationOperand> ops = {op("c0", 120, kUsd, "$120"), op("c1", 100, kUsd, "$100")};
  const auto cs = find_derived_figure(ops);
  const std::string usd = " Currency(\"USD\")";
  EXPECT_EQ(summary(cs), (V{"220" + usd, "110" + usd, "20" + usd, "20" + usd, "6/5 Dimensionless", "120 Percent",
                            "20 Percent", "20 Percent", "-20" + usd, "20" + usd, "5/6 Dimensionless", "250/3 Percent",
                            "-50/3 Percent", "50/3 Percent"}));
  // The expressions and their order are the nested-loop reference's below.
  EXPECT_EQ(cs[4].expression, "$120 / $100");
  EXPECT_EQ(cs[0].operands, (V{"c0", "c1"}));
  EXPECT_EQ(cs[8].operands, (V{"c1", "c0"}));
}

TEST(DerivedFigures, MixedDimensionsAndZeroDivisors) {
  const auto scaled = find_derived_figure(std::vector{op("c0", 300, Dimension::currency("EUR")), op("c1", 4, kBare)});
  EXPECT_EQ(summary(scaled), V{"75 Currency(\"EUR\")"});
  EXPECT_EQ(scaled[0].expression, "tc0 / tc1");
  EXPECT_TRUE(find_derived_figure(std::vector{op("c0", 100, kUsd), op("c1", 100, Dimension::currency("EUR"))}).empty());
  EXPECT_TRUE(find_derived_figure(std::vector{op("c0", 100, kUsd), op("c1", 0, kBare)}).empty());
  EXPECT_TRUE(find_derived_figure(std::vector{op("c0", 100, kUsd)}).empty());
  EXPECT_TRUE(find_derived_figure(std::vector<DerivationOperand>{}).empty());
  // b = 0: sum, mean, difference and absolute difference only.
  const auto zero = find_derived_figure(std::vector{op("c0", 5, kBare), op("c1", 0, kBare)});
  EXPECT_EQ(summary(zero), (V{"5 Dimensionless", "5/2 Dimensionless", "5 Dimensionless", "5 Dimensionless",
                              "-5 Dimensionless", "5 Dimensionless", "0 Dimensionless", "0 Percent", "-100 Percent",
                              "100 Percent"}));
}

// |x| of a difference equal to the most negative 128-bit value does not
// exist: that candidate is left out, the others stay.
TEST(DerivedFigures, AbsoluteValueOfTheMinimumIsLeftOut) {
  const i128 half = i128{1} << 126;
  const auto cs = find_derived_figure(std::vector{op("a", -half, kBare), op("b", half, kBare)});
  V first_pair;
  for (std::size_t i = 0; i < 7; ++i) first_pair.push_back(cs[i].expression);
  EXPECT_EQ(first_pair, (V{"ta + tb", "(ta + tb) / 2", "ta − tb", "ta / tb", "ta / tb × 100", "(ta − tb) / tb × 100",
                           "|(ta − tb) / tb| × 100"}));
  EXPECT_EQ(cs[6].value, (Fraction{200, 1}));
}

TEST(DerivedFigures, GroupSubsetsInMaskOrder) {
  std::vector<DerivationOperand> four;
  for (int i = 0; i < 4; ++i) four.push_back(op("c" + std::to_string(i), i + 1, kUsd, std::to_string(i + 1)));
  const auto cs = find_derived_figure(four);
  const std::size_t pairs = 4 * 3 * 8 - 6 * 2;  // eight per ordered pair, no sum or mean when a comes second
  ASSERT_EQ(cs.size(), pairs + 10);
  V groups;
  for (std::size_t i = pairs; i < cs.size(); ++i) groups.push_back(cs[i].expression);
  EXPECT_EQ(groups, (V{"1 + 2 + 3", "(1 + 2 + 3) / 3", "1 + 2 + 4", "(1 + 2 + 4) / 3", "1 + 3 + 4", "(1 + 3 + 4) / 3",
                       "2 + 3 + 4", "(2 + 3 + 4) / 3", "1 + 2 + 3 + 4", "(1 + 2 + 3 + 4) / 4"}));
  EXPECT_EQ(cs.back().value, (Fraction{5, 2}));
  EXPECT_EQ(cs.back().operands, (V{"c0", "c1", "c2", "c3"}));
  // Two or eleven operands of a dimension form no group.
  std::vector<DerivationOperand> eleven;
  for (int i = 0; i < 11; ++i) eleven.push_back(op("c" + std::to_string(i), i, kBare));
  for (const auto& c : find_derived_figure(eleven)) ASSERT_EQ(c.operands.size(), 2u);
  // Ten still do: every subset of three or more, the whole group last.
  std::vector<DerivationOperand> ten;
  for (int i = 0; i < 10; ++i) ten.push_back(op("c" + std::to_string(i), i + 1, kUsd, std::to_string(i + 1)));
  const auto tens = find_derived_figure(ten);
  const std::size_t ten_pairs = 10 * 9 * 8 - 45 * 2;
  const std::size_t subsets = 1024 - 1 - 10 - 45;
  ASSERT_EQ(tens.size(), ten_pairs + 2 * subsets);
  const DerivedCandidate& all = tens[tens.size() - 2];
  EXPECT_EQ(all.expression, "1 + 2 + 3 + 4 + 5 + 6 + 7 + 8 + 9 + 10");
  EXPECT_EQ(all.value, (Fraction{55, 1}));
  EXPECT_EQ(all.operands.size(), 10u);
  EXPECT_EQ(tens.back().expression, "(1 + 2 + 3 + 4 + 5 + 6 + 7 + 8 + 9 + 10) / 10");
  EXPECT_EQ(tens.back().value, (Fraction{11, 2}));
}

// The candidate order written as plain nested loops over the rules.
std::vector<std::pair<Fraction, std::string>> reference(const std::vector<DerivationOperand>& ops) {
  using namespace qv::numeric;
  std::vector<std::pair<Fraction, std::string>> out;
  auto add = [&](std::optional<Fraction> v, std::string e) {
    if (v) out.emplace_back(*v, std::move(e));
    return v;
  };
  for (std::size_t i = 0; i < ops.size(); ++i) {
    for (std::size_t j = 0; j < ops.size(); ++j) {
      if (i == j) continue;
      const auto &a = ops[i], &b = ops[j];
      const std::string x = a.text, y = b.text;
      const bool nz = b.value.numerator != 0;
      if (a.dimension.kind != DimensionKind::Dimensionless && b.dimension.kind == DimensionKind::Dimensionless) {
        if (nz) add(fraction_div(a.value, b.value), x + " / " + y);
        continue;
      }
      if (!(a.dimension == b.dimension)) continue;
      if (i < j) {
        if (auto s = add(fraction_add(a.value, b.value), x + " + " + y)) add(fraction_div(*s, {2, 1}), "(" + x + " + " + y + ") / 2");
      }
      const auto d = add(fraction_sub(a.value, b.value), x + " − " + y);
      if (d) add(fraction_abs(*d), "|" + x + " − " + y + "|");
      if (!nz) continue;
      if (auto r = add(fraction_div(a.value, b.value), x + " / " + y)) add(fraction_mul(*r, {100, 1}), x + " / " + y + " × 100");
      if (!d) continue;
      const auto q = fraction_div(*d, b.value);
      if (auto c = add(q ? fraction_mul(*q, {100, 1}) : std::nullopt, "(" + x + " − " + y + ") / " + y + " × 100")) {
        add(fraction_abs(*c), "|(" + x + " − " + y + ") / " + y + "| × 100");
      }
    }
  }
  std::vector<Dimension> dims;
  for (const auto& o : ops) {
    if (std::find(dims.begin(), dims.end(), o.dimension) == dims.end()) dims.push_back(o.dimension);
  }
  for (const auto& dim : dims) {
    std::vector<const DerivationOperand*> g;
    for (const auto& o : ops) if (o.dimension == dim) g.push_back(&o);
    if (g.size() < 3 || g.size() > 10) continue;
    for (unsigned mask = 1; mask < (1u << g.size()); ++mask) {
      std::vector<const DerivationOperand*> sel;
      for (std::size_t k = 0; k < g.size(); ++k) if (mask & (1u << k)) sel.push_back(g[k]);
      if (sel.size() < 3) continue;
      std::optional<Fraction> sum = Fraction{0, 1};
      std::string text;
      for (const auto* o : sel) {
        sum = sum ? fraction_add(*sum, o->value) : std::nullopt;
        text += (text.empty() ? "" : " + ") + o->text;
      }
      if (!sum) continue;
      add(sum, text);
      add(fraction_div(*sum, {static_cast<i128>(sel.size()), 1}), "(" + text + ") / " + std::to_string(sel.size()));
    }
  }
  return out;
}

TEST(DerivedFigures, LazyOrderMatchesNestedLoopReference) {
  std::mt19937_64 rng(16);
  const Dimension dims[] = {kBare, kUsd, Dimension::currency("EUR"), Dimension{DimensionKind::Percent, {}}};
  const i128 values[] = {0, 1, -1, 7, 100, -250, kI128Max, -kI128Max, i128{1} << 100, i128{3} << 70};
  std::size_t compared = 0;
  for (int round = 0; round < 300; ++round) {
    std::vector<DerivationOperand> ops;
    const std::size_t n = rng() % 7;
    for (std::size_t i = 0; i < n; ++i) {
      ops.push_back(op("c" + std::to_string(i), values[rng() % 10], dims[rng() % 3 == 0 ? rng() % 4 : 1]));
      if (rng() % 4 == 0) ops.back().value.denominator = 3 + static_cast<i128>(rng() % 5) * 2;
    }
    const auto expected = reference(ops);
    DerivedFigures lazy(ops);
    std::size_t k = 0;
    while (const auto f = lazy.next()) {
      ASSERT_LT(k, expected.size());
      ASSERT_EQ(f->value, expected[k].first) << k;
      ASSERT_EQ(lazy.expression(*f), expected[k].second) << k;
      ++k;
    }
    ASSERT_EQ(k, expected.size());
    compared += k;
  }
  EXPECT_GT(compared, 10000u);
}

// The pieces a search takes instead of the whole list: one pair's
// candidates, the groups alone, and a key that follows the order.
TEST(DerivedFigures, PairFiguresSkippedPairsAndOrderKeysFollowTheLazyOrder) {
  std::mt19937_64 rng(61);
  const Dimension dims[] = {kBare, kUsd, Dimension{DimensionKind::Percent, {}}};
  const i128 values[] = {0, 1, -1, 7, 100, -250, kI128Max, -kI128Max, i128{1} << 100, i128{3} << 70};
  std::size_t pairs = 0, groups = 0;
  for (int round = 0; round < 200; ++round) {
    std::vector<DerivationOperand> ops;
    const std::size_t n = 2 + rng() % 8;
    for (std::size_t i = 0; i < n; ++i) ops.push_back(op("c" + std::to_string(i), values[rng() % 10], dims[rng() % 3]));
    DerivedFigures lazy(ops);
    std::vector<qv::numeric::DerivedFigure> all;
    while (const auto f = lazy.next()) all.push_back(*f);
    for (std::size_t k = 1; k < all.size(); ++k) ASSERT_LT(lazy.order_key(all[k - 1]), lazy.order_key(all[k])) << k;
    // Every pair's candidates, formed alone, are the run of the list for it.
    std::size_t k = 0;
    std::array<qv::numeric::DerivedFigure, 8> pair;
    for (std::uint32_t a = 0; a < n; ++a) {
      for (std::uint32_t b = 0; b < n; ++b) {
        if (a == b) continue;
        const std::size_t count = lazy.pair_figures(a, b, pair);
        for (std::size_t m = 0; m < count; ++m, ++k) {
          ASSERT_LT(k, all.size());
          EXPECT_EQ(lazy.order_key(pair[m]), lazy.order_key(all[k]));
          EXPECT_EQ(pair[m].value, all[k].value);
        }
        pairs += count;
      }
    }
    DerivedFigures skipping(ops);
    skipping.skip_pairs();
    for (; k < all.size(); ++k, ++groups) {
      const auto f = skipping.next();
      ASSERT_TRUE(f.has_value());
      EXPECT_EQ(skipping.expression(*f), lazy.expression(all[k]));
    }
    EXPECT_FALSE(skipping.next().has_value());
  }
  EXPECT_GT(pairs, 5000u);
  EXPECT_GT(groups, 1000u);
}

}  // namespace
