#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "bigint.hpp"
#include "numeric/fraction.hpp"

namespace {

using qv::core::RoundingRule;
using qv::numeric::decimal_to_fraction;
using qv::numeric::Decimal;
using qv::numeric::Fraction;
using qv::numeric::fraction_add;
using qv::numeric::fraction_div;
using qv::numeric::fraction_mul;
using qv::numeric::fraction_sub;
using qv::numeric::fraction_text;
using qv::numeric::i128;
using qv::numeric::kI128Max;
using qv::numeric::kI128Min;
using qv::numeric::normalize_fraction;
using qv::numeric::pow10_fraction;
using qv::numeric::rounds_to;
using qv::numeric::u128;
using qv::testing::BigInt;

i128 pow10(int n) {
  i128 p = 1;
  for (int i = 0; i < n; ++i) p *= 10;
  return p;
}

Fraction f(i128 n, i128 d = 1) { return Fraction{n, d}; }

Fraction dec(const char* text) { return decimal_to_fraction(Decimal::parse(text).value()).value(); }

TEST(Fraction, NormalizesSignAndCommonFactors) {
  EXPECT_EQ(normalize_fraction(6, -4), f(-3, 2));
  EXPECT_EQ(normalize_fraction(0, -7), f(0, 1));
  EXPECT_EQ(normalize_fraction(-12, 18), f(-2, 3));
  EXPECT_EQ(normalize_fraction(kI128Min, 2), f(kI128Min / 2, 1));
  EXPECT_EQ(normalize_fraction(kI128Max, kI128Max), f(1, 1));
  EXPECT_EQ(normalize_fraction(5, 0), std::nullopt);
  // Negating the minimum value is impossible, so these have no canonical form here.
  EXPECT_EQ(normalize_fraction(kI128Min, -1), std::nullopt);
  EXPECT_EQ(normalize_fraction(1, kI128Min), std::nullopt);
  EXPECT_EQ(normalize_fraction(kI128Min, kI128Min), std::nullopt);
}

// Arithmetic against exact results, overflow included, is the property test
// below; this is the case it names: no cross-cancelling before multiplying.
TEST(Fraction, ProductsDoNotCrossCancel) {
  const i128 big = pow10(20);
  EXPECT_EQ(fraction_mul(f(big, big + 1), f(big + 1, big)), std::nullopt);
  EXPECT_EQ(fraction_mul(f(big, 7), f(7, 3)), f(big, 3));
}

TEST(Fraction, PowersOfTen) {
  EXPECT_EQ(pow10_fraction(38), f(pow10(38)));
  EXPECT_EQ(pow10_fraction(39), std::nullopt);
  EXPECT_EQ(pow10_fraction(-3), f(1, 1000));
  EXPECT_EQ(pow10_fraction(-38), f(1, pow10(38)));
  EXPECT_EQ(pow10_fraction(0), f(1));
  EXPECT_EQ(pow10_fraction(64), std::nullopt);  // beyond the six exponent bits
  EXPECT_EQ(pow10_fraction(std::numeric_limits<std::int32_t>::min()), std::nullopt);
  EXPECT_EQ(pow10_fraction(std::numeric_limits<std::int32_t>::max()), std::nullopt);
}

TEST(Fraction, FromDecimal) {
  EXPECT_EQ(dec("4.50"), f(9, 2));
  EXPECT_EQ(dec("-0.125"), f(-1, 8));
  EXPECT_EQ(dec("0.000"), f(0, 1));
  EXPECT_EQ(decimal_to_fraction(-Decimal()), f(0, 1));
  EXPECT_EQ(dec("79228162514264337593543950335"), f(static_cast<i128>(Decimal::kMaxMantissa)));
  EXPECT_EQ(dec("0.0000000000000000000000000001"), f(1, pow10(28)));
  // 2^96 − 1 ends in 5, so the fraction is reduced by 5.
  EXPECT_EQ(dec("-7.9228162514264337593543950335"), f(-static_cast<i128>(Decimal::kMaxMantissa) / 5, pow10(28) / 5));
}

TEST(Fraction, AbsoluteValueAndOrder) {
  EXPECT_EQ(qv::numeric::fraction_abs(f(-3, 2)), f(3, 2));
  EXPECT_EQ(qv::numeric::fraction_abs(f(kI128Max)), f(kI128Max));
  EXPECT_EQ(qv::numeric::fraction_abs(f(kI128Min)), std::nullopt);
  EXPECT_EQ(qv::numeric::fraction_compare(f(1, 3), f(2, 7)), std::strong_ordering::greater);
  EXPECT_EQ(qv::numeric::fraction_compare(f(-1, 2), f(-2, 4)), std::strong_ordering::equal);
  EXPECT_EQ(qv::numeric::fraction_compare(f(kI128Max, 2), f(kI128Max, 3)), std::nullopt);
}

TEST(Fraction, FigureValues) {
  const std::vector<Decimal> four_and_a_half = {Decimal::parse("4.5").value()};
  const Decimal one = Decimal::from_int(1), zero;
  // $4.5 million: 4500000/1.
  const auto vm = qv::numeric::value_and_multiplier(four_and_a_half, 1, one, one, zero, 6);
  ASSERT_TRUE(vm.has_value());
  EXPECT_EQ(vm->value, f(9, 2));
  EXPECT_EQ(vm->multiplier, f(1000000));
  EXPECT_EQ(qv::numeric::exact_value(four_and_a_half, 1, one, one, zero, 6), f(4500000));
  // 1.5 km in metres; a reading in a unit with a divisor.
  const std::vector<Decimal> one_and_a_half = {Decimal::parse("1.5").value()};
  EXPECT_EQ(qv::numeric::exact_value(one_and_a_half, 1, Decimal::from_int(1000), one, zero, 0), f(1500));
  EXPECT_EQ(qv::numeric::exact_value(one_and_a_half, 1, one, Decimal::from_int(60), zero, 0), f(1, 40));
  // A unit with an offset (a temperature scale) has no exact value.
  EXPECT_EQ(qv::numeric::exact_value(one_and_a_half, 1, Decimal::parse("0.5555555555555555555555555556").value(), one,
                                     Decimal::from_int(-32), 0),
            std::nullopt);
  // A reading lost to overflow, no readings, a zero divisor, a power beyond 10^38.
  const std::vector<Decimal> two_readings = {Decimal::from_int(1234), Decimal::parse("1.234").value()};
  EXPECT_EQ(qv::numeric::exact_value(two_readings, 1, one, one, zero, 0), std::nullopt);
  EXPECT_EQ(qv::numeric::exact_value(two_readings, 2, one, one, zero, 3), f(1234000));
  EXPECT_EQ(qv::numeric::exact_value({}, 0, one, one, zero, 0), std::nullopt);
  EXPECT_EQ(qv::numeric::exact_value(one_and_a_half, 1, one, zero, zero, 0), std::nullopt);
  EXPECT_EQ(qv::numeric::exact_value(one_and_a_half, 1, one, one, zero, 39), std::nullopt);
  EXPECT_EQ(qv::numeric::exact_value(one_and_a_half, 1, one, one, zero, 0xFFFFFFFFu), std::nullopt);
}

TEST(Fraction, RoundsToEdges) {
  const Fraction one = f(1);
  // Small operands under each rule are the property test below.
  // A step of one hundredth: 4.125 reads as 4.12 half to even, 4.13 half up.
  const Fraction cent = f(1, 100);
  EXPECT_TRUE(rounds_to(f(33, 8), f(412, 100), cent, RoundingRule::HalfEven));
  EXPECT_FALSE(rounds_to(f(33, 8), f(413, 100), cent, RoundingRule::HalfEven));
  EXPECT_TRUE(rounds_to(f(33, 8), f(413, 100), cent, RoundingRule::HalfUp));

  // Near 2^126 the bounds or cross products overflow: false, never a guess.
  const i128 huge = i128{1} << 126;
  EXPECT_FALSE(rounds_to(f(huge), f(huge), one, RoundingRule::HalfUp));
  EXPECT_FALSE(rounds_to(f(huge, 3), f(huge, 3), f(1, 7), RoundingRule::WithinLastDigit));
  EXPECT_FALSE(rounds_to(f(1), f(1), f(1, kI128Max), RoundingRule::HalfEven));
  EXPECT_FALSE(rounds_to(f(1), f(1), f(1, 0), RoundingRule::HalfUp));
}

TEST(Fraction, Text) {
  EXPECT_EQ(fraction_text(f(5, 2)), "2.5");
  EXPECT_EQ(fraction_text(f(1, 3)), "0.333333");
  EXPECT_EQ(fraction_text(f(-1, 3)), "-0.333333");
  EXPECT_EQ(fraction_text(f(4, 1)), "4");
  EXPECT_EQ(fraction_text(f(1, 3000000)), "0");
  EXPECT_EQ(fraction_text(f(-1, 3000000)), "0");
  EXPECT_EQ(fraction_text(f(-250, 3)), "-83.333333");
  EXPECT_EQ(fraction_text(f(pow10(30))), "1000000000000000000000000000000/1");
  // Six places still fit 64 bits up to about 9.2 × 10^12, then the slash form.
  EXPECT_EQ(fraction_text(f(9000000000000)), "9000000000000");
  EXPECT_EQ(fraction_text(f(10000000000000)), "10000000000000/1");
  EXPECT_EQ(fraction_text(f(kI128Min, 3)), "-170141183460469231731687303715884105728/3");
  // Not canonical, yet still written without dividing by zero.
  EXPECT_EQ(fraction_text(f(7, 0)), "7/0");
}

// Random operands of every size, both signs and the extreme values.
class Operands {
 public:
  explicit Operands(std::uint64_t seed) : rng_(seed) {}
  i128 any() {
    switch (rng_() % 16) {
      case 0: return kI128Min;
      case 1: return kI128Max;
      case 2: return 0;
      case 3: return static_cast<i128>(rng_() % 7) - 3;
      default: break;
    }
    const unsigned bits = static_cast<unsigned>(rng_() % 128);
    u128 m = (u128{rng_()} << 64) | rng_();
    m = bits == 0 ? 0 : m >> (128 - bits);
    const i128 v = static_cast<i128>(m);
    return (rng_() & 1) ? -v : v;
  }
  Fraction fraction() {
    i128 d = any();
    if (rng_() % 4 != 0) {  // mostly canonical operands
      if (auto c = normalize_fraction(any(), d == 0 ? 1 : d)) return *c;
    }
    return Fraction{any(), d};
  }

