#pragma once
// Exact rational arithmetic on signed 128-bit integers. Every operation is
// overflow-checked and gives none rather than a wrong value; callers take
// none to mean that the comparison or derivation at hand cannot be made.
// The formulas are the plain ones (products of numerators and denominators,
// no cross-cancelling), so where an operation overflows is fixed.
#include <compare>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "core/vocabulary.hpp"
#include "numeric/decimal.hpp"
#include "numeric/int128.hpp"

namespace qv::numeric {

// numerator ÷ denominator. Every fraction the operations below return is
// canonical: denominator at least 1, no common divisor above 1, zero as 0/1.
// Two canonical fractions are equal exactly when both parts are equal.
struct Fraction {
  i128 numerator = 0;
  i128 denominator = 1;

  friend bool operator==(const Fraction&, const Fraction&) = default;
};

// The canonical form of n/d: none for d = 0, and for a negative d when n or
// d is the minimum value (their negation would overflow).
std::optional<Fraction> normalize_fraction(i128 numerator, i128 denominator);

// (a.n·b.d + b.n·a.d) / (a.d·b.d), every product and the sum checked.
std::optional<Fraction> fraction_add(const Fraction& a, const Fraction& b);
// a + (−b): none when b's numerator is the minimum value.
std::optional<Fraction> fraction_sub(const Fraction& a, const Fraction& b);
// (a.n·b.n) / (a.d·b.d).
std::optional<Fraction> fraction_mul(const Fraction& a, const Fraction& b);
// (a.n·b.d) / (a.d·b.n); none for a zero divisor.
std::optional<Fraction> fraction_div(const Fraction& a, const Fraction& b);

// |f|: none when the numerator is the minimum value.
std::optional<Fraction> fraction_abs(const Fraction& f);

// Order of a and b (positive denominators) by cross products a.n·b.d and
// b.n·a.d; none when a product overflows.
std::optional<std::strong_ordering> fraction_compare(const Fraction& a, const Fraction& b);

// 10^exponent, by square-and-multiply over the six low bits of |exponent|;
// none beyond 10^±38.
std::optional<Fraction> pow10_fraction(std::int32_t exponent);

// The decimal's exact value, reduced. Succeeds for every decimal.
std::optional<Fraction> decimal_to_fraction(const Decimal& x);

// The exact value of a figure and the multiplier that carries its first
// reading into the canonical unit: value = the first reading, multiplier =
// 10^scale_power × factor ÷ divisor. None for a unit with a non-zero offset
// (no exact value), when a reading was lost to overflow (`value_count`
// differs from the number of readings), without readings, or on overflow.
// A unit's factor over its divisor: what carries a value in that unit,
// scale apart, into the canonical unit. None for a zero divisor.
std::optional<Fraction> unit_ratio(const Decimal& factor, const Decimal& divisor);

struct ValueAndMultiplier {
  Fraction value;
  Fraction multiplier;
};
std::optional<ValueAndMultiplier> value_and_multiplier(std::span<const Decimal> readings, std::size_t value_count,
                                                       const Decimal& factor, const Decimal& divisor,
                                                       const Decimal& offset, std::uint32_t scale_power);
// value × multiplier of the above: the figure in its canonical unit.
std::optional<Fraction> exact_value(std::span<const Decimal> readings, std::size_t value_count, const Decimal& factor,
                                    const Decimal& divisor, const Decimal& offset, std::uint32_t scale_power);

// Whether `value`, written at the precision of `step` (positive), reads as
// `target` under `rule`:
// - HalfUp: a midpoint goes away from zero;
// - HalfEven: a midpoint goes to the even multiple of the step;
// - WithinLastDigit: strictly less than one step away, either side.
// Any overflow on the way gives false.
bool rounds_to(const Fraction& value, const Fraction& target, const Fraction& step, core::RoundingRule rule);

// Plain text of a fraction: the value truncated toward zero to six decimal
// places with trailing zeros removed ("2.5", "0.333333", "-0.333333", "0");
// "n/d" when that does not fit a 64-bit mantissa.
std::string fraction_text(const Fraction& f);

}  // namespace qv::numeric
