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
  numeric::DerivedFigures figures(r.operands);
  std::vector<numeric::DerivedFigure> all;
  while (const auto f = figures.next()) all.push_back(*f);
  std::vector<std::vector<bool>> out;
  for (const auto& t : r.targets) {
    std::vector<std::string> labels;
    for (const auto& f : all) {
      if (!(figures.dimension(f) == t.dimension)) continue;
      const auto operands = figures.operand_labels(f);
      if (std::find(operands.begin(), operands.end(), t.claim_id) != operands.end()) continue;
      labels.insert(labels.end(), operands.begin(), operands.end());
    }
    std::vector<bool> named;
    if (!labels.empty()) {
      for (const auto& op : r.operands) named.push_back(std::find(labels.begin(), labels.end(), op.label) != labels.end());
    }
    out.push_back(named);
  }
  return out;
}

struct Tally {
  int matched = 0, exact = 0, rounded = 0, slips = 0, named = 0;
  DerivationWork search, naming;
};

// Both searches of a request against the in-order ones, match by match.
void expect_agreement(const Request& r, int request, Tally& tally) {
  const auto indexed = first_derived_matches(r.operands, r.targets, r.rule, &tally.search);
  const auto in_order = first_derived_matches_in_order(r.operands, r.targets, r.rule);
  ASSERT_EQ(indexed.size(), in_order.size());
  for (std::size_t i = 0; i < indexed.size(); ++i) {
    ASSERT_EQ(indexed[i].has_value(), in_order[i].has_value()) << "request " << request << " target " << i;
    if (!indexed[i]) continue;
    ASSERT_EQ(indexed[i]->position, in_order[i]->position) << "request " << request;
    ASSERT_EQ(indexed[i]->kind, in_order[i]->kind);
    ASSERT_EQ(indexed[i]->value, in_order[i]->value);
    ASSERT_EQ(indexed[i]->expression, in_order[i]->expression);
    ASSERT_EQ(indexed[i]->operands, in_order[i]->operands);
    ++tally.matched;
    tally.exact += indexed[i]->kind == DerivedMatchKind::Exact;
    tally.rounded += indexed[i]->kind == DerivedMatchKind::Rounded;
    tally.slips += indexed[i]->kind == DerivedMatchKind::Slip;
  }
  const auto by_unit = operands_named_by_unit(r.operands, r.targets, &tally.naming);
  ASSERT_EQ(by_unit, named_in_order(r)) << "request " << request;
  for (const auto& n : by_unit) tally.named += !n.empty();
}

TEST(DerivationIndex, AgreesWithTheInOrderSearchOnRandomRequests) {
  std::mt19937 rng(20261207);
  Tally tally;
  int requests = 0;
  for (; requests < 10000; ++requests) {
    const Request r = random_request(rng);
    expect_agreement(r, requests, tally);
    if (HasFatalFailure()) return;
  }
  EXPECT_EQ(requests, 10000);
  // The requests reach every kind of match, and misses too.
  EXPECT_GT(tally.exact, 1000);
  EXPECT_GT(tally.rounded, 500);
  EXPECT_GT(tally.slips, 100);
  EXPECT_GT(tally.named, 1000);
  EXPECT_LT(tally.matched, 19000);
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
  DerivationTarget t{"c9", frac(huge, 1), frac(1, 1), Dimension{}, 4, 0, std::nullopt, false};
  for (auto rule : {core::RoundingRule::HalfUp, core::RoundingRule::WithinLastDigit}) {
    const auto a = first_derived_matches(operands, std::span(&t, 1), rule);
    const auto b = first_derived_matches_in_order(operands, std::span(&t, 1), rule);
    ASSERT_EQ(a[0].has_value(), b[0].has_value());
    if (a[0]) {
      EXPECT_EQ(a[0]->position, b[0]->position);
    }
  }
}

numeric::i128 pow10(int k) {
  numeric::i128 v = 1;
  while (k-- > 0) v *= 10;
  return v;
}

// A value anywhere in the range: small integers and decimals, figures of
// 10^18 to about 10^38, fractions with denominators of 10^18 to 10^25 (whose
// sums and differences overflow), and the ends of the 128-bit range.
Fraction wide_value(std::mt19937& rng) {
  const auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  const numeric::i128 sign = pick(4) == 0 ? -1 : 1;
  switch (pick(10)) {
    case 0:
    case 1:
    case 2:
      return frac(pick(2001) - 1000, 1);
    case 3:
      return frac(pick(20001) - 10000, pick(2) == 0 ? 10 : 100);
    case 4:
    case 5:
      return frac(sign * (1 + pick(99)) * pow10(18 + pick(19)), 1);
    case 6:
      return frac(sign * (1 + pick(999)), pow10(18 + pick(8)));
    case 7:
      return frac(sign * (numeric::kI128Max / (1 + pick(7))), 1 + pick(3) * 2);
    case 8:
      return pick(3) == 0 ? Fraction{numeric::kI128Min, 1} : frac(sign * (1 + pick(9)) * pow10(36), 1 + pick(16));
    default:
      return frac(0, 1);
  }
}

