#include "numeric/fraction.hpp"

#include <array>
#include <limits>

namespace qv::numeric {

namespace {

std::optional<i128> checked_mul(i128 a, i128 b) {
  i128 r = 0;
  if (__builtin_mul_overflow(a, b, &r)) return std::nullopt;
  return r;
}

std::optional<i128> checked_add(i128 a, i128 b) {
  i128 r = 0;
  if (__builtin_add_overflow(a, b, &r)) return std::nullopt;
  return r;
}

// `f` with a positive denominator (callers pass canonical fractions, for
// which this is the identity).
std::optional<Fraction> positive_denominator(const Fraction& f) {
  if (f.denominator > 0) return f;
  return normalize_fraction(f.numerator, f.denominator);
}

std::string slash_text(const Fraction& f) {
  return i128_to_string(f.numerator) + "/" + i128_to_string(f.denominator);
}

}  // namespace

std::optional<Fraction> normalize_fraction(i128 numerator, i128 denominator) {
  if (denominator == 0) return std::nullopt;
  if (denominator < 0) {
    if (denominator == kI128Min || numerator == kI128Min) return std::nullopt;
    numerator = -numerator;
    denominator = -denominator;
  }
  u128 a = magnitude(numerator);
  u128 b = static_cast<u128>(denominator);
  while (b != 0) {
    const u128 t = a % b;
    a = b;
    b = t;
  }
  // a divides the positive denominator, so it is at most the maximum value.
  const i128 g = static_cast<i128>(a);
  return Fraction{numerator / g, denominator / g};
}

std::optional<Fraction> fraction_add(const Fraction& a, const Fraction& b) {
  const auto left = checked_mul(a.numerator, b.denominator);
  const auto right = checked_mul(b.numerator, a.denominator);
  const auto den = checked_mul(a.denominator, b.denominator);
  if (!left || !right || !den) return std::nullopt;
  const auto num = checked_add(*left, *right);
  if (!num) return std::nullopt;
  return normalize_fraction(*num, *den);
}

std::optional<Fraction> fraction_sub(const Fraction& a, const Fraction& b) {
  if (b.numerator == kI128Min) return std::nullopt;
  return fraction_add(a, Fraction{-b.numerator, b.denominator});
}

std::optional<Fraction> fraction_mul(const Fraction& a, const Fraction& b) {
  const auto num = checked_mul(a.numerator, b.numerator);
  const auto den = checked_mul(a.denominator, b.denominator);
  if (!num || !den) return std::nullopt;
  return normalize_fraction(*num, *den);
}

std::optional<Fraction> fraction_div(const Fraction& a, const Fraction& b) {
  const auto num = checked_mul(a.numerator, b.denominator);
  const auto den = checked_mul(a.denominator, b.numerator);
  if (!num || !den) return std::nullopt;
  return normalize_fraction(*num, *den);
}

std::optional<Fraction> fraction_abs(const Fraction& f) {
  if (f.numerator == kI128Min) return std::nullopt;
  return Fraction{f.numerator < 0 ? -f.numerator : f.numerator, f.denominator};
}

std::optional<std::strong_ordering> fraction_compare(const Fraction& a, const Fraction& b) {
  const auto l = checked_mul(a.numerator, b.denominator);
  const auto r = checked_mul(b.numerator, a.denominator);
  if (!l || !r) return std::nullopt;
  return *l <=> *r;
}

std::optional<Fraction> pow10_fraction(std::int32_t exponent) {
  // |exponent| through its unsigned form: the minimum value maps to 2^31.
  const std::uint32_t mag = exponent < 0 ? 0u - static_cast<std::uint32_t>(exponent) : static_cast<std::uint32_t>(exponent);
  if ((mag >> 6) != 0) return std::nullopt;
  static constexpr std::array<i128, 6> kSquares = {
      10, 100, 10000, 100000000, static_cast<i128>(10000000000000000LL),
      static_cast<i128>(10000000000000000LL) * static_cast<i128>(10000000000000000LL)};
  i128 power = 1;
  for (std::size_t bit = 0; bit < kSquares.size(); ++bit) {
    if ((mag >> bit) & 1u) {
      const auto p = checked_mul(power, kSquares[bit]);
      if (!p) return std::nullopt;
      power = *p;
    }
  }
  return exponent >= 0 ? Fraction{power, 1} : Fraction{1, power};
}

std::optional<Fraction> decimal_to_fraction(const Decimal& x) {
  const auto den = pow10_fraction(static_cast<std::int32_t>(x.scale()));
  if (!den) return std::nullopt;
  const i128 m = static_cast<i128>(x.mantissa());  // below 2^96
  return normalize_fraction(x.is_sign_negative() ? -m : m, den->numerator);
}

std::optional<Fraction> unit_ratio(const Decimal& factor, const Decimal& divisor) {
  // Most units (every currency, a plain number, a percentage) are their
  // own canonical unit.
  static const Decimal one = Decimal::from_int(1);
  if (factor == one && divisor == one) return Fraction{1, 1};
  const auto f = decimal_to_fraction(factor);
  const auto d = decimal_to_fraction(divisor);
  return f && d ? fraction_div(*f, *d) : std::nullopt;
}

std::optional<ValueAndMultiplier> value_and_multiplier(std::span<const Decimal> readings, std::size_t value_count,
                                                       const Decimal& factor, const Decimal& divisor,
                                                       const Decimal& offset, std::uint32_t scale_power) {
  if (!offset.is_zero()) return std::nullopt;
  if (readings.empty() || readings.size() != value_count) return std::nullopt;
  const auto value = decimal_to_fraction(readings.front());
  const auto ratio = unit_ratio(factor, divisor);
  if (!value || !ratio || scale_power > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())) return std::nullopt;
  const auto power = pow10_fraction(static_cast<std::int32_t>(scale_power));
  if (!power) return std::nullopt;
  const auto multiplier = fraction_mul(*power, *ratio);
  if (!multiplier) return std::nullopt;
  return ValueAndMultiplier{*value, *multiplier};
}

