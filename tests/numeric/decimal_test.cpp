// Decimal rules the reference cases do not reach: negative zero, the
// representation limits, hostile text, and the division forms that printed
// figures depend on.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "bigint.hpp"
#include "numeric/decimal.hpp"

namespace {

using qv::numeric::Decimal;
using qv::numeric::DecimalParseError;
using qv::numeric::u128;

Decimal d(const std::string& text) { return Decimal::parse(text).value(); }

std::string text(const std::optional<Decimal>& v) { return v ? v->to_string() : "none"; }

TEST(Decimal, NegativeZero) {
  const Decimal neg_zero = -d("0.00");
  EXPECT_TRUE(neg_zero.is_sign_negative());
  EXPECT_EQ(neg_zero.to_string(), "-0.00");
  EXPECT_EQ(neg_zero, d("0"));
  EXPECT_FALSE(neg_zero < d("0"));
  EXPECT_EQ(neg_zero.normalize().to_string(), "0");
  EXPECT_EQ(neg_zero.abs().to_string(), "0.00");
  // Reading never gives a negative zero; arithmetic results are never one.
  EXPECT_FALSE(d("-0.000").is_sign_negative());
  EXPECT_EQ(text(d("-1.5").checked_add(d("1.5"))), "0.0");
  // A zero operand gives the other one back, with its scale.
  EXPECT_EQ(text(neg_zero.checked_add(d("1.50"))), "1.50");
  EXPECT_EQ(text(d("1").checked_sub(neg_zero)), "1");
}

TEST(Decimal, RepresentationLimits) {
  EXPECT_TRUE(Decimal::from_parts(Decimal::kMaxMantissa, 28, true).has_value());
  EXPECT_FALSE(Decimal::from_parts(Decimal::kMaxMantissa + 1, 0, false).has_value());
  EXPECT_FALSE(Decimal::from_parts(1, 29, false).has_value());
  EXPECT_EQ(Decimal::from_int(-9223372036854775807LL - 1).to_string(), "-9223372036854775808");
  const Decimal max = d("79228162514264337593543950335");
  EXPECT_EQ(text(max.checked_add(d("0.4"))), "79228162514264337593543950335");
  EXPECT_EQ(text(d("1.5").round_sf(0)), "0");  // zero figures: beyond the reference cases
  EXPECT_EQ(text(d("4.5").checked_mul(d("1000000"))), "4500000.0");
  // Scale beyond 28 in a product is reduced half to even.
  EXPECT_EQ(text(d("0.0000000000000000000000000015").checked_mul(d("0.1"))), "0.0000000000000000000000000002");
  EXPECT_EQ(text(d("0.0000000000000000000000000025").checked_mul(d("0.1"))), "0.0000000000000000000000000002");
}

TEST(Decimal, QuotientForms) {
  const struct {
    const char *a, *b, *want;
  } cases[] = {
      // Forms the reference pairs do not reach (they pin 1/2, 2/3, 1/10 and the like).
      {"1", "5", "0.20"},      {"1", "4", "0.25"},      {"1", "8", "0.125"},
      {"5", "100", "0.05"},    {"12.5", "100", "0.125"}, {"12.50", "1", "12.50"},
      {"10000", "3", "3333.3333333333333333333333333"}, {"0.00", "7", "0"},
  };
  for (const auto& c : cases) EXPECT_EQ(text(d(c.a).checked_div(d(c.b))), c.want) << c.a << " / " << c.b;
}

TEST(Decimal, MaxKeepsTheSecondOnATie) {
  const Decimal a = d("4.50"), b = d("4.5");
  EXPECT_EQ(a.max(b).to_string(), "4.5");
  EXPECT_EQ(b.max(a).to_string(), "4.50");
  EXPECT_EQ(d("5").max(b).to_string(), "5");
}

TEST(Decimal, HostileText) {
  // Long inputs are read in one pass; what follows a dropped fraction digit is not looked at.
  const std::string long_fraction = "0." + std::string(1'000'000, '3');
  EXPECT_EQ(d(long_fraction).to_string(), "0.3333333333333333333333333333");
  EXPECT_EQ(d("0.00000000000000000000000000005x.y").to_string(), "0.0000000000000000000000000001");
  const std::string long_zeros = std::string(1'000'000, '0') + "1";
  EXPECT_EQ(d(long_zeros).to_string(), "1");
  EXPECT_EQ(Decimal::parse(std::string(40, '9')).error(), DecimalParseError::TooManyDigits);
  EXPECT_EQ(Decimal::parse(std::string("1\0", 2)).error(), DecimalParseError::UnknownCharacter);
  EXPECT_EQ(d("1_2.3_4").to_string(), "12.34");
}

// Exact value ±m · 10^(28 − scale), so every decimal compares on one scale.
qv::testing::BigInt scaled(const Decimal& x) {
  qv::testing::BigInt v(static_cast<qv::numeric::i128>(x.mantissa()));
  for (std::uint32_t i = x.scale(); i < Decimal::kMaxScale; ++i) v = v * qv::testing::BigInt(10);
  return x.is_sign_negative() ? -v : v;
}

// Random operands of all sizes and scales: comparison is exact, and an
// addition or subtraction at a scale of 28 or less that fits is exact too.
TEST(DecimalProperty, ComparisonAndExactSums) {
  std::mt19937_64 rng(0xDEC0DE);
  auto any = [&] {
    const u128 m = ((u128{rng()} << 64) | rng()) >> (32 + rng() % 96);
    return Decimal::from_parts(m & Decimal::kMaxMantissa, static_cast<std::uint32_t>(rng() % 29), rng() & 1).value();
  };
  for (int i = 0; i < 20000; ++i) {
    const Decimal a = any(), b = any();
    const int want = compare(scaled(a), scaled(b));
    const auto got = a <=> b;
    ASSERT_EQ(got < 0 ? -1 : (got > 0 ? 1 : 0), want) << a.to_string() << " vs " << b.to_string();
    const auto sum = a.checked_add(b);
    const auto diff = a.checked_sub(b);
    // Beyond 96 bits the result is rounded; when its scale stayed at the
    // larger operand scale, nothing was dropped and it must be exact.
    const std::uint32_t scale = std::max(a.scale(), b.scale());
    if (sum && sum->scale() == scale) {
      EXPECT_TRUE(scaled(*sum) == scaled(a) + scaled(b)) << a.to_string() << " + " << b.to_string();
    }
    if (diff && diff->scale() == scale) {
      EXPECT_TRUE(scaled(*diff) == scaled(a) - scaled(b)) << a.to_string() << " - " << b.to_string();
    }
  }
}

}  // namespace
