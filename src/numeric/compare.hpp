#pragma once
// Comparison of two quantities in their dimension's canonical unit, and the
// canonical text of a quantity.
#include <cstdint>
#include <optional>
#include <string>

#include "numeric/decimal.hpp"
#include "numeric/quantity.hpp"
#include "numeric/units.hpp"

namespace qv::numeric {

// (v × factor + offset) ÷ divisor with checked decimal arithmetic; none when
// a step fails.
std::optional<Decimal> canonical_value(const Decimal& v, const UnitInfo& unit);

enum class ComparisonCode : std::uint8_t {
  Equal = 0,             // some value of each is the same in the canonical unit
  EqualAtPrecision = 1,  // equal at the first quantity's significant digits
  EqualAsFraction = 2,   // equal when the percentage is read as a fraction
  Different = 3,         // with the smallest relative distance
  NotComparable = 4,     // different dimensions
};

struct QuantityComparison {
  ComparisonCode code = ComparisonCode::Different;
  std::uint32_t significant_digits = 0;  // payload of EqualAtPrecision
  Decimal distance;                      // payload of Different
};

// Compares the first quantity (a claim's figure) with the second. With
// `percent_as_fraction`, a percentage meets a bare number as a fraction
// (42% and 0.42); with `declared_precision`, values equal when rounded to
// the first quantity's significant digits are a match.
//
// The relative distance of two canonical values x and y is
// |x − y| ÷ max(max(|x|, |y|), 1), where max gives its second argument on a
// tie: the scale of the divisor, and with it the written form of the
// quotient, follows from that. A pair whose subtraction, ×100 (percent
// mode) or rounding to significant digits does not fit the decimal type is
// passed over.
QuantityComparison compare_quantities(const Quantity& first, const Quantity& second, bool declared_precision,
                                      bool percent_as_fraction);

// The smallest relative distance over every pair of values, an equal pair
// included, as the comparison measures it (in percent mode too); 1 when no
// pair gives one or the dimensions do not meet.
Decimal smallest_relative_distance(const Quantity& first, const Quantity& second, bool percent_as_fraction);

// The canonical values of a quantity, trailing zeros removed, each followed
// by its canonical unit text, joined with " | " ("4500000 USD"). A value
// that cannot be converted is written as it is; no values give "".
std::string render_rescaled_values(const Quantity& q);

}  // namespace qv::numeric
