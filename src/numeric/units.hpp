#pragma once
// Dimensions and units of figures. Figures are compared only within one
// dimension, each carried into its dimension's canonical unit by exact
// constants: a value v written in a unit is (v × factor + offset) ÷ divisor
// in the canonical unit.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "numeric/decimal.hpp"

namespace qv::numeric {

enum class DimensionKind : std::uint8_t {
  Dimensionless,
  Percent,
  Currency,
  Length,
  Mass,
  Time,
  Temperature,
  Energy,
  Power,
  Volume,
  Area,
  Data,
};

// What a figure measures. A currency carries its code (three upper-case
// letters when it comes from a lookup). Two dimensions are the same when
// their kinds are and, for currencies, their codes are equal byte for byte.
struct Dimension {
  DimensionKind kind = DimensionKind::Dimensionless;
  std::string code;  // empty unless kind is Currency

  static Dimension currency(std::string_view code) { return {DimensionKind::Currency, std::string(code)}; }
  friend bool operator==(const Dimension& a, const Dimension& b) {
    return a.kind == b.kind && (a.kind != DimensionKind::Currency || a.code == b.code);
  }
};

// The variant name ("Dimensionless", "Percent", "Length", ...); a currency
// reads Currency("EUR"), its code quoted and escaped.
std::string dimension_text(const Dimension& dimension);

// A looked-up unit: its dimension, the canonical unit's text ("%", the
// currency code, "m", "kg", "s", "K", "Wh", "W", "L", "m2", "B"; empty for a
// figure without unit) and the constants into that unit.
struct UnitInfo {
  Dimension dimension;
  std::string_view unit;  // a fixed text
  Decimal factor = Decimal::from_int(1);
  Decimal divisor = Decimal::from_int(1);
  Decimal offset;
};

// The unit of a word, a currency symbol or a three-letter code, or none.
// Currency and percent words match in any case (full lower-casing of the
// whole word); physical unit words only exactly as written.
std::optional<UnitInfo> unit_lookup(std::string_view word);

// A currency of this code: the code is kept as the dimension's code; the unit
// text is the code for USD, EUR, GBP, JPY, INR and CHF, and "XXX" otherwise.
UnitInfo currency_unit(std::string_view code);

}  // namespace qv::numeric