 private:
  std::mt19937_64 rng_;
};

// Checks one result against the exact numerator and denominator of the
// written formula: none exactly when a product or sum left the range or the
// canonical form cannot be made; otherwise a canonical fraction of that value.
void check(const char* op, const Fraction& a, const Fraction& b, const std::optional<Fraction>& got,
           const std::vector<BigInt>& terms, const BigInt& num, const BigInt& den) {
  bool overflow = !num.fits_i128() || !den.fits_i128();
  for (const BigInt& t : terms) overflow = overflow || !t.fits_i128();
  const bool min_negation = den.is_negative() && (den == BigInt(kI128Min) || num == BigInt(kI128Min));
  const bool want_none = overflow || den.is_zero() || min_negation;
  ASSERT_EQ(!got.has_value(), want_none) << op << " " << qv::numeric::i128_to_string(a.numerator) << "/"
                                         << qv::numeric::i128_to_string(a.denominator) << ", "
                                         << qv::numeric::i128_to_string(b.numerator) << "/"
                                         << qv::numeric::i128_to_string(b.denominator);
  if (!got) return;
  ASSERT_GE(got->denominator, 1);
  EXPECT_TRUE(BigInt(got->numerator) * den == num * BigInt(got->denominator)) << op;
  u128 x = qv::numeric::magnitude(got->numerator), y = static_cast<u128>(got->denominator);
  while (y != 0) {
    const u128 t = x % y;
    x = y;
    y = t;
  }
  EXPECT_TRUE(x == 1) << op << ": not reduced";
}

TEST(FractionProperty, OperationsAgreeWithExactArithmetic) {
  Operands gen(0x5EED0F00DULL);
  for (int i = 0; i < 20000; ++i) {
    const Fraction a = gen.fraction();
    const Fraction b = gen.fraction();
    const BigInt an(a.numerator), ad(a.denominator), bn(b.numerator), bd(b.denominator);
    check("mul", a, b, fraction_mul(a, b), {}, an * bn, ad * bd);
    check("div", a, b, fraction_div(a, b), {}, an * bd, ad * bn);
    check("add", a, b, fraction_add(a, b), {an * bd, bn * ad}, an * bd + bn * ad, ad * bd);
    if (b.numerator == kI128Min) {
      EXPECT_EQ(fraction_sub(a, b), std::nullopt);
    } else {
      check("sub", a, b, fraction_sub(a, b), {an * bd, -bn * ad}, an * bd - bn * ad, ad * bd);
    }
    if (::testing::Test::HasFatalFailure()) return;
  }
}

// Sign of v − (t + k·s/2) for positive denominators, exactly.
int exact_offset_sign(const Fraction& v, const Fraction& t, const Fraction& s, int k) {
  const BigInt lhs = BigInt(v.numerator) * BigInt(t.denominator) * BigInt(s.denominator) * BigInt(2);
  const BigInt rhs = (BigInt(t.numerator) * BigInt(s.denominator) * BigInt(2) + BigInt(k) * BigInt(s.numerator) * BigInt(t.denominator)) * BigInt(v.denominator);
  return compare(lhs, rhs);
}

TEST(FractionProperty, RoundsToMatchesRoundingAndNeverGuesses) {
  std::mt19937_64 rng(0xB0B5EEDULL);
  // Small operands: the rounded value of v at the step's precision decides.
  for (int i = 0; i < 20000; ++i) {
    const Fraction s = *normalize_fraction(static_cast<i128>(rng() % 50 + 1), static_cast<i128>(rng() % 50 + 1));
    const i128 k = static_cast<i128>(rng() % 41) - 20;
    const Fraction t = *fraction_mul(f(k), s);
    const Fraction v = *normalize_fraction(static_cast<i128>(rng() % 4001) - 2000, static_cast<i128>(rng() % 200 + 1));
    // v ÷ s = p / q with q > 0; split into whole part and remainder (floor).
    const i128 p = v.numerator * s.denominator, q = v.denominator * s.numerator;
    i128 fl = p / q, r = p % q;
    if (r < 0) {
      fl -= 1;
      r += q;
    }
    const int twice_vs_q = (2 * r > q) - (2 * r < q);  // fractional part against one half
    const i128 nearest_up = twice_vs_q > 0 || (twice_vs_q == 0 && fl >= 0) ? fl + 1 : fl;  // ties away from zero
    const i128 nearest_even = twice_vs_q > 0 || (twice_vs_q == 0 && fl % 2 != 0) ? fl + 1 : fl;
    const bool within = r == 0 ? fl == k : (fl == k || fl + 1 == k);
    const bool half_up_want = (r == 0 ? fl : nearest_up) == k;
    const bool half_even_want = (r == 0 ? fl : nearest_even) == k;
    EXPECT_EQ(rounds_to(v, t, s, RoundingRule::HalfUp), half_up_want);
    EXPECT_EQ(rounds_to(v, t, s, RoundingRule::HalfEven), half_even_want);
    EXPECT_EQ(rounds_to(v, t, s, RoundingRule::WithinLastDigit), within);
  }
  // Any operands: a true answer is always right.
  Operands gen(0xFEEDULL);
  for (int i = 0; i < 20000; ++i) {
    const auto v = normalize_fraction(gen.any(), gen.any());
    const auto t = normalize_fraction(gen.any(), gen.any());
    auto s = normalize_fraction(gen.any(), gen.any());
    if (!v || !t || !s || s->numerator <= 0) continue;
    if (rounds_to(*v, *t, *s, RoundingRule::HalfUp) || rounds_to(*v, *t, *s, RoundingRule::HalfEven)) {
      EXPECT_GE(exact_offset_sign(*v, *t, *s, -1), 0);
      EXPECT_LE(exact_offset_sign(*v, *t, *s, 1), 0);
    }
    if (rounds_to(*v, *t, *s, RoundingRule::WithinLastDigit)) {
      EXPECT_GT(exact_offset_sign(*v, *t, *s, -2), 0);
      EXPECT_LT(exact_offset_sign(*v, *t, *s, 2), 0);
    }
  }
}

}  // namespace