// Requests with more operands of wide values and, mostly, few targets: the
// filter's ranges, rays and overflowing pairs. A quarter have many targets,
// for which every partner is taken.
Request wide_request(std::mt19937& rng) {
  const auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  Request r;
  r.rule = static_cast<core::RoundingRule>(pick(3));
  const int operand_count = 8 + pick(33);
  for (int i = 0; i < operand_count; ++i) {
    numeric::DerivationOperand op;
    op.value = wide_value(rng);
    op.reading = op.value;
    op.dimension = kDimensions[static_cast<std::size_t>(pick(4) == 0 ? pick(5) : pick(2) * 2)];
    op.label = "c" + std::to_string(pick(12) == 0 ? pick(operand_count) : i);
    op.text = "t" + std::to_string(i);
    r.operands.push_back(op);
  }
  numeric::DerivedFigures figures(r.operands);
  const int target_count = pick(4) == 0 ? 10 + pick(16) : 1 + pick(3);
  for (int i = 0; i < target_count; ++i) {
    DerivationTarget t;
    t.claim_id = pick(10) == 0 ? "c" + std::to_string(pick(operand_count)) : "c" + std::to_string(operand_count + i);
    t.significant_digits = static_cast<std::uint32_t>(1 + pick(6));
    const int step_power = pick(3) == 0 ? pick(31) : -pick(4);
    t.step = step_power >= 0 ? frac(pow10(step_power), 1) : frac(1, pow10(-step_power));
    if (pick(8) == 0) t.step = std::nullopt;
    t.value = wide_value(rng);
    t.dimension = kDimensions[static_cast<std::size_t>(pick(5))];
    // Mostly near a candidate of a random pair: on it, a step or so off it,
    // or a few per mille off it.
    std::array<numeric::DerivedFigure, 8> pair;
    const auto a = static_cast<std::uint32_t>(pick(operand_count));
    const auto b = static_cast<std::uint32_t>(pick(operand_count));
    const std::size_t count = a == b ? 0 : figures.pair_figures(a, b, pair);
    if (count > 0 && pick(5) != 0) {
      const numeric::DerivedFigure& f = pair[static_cast<std::size_t>(pick(static_cast<int>(count)))];
      t.dimension = pick(6) == 0 ? Dimension{} : figures.dimension(f);
      t.value = f.value;
      if (const auto v = near(f.value, t.step.value_or(frac(1, 100)), pick(3) - 1); v && pick(3) == 0) t.value = *v;
      if (pick(4) == 0) {
        if (const auto v = numeric::fraction_mul(f.value, frac(1000 + pick(13) - 6, 1000))) t.value = *v;
      }
    }
    r.targets.push_back(t);
  }
  return r;
}

TEST(DerivationIndex, AgreesWithTheInOrderSearchOnWideValuesAndMoreOperands) {
  std::mt19937 rng(20270113);
  Tally tally;
  int requests = 0;
  std::size_t all_pairs = 0;
  for (; requests < 1000; ++requests) {
    const Request r = wide_request(rng);
    expect_agreement(r, requests, tally);
    if (HasFatalFailure()) return;
    all_pairs += r.operands.size() * (r.operands.size() - 1);
  }
  EXPECT_EQ(requests, 1000);
  EXPECT_GT(tally.exact, 700);
  EXPECT_GT(tally.rounded, 900);
  EXPECT_GT(tally.slips, 100);
  EXPECT_GT(tally.named, 4000);
  // The filter passes over most pairs, and some operands take every partner.
  EXPECT_LT(tally.search.pairs_formed, all_pairs / 2);
  EXPECT_GT(tally.search.operands_with_every_partner, 600u);
  // Partners are tried in turn where a pair overflows at the range's edges.
  EXPECT_GT(tally.naming.operands_with_every_partner, 500u);
}

