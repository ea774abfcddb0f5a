#pragma once
// Exact decimal numbers: a sign, a 96-bit mantissa and a scale from 0 to 28;
// the value is ±mantissa ÷ 10^scale. The scale is part of the value's written
// form (1.50 keeps two fraction digits) but not of its numeric value
// (1.50 == 1.5). Arithmetic is checked: a result that cannot be represented
// is none, never a wrong value.
#include <compare>
#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>

#include "numeric/int128.hpp"

namespace qv::numeric {

// Why a text does not read as a decimal.
enum class DecimalParseError {
  Empty,                  // no characters at all
  UnknownCharacter,       // anything but digits, one '.', '_' and a leading sign
  NoDigits,               // a sign or point without any digit
  TwoDecimalPoints,       // a second '.'
  LeadingUnderscore,      // '_' before the first digit
  TooManyDigits,          // the integer part reaches 2^96
  OverflowAfterRounding,  // rounding the last kept digit carries past 2^96 at scale 0
};

// The error's text, e.g. "Invalid decimal: two decimal points".
std::string_view describe(DecimalParseError error);

// Which way a value exactly halfway between two candidates goes.
enum class MidpointRule {
  NearestEven,   // to the candidate whose last digit is even
  AwayFromZero,  // to the candidate of larger magnitude
};

class Decimal {
 public:
  static constexpr std::uint32_t kMaxScale = 28;
  static constexpr u128 kMaxMantissa = (u128{1} << 96) - 1;

  // Zero, positive, scale 0.
  constexpr Decimal() = default;

  // The value ±mantissa ÷ 10^scale; none when mantissa ≥ 2^96 or scale > 28.
  // The sign is kept as given, so a negative zero can be built.
  static std::optional<Decimal> from_parts(u128 mantissa, std::uint32_t scale, bool negative);
  // An integer at scale 0.
  static Decimal from_int(std::int64_t value);

  // Reads an optional '+' or '-', ASCII digits with at most one '.', and
  // '_' separators after the first digit. The scale is the number of fraction
  // digits written (trailing zeros kept). An integer part of 2^96 or more is
  // refused. Fraction digits beyond the 28th, or beyond what the mantissa
  // can hold, are not kept: the first of them rounds the kept digits half up
  // and the rest of the text is not looked at. A zero reads as positive.
  static std::expected<Decimal, DecimalParseError> parse(std::string_view text);

  u128 mantissa() const { return mantissa_; }
  std::uint32_t scale() const { return scale_; }
  // The sign flag; a negative zero has it set.
  bool is_sign_negative() const { return negative_; }
  bool is_zero() const { return mantissa_ == 0; }

  // Flips the sign flag only (so -0 exists).
  Decimal operator-() const;
  // Clears the sign flag, keeps the scale.
  Decimal abs() const;
  // Every trailing fraction zero removed; a zero becomes +0 at scale 0.
  Decimal normalize() const;

  // Sum and difference: the operands are aligned to the larger scale; a result
  // beyond 96 bits drops the fewest trailing digits, rounding half to even.
  // A zero operand gives the other operand unchanged (negated for 0 − x).
  std::optional<Decimal> checked_add(const Decimal& other) const;
  std::optional<Decimal> checked_sub(const Decimal& other) const;
  // Product at the sum of the scales, reduced (fewest digits dropped, half to
  // even) until the mantissa fits 96 bits and the scale 28. None when that
  // would need more digits than the scale has. A zero operand, or two
  // mantissas below 2^32 whose product would lose 20 or more digits, give +0
  // at scale 0.
  std::optional<Decimal> checked_mul(const Decimal& other) const;
  // Quotient. An exact quotient keeps the natural scale (dividend scale minus
  // divisor scale, raised to 0 when negative); otherwise digits are added in
  // steps of up to nine until the quotient is exact or no further digit fits,
  // the last one rounded half to even, and trailing zeros are then removed
  // in a fixed partial way (so 1 ÷ 2 is 0.50 and 1 ÷ 4 is 0.25). None for a
  // zero divisor or a quotient beyond the range.
  std::optional<Decimal> checked_div(const Decimal& other) const;

  // Rounded to `dp` fraction digits. A value with scale `dp` or less comes
  // back unchanged; otherwise the result has exactly scale `dp`.
  Decimal round_dp(std::uint32_t dp, MidpointRule rule = MidpointRule::NearestEven) const;
  // Rounded to `digits` significant digits, midpoints to even. Fewer digits
  // than the mantissa has round away the excess (through integer rounding when
  // the excess reaches past the point; none if the rounded integer overflows);
  // more pad the fraction with zeros as far as scale and mantissa allow.
  // Zero, or zero digits, gives +0.
  std::optional<Decimal> round_sf(std::uint32_t digits) const;

  // The larger of the two; `other` on a tie (which decides the scale kept).
  const Decimal& max(const Decimal& other) const { return *this > other ? *this : other; }

  // Plain text: '-' when the sign flag is set (zero included), the integer
  // digits (at least "0"), then '.' and exactly `scale` fraction digits when
  // the scale is above 0. Never an exponent or grouping.
  std::string to_string() const;

  // Numeric comparison across scales; -0 equals 0.
  friend bool operator==(const Decimal& a, const Decimal& b) { return compare(a, b) == 0; }
  friend std::strong_ordering operator<=>(const Decimal& a, const Decimal& b) { return compare(a, b) <=> 0; }

 private:
  constexpr Decimal(u128 mantissa, std::uint32_t scale, bool negative)
      : mantissa_(mantissa), scale_(static_cast<std::uint8_t>(scale)), negative_(negative) {}
  static int compare(const Decimal& a, const Decimal& b);
  std::optional<Decimal> add_signed(const Decimal& other, bool negate_other) const;

  u128 mantissa_ = 0;
  std::uint8_t scale_ = 0;
  bool negative_ = false;
};

}  // namespace qv::numeric
