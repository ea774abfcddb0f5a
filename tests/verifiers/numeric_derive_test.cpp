#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "verifiers/numeric_derive.hpp"

namespace qv::verifiers {
namespace {

using numeric::Dimension;
using numeric::DimensionKind;
using numeric::Fraction;

const std::vector<Dimension> kDimensions = {Dimension{}, Dimension{DimensionKind::Percent, {}},
                                            Dimension::currency("USD"), Dimension::currency("EUR"),
                                            Dimension{DimensionKind::Length, {}}};

Fraction frac(numeric::i128 n, numeric::i128 d) { return *numeric::normalize_fraction(n, d); }

// Nearest multiple of `step` to v (ties up), plus `offset` steps.
std::optional<Fraction> near(const Fraction& v, const Fraction& step, int offset) {
  const auto q = numeric::fraction_div(v, step);
  if (!q) return std::nullopt;
  numeric::i128 k = q->numerator / q->denominator;
  if (q->numerator % q->denominator != 0 && q->numerator > 0) ++k;
  return numeric::fraction_mul(Fraction{k + offset, 1}, step);
}

struct Request {
  std::vector<numeric::DerivationOperand> operands;
  std::vector<DerivationTarget> targets;
  core::RoundingRule rule;
};

Request random_request(std::mt19937& rng) {
  const auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  Request r;
  r.rule = static_cast<core::RoundingRule>(pick(3));
  const int operand_count = 2 + pick(4);
  for (int i = 0; i < operand_count; ++i) {
    numeric::DerivationOperand op;
    op.value = frac(pick(3) == 0 ? pick(2001) - 1000 : pick(200), pick(3) == 0 ? 10 : 1);
    op.reading = op.value;
    op.dimension = kDimensions[static_cast<std::size_t>(pick(3) == 0 ? pick(5) : pick(2) * 2)];
    op.label = "c" + std::to_string(i);
    op.text = "t" + std::to_string(i);
    r.operands.push_back(op);
  }
  // Targets around the values the operands give, so that every kind of
  // match and miss comes up.
  const auto candidates = numeric::find_derived_figure(r.operands);
  const int target_count = 1 + pick(3);
  for (int i = 0; i < target_count; ++i) {
    DerivationTarget t;
    t.claim_id = pick(10) == 0 ? "c" + std::to_string(pick(operand_count)) : "c" + std::to_string(operand_count + i);
    t.significant_digits = static_cast<std::uint32_t>(1 + pick(4));
    t.step = frac(1, std::array<int, 4>{1, 10, 100, 1000}[static_cast<std::size_t>(pick(4))]);
    if (pick(8) == 0) t.step = std::nullopt;
    t.value = frac(pick(400) - 200, 1);
    t.dimension = kDimensions[static_cast<std::size_t>(pick(5))];
    if (!candidates.empty() && pick(5) != 0) {
      const auto& c = candidates[static_cast<std::size_t>(pick(static_cast<int>(candidates.size())))];
      t.dimension = pick(6) == 0 ? Dimension{} : c.dimension;
      const int offset = pick(4) == 0 ? pick(3) - 1 : 0;
      if (const auto v = near(c.value, t.step.value_or(frac(1, 100)), offset); v && pick(3) != 0) {
        t.value = *v;
      } else {
        t.value = c.value;
      }
      // Off by a few per mille now and then: slips and near misses.
      if (pick(4) == 0) {
        if (const auto v = numeric::fraction_mul(c.value, frac(1000 + pick(13) - 6, 1000))) t.value = *v;
      }
    }
    r.targets.push_back(t);
  }
  return r;
}

// Which operands the candidates of the target's unit, not built on its
// claim, name: straight from the listed candidates.
std::vector<std::vector<bool>> named_in_order(const Request& r) {
  const auto candidates = numeric::find_derived_figure(r.operands);
  std::vector<std::vector<bool>> out;
  for (const auto& t : r.targets) {
    std::vector<std::string> labels;
    for (const auto& c : candidates) {
      if (!(c.dimension == t.dimension)) continue;
      if (std::find(c.operands.begin(), c.operands.end(), t.claim_id) != c.operands.end()) continue;
      labels.insert(labels.end(), c.operands.begin(), c.operands.end());
    }
    std::vector<bool> named;
    if (!labels.empty()) {
      for (const auto& op : r.operands) named.push_back(std::find(labels.begin(), labels.end(), op.label) != labels.end());
    }
    out.push_back(named);
  }
  return out;
}

TEST(DerivationIndex, AgreesWithTheInOrderSearchOnRandomRequests) {
  std::mt19937 rng(20261207);
  int requests = 0, matched = 0, exact = 0, rounded = 0, slips = 0, named = 0;
  for (; requests < 10000; ++requests) {
    const Request r = random_request(rng);
    const auto indexed = first_derived_matches(r.operands, r.targets, r.rule);
    const auto in_order = first_derived_matches_in_order(r.operands, r.targets, r.rule);
    ASSERT_EQ(indexed.size(), in_order.size());
    for (std::size_t i = 0; i < indexed.size(); ++i) {
      ASSERT_EQ(indexed[i].has_value(), in_order[i].has_value()) << "request " << requests << " target " << i;
      if (!indexed[i]) continue;
      ASSERT_EQ(indexed[i]->position, in_order[i]->position) << "request " << requests;
      ASSERT_EQ(indexed[i]->kind, in_order[i]->kind);
      ASSERT_EQ(indexed[i]->value, in_order[i]->value);
      ASSERT_EQ(indexed[i]->expression, in_order[i]->expression);
      ASSERT_EQ(indexed[i]->operands, in_order[i]->operands);
      ++matched;
      exact += indexed[i]->kind == DerivedMatchKind::Exact;
      rounded += indexed[i]->kind == DerivedMatchKind::Rounded;
      slips += indexed[i]->kind == DerivedMatchKind::Slip;
    }
    const auto by_unit = operands_named_by_unit(r.operands, r.targets);
    ASSERT_EQ(by_unit, named_in_order(r)) << "request " << requests;
    for (const auto& n : by_unit) named += !n.empty();
  }
  EXPECT_EQ(requests, 10000);
  // The requests reach every kind of match, and misses too.
  EXPECT_GT(exact, 1000);
  EXPECT_GT(rounded, 500);
  EXPECT_GT(slips, 100);
  EXPECT_GT(named, 1000);
  EXPECT_LT(matched, 19000);
}

TEST(DerivationIndex, ScaledComparisonBeyondOneHundredTwentyEightBits) {
  const numeric::i128 big = numeric::kI128Max;
  EXPECT_EQ(compare_scaled(Fraction{big, 1}, 201, Fraction{big, 1}, 200), 1);
  EXPECT_EQ(compare_scaled(Fraction{-big, 1}, 201, Fraction{-big, 1}, 200), -1);
  EXPECT_EQ(compare_scaled(Fraction{big, big - 1}, 1, Fraction{big - 1, big - 2}, 1), -1);
  EXPECT_EQ(compare_scaled(Fraction{0, 1}, 7, Fraction{0, 5}, 3), 0);
  EXPECT_EQ(compare_scaled(Fraction{-1, 1}, 1, Fraction{0, 1}, 1), -1);
  EXPECT_EQ(compare_scaled(Fraction{2, 3}, 3, Fraction{1, 1}, 2), 0);
}

TEST(DerivationIndex, OverflowingArithmeticRefusesACandidateInTheWindow) {
  // Operands whose candidate values sit in the claim's window but whose
  // fractions are too large for the slip test: both searches pass them over.
  std::vector<numeric::DerivationOperand> operands(2);
  const numeric::i128 huge = numeric::kI128Max / 3;
  operands[0] = {frac(huge, 1), frac(huge, 1), Dimension{}, "c0", "a"};
  operands[1] = {frac(1, huge), frac(1, huge), Dimension{}, "c1", "b"};
  DerivationTarget t{"c9", frac(huge, 1), frac(1, 1), Dimension{}, 4};
  for (auto rule : {core::RoundingRule::HalfUp, core::RoundingRule::WithinLastDigit}) {
    const auto a = first_derived_matches(operands, std::span(&t, 1), rule);
    const auto b = first_derived_matches_in_order(operands, std::span(&t, 1), rule);
    ASSERT_EQ(a[0].has_value(), b[0].has_value());
    if (a[0]) {
      EXPECT_EQ(a[0]->position, b[0]->position);
    }
  }
}

}  // namespace
}  // namespace qv::verifiers