// A dense answer: many operands of one unit, a few open claims. The last
// two operands are far above the others, so that only their sum is near
// the first claim.
Request dense_request(std::size_t operand_count) {
  Request r;
  r.rule = core::RoundingRule::WithinLastDigit;
  for (std::size_t i = 0; i < operand_count; ++i) {
    numeric::i128 value = 1000000 + static_cast<numeric::i128>((i * 7919) % 1000000);
    if (i + 2 == operand_count) value = 500000001;
    if (i + 1 == operand_count) value = 700000003;
    r.operands.push_back({frac(value, 1), frac(value, 1), Dimension::currency("USD"), "c" + std::to_string(i),
                          "$" + std::to_string(static_cast<long long>(value))});
  }
  // That sum; a figure beyond every sum; a change below every change; a
  // bare figure no ratio or share reaches.
  r.targets.push_back({"x0", frac(1200000004, 1), frac(1, 1), Dimension::currency("USD"), 10, 0, std::nullopt, false});
  r.targets.push_back({"x1", frac(pow10(15), 1), frac(1, 1), Dimension::currency("USD"), 16, 0, std::nullopt, false});
  r.targets.push_back({"x2", frac(-250, 1), frac(1, 10), Dimension{DimensionKind::Percent, {}}, 4, 0, std::nullopt, false});
  r.targets.push_back({"x3", frac(pow10(9), 1), frac(1, 1), Dimension{}, 10, 0, std::nullopt, false});
  return r;
}

TEST(DerivationIndex, FewOpenClaimsAmongManyOperandsFormFewPairs) {
  for (const std::size_t n : {400u, 4000u}) {
    const Request r = dense_request(n);
    DerivationWork search, naming;
    const auto found = first_derived_matches(r.operands, r.targets, r.rule, &search);
    ASSERT_TRUE(found[0].has_value());
    EXPECT_EQ(found[0]->expression, r.operands[n - 2].text + " + " + r.operands[n - 1].text);
    EXPECT_EQ(found[0]->operands, (std::vector<std::string>{r.operands[n - 2].label, r.operands[n - 1].label}));
    EXPECT_EQ(found[0]->kind, DerivedMatchKind::Exact);
    EXPECT_FALSE(found[1] || found[2] || found[3]);
    // Of the n·(n − 1) pairs, only those that can land in a window.
    EXPECT_LT(search.pairs_formed, 4 * n) << n;
    EXPECT_EQ(search.operands_with_every_partner, 0u);

    const auto named = operands_named_by_unit(r.operands, r.targets, &naming);
    const std::vector<bool> every(n, true);
    for (const auto& one : named) EXPECT_EQ(one, every);
    // One partner per operand and unit (USD, Percent, Dimensionless), each
    // tried both ways round at most.
    EXPECT_LE(naming.pairs_formed, 2 * 3 * n);
    EXPECT_EQ(naming.operands_with_every_partner, 0u);
  }
}

TEST(DerivationIndex, OverflowingPairsNameNoOperand) {
  // 10^38 overflows with either fraction (10^38·3 and 10^38·7 are beyond
  // 2^127), and the three have no group sum; the fractions pair with each
  // other. Without them, 10^38 has no candidate at all.
  std::vector<numeric::DerivationOperand> operands = {
      {frac(pow10(38), 1), frac(1, 1), Dimension::currency("USD"), "c0", "a"},
      {frac(1, 3), frac(1, 1), Dimension::currency("USD"), "c1", "b"},
      {frac(1, 7), frac(1, 1), Dimension::currency("USD"), "c2", "c"}};
  const std::vector<DerivationTarget> targets = {
      {"c9", frac(5, 1), std::nullopt, Dimension::currency("USD"), 1, 0, std::nullopt, false},
      {"c8", frac(5, 1), std::nullopt, Dimension{}, 1, 0, std::nullopt, false},
      {"c7", frac(5, 1), std::nullopt, Dimension{DimensionKind::Percent, {}}, 1, 0, std::nullopt, false},
      {"c1", frac(5, 1), std::nullopt, Dimension::currency("USD"), 1, 0, std::nullopt, false}};
  const std::vector<bool> fractions = {false, true, true};
  const auto named = operands_named_by_unit(operands, targets);
  EXPECT_EQ(named[0], fractions);
  EXPECT_EQ(named[1], fractions);
  EXPECT_EQ(named[2], fractions);
  // The claim c1 leaves c2 alone, and c2 has no other partner.
  EXPECT_TRUE(named[3].empty());
  operands.resize(1);
  operands.push_back({frac(1, 3), frac(1, 1), Dimension::currency("USD"), "c1", "b"});
  EXPECT_TRUE(operands_named_by_unit(operands, std::span(targets).first(1))[0].empty());
}

}  // namespace
}  // namespace qv::verifiers