std::optional<Fraction> exact_value(std::span<const Decimal> readings, std::size_t value_count, const Decimal& factor,
                                    const Decimal& divisor, const Decimal& offset, std::uint32_t scale_power) {
  const auto vm = value_and_multiplier(readings, value_count, factor, divisor, offset, scale_power);
  if (!vm) return std::nullopt;
  return fraction_mul(vm->value, vm->multiplier);
}

bool rounds_to(const Fraction& value, const Fraction& target, const Fraction& step, core::RoundingRule rule) {
  if (step.denominator == 0) return false;
  const auto twice = checked_mul(step.denominator, 2);
  if (!twice) return false;
  const auto half = normalize_fraction(step.numerator, *twice);
  const auto v = positive_denominator(value);
  const auto t = positive_denominator(target);
  if (!half || !v || !t) return false;

  const Fraction& reach = rule == core::RoundingRule::WithinLastDigit ? step : *half;
  const auto lo_bound = fraction_sub(*t, reach);
  const auto hi_bound = fraction_add(*t, reach);
  if (!lo_bound || !hi_bound) return false;
  const auto lo = fraction_compare(*v, *lo_bound);
  const auto hi = fraction_compare(*v, *hi_bound);
  if (!lo || !hi) return false;

  bool lo_inclusive = false;
  bool hi_inclusive = false;
  switch (rule) {
    case core::RoundingRule::HalfUp:
      lo_inclusive = t->numerator > 0;
      hi_inclusive = t->numerator < 0;
      break;
    case core::RoundingRule::HalfEven: {
      const auto q = fraction_div(*t, step);
      const bool even = q && q->denominator == 1 && q->numerator % 2 == 0;
      lo_inclusive = hi_inclusive = even;
      break;
    }
    case core::RoundingRule::WithinLastDigit:
      break;
  }
  const bool above_lo = lo_inclusive ? *lo >= 0 : *lo > 0;  // value against target − reach
  const bool below_hi = hi_inclusive ? *hi <= 0 : *hi < 0;  // value against target + reach
  return above_lo && below_hi;
}

std::string fraction_text(const Fraction& f) {
  const auto scaled = checked_mul(f.numerator, 1000000);
  // Canonical fractions have a denominator of at least 1; anything else that
  // could not be divided safely is written as it is.
  if (!scaled || f.denominator == 0 || (f.denominator == -1 && *scaled == kI128Min)) return slash_text(f);
  const i128 q = *scaled / f.denominator;
  if (q < std::numeric_limits<std::int64_t>::min() || q > std::numeric_limits<std::int64_t>::max()) {
    return slash_text(f);
  }
  const auto d = Decimal::from_parts(magnitude(q), 6, q < 0);  // |q| ≤ 2^63 always fits
  return d ? d->normalize().to_string() : slash_text(f);
}

}  // namespace qv::numeric
