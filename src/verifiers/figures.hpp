#pragma once
// What the scope and intent verifiers read of the figures in a text, behind
// one small interface: the locale check, the figures of a text, the exact
// comparison of two figures, and the unit a word names. The engine hands
// the verifiers the reader over the numeric component (numeric_figures.hpp).
#include <any>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "numeric/decimal.hpp"
#include "numeric/units.hpp"
#include "verifiers/verifier.hpp"

namespace qv::verifiers {

// What a figure measures: its dimension's kind and, for a currency, the code.
using FigureDimension = numeric::DimensionKind;
using FigureUnit = numeric::Dimension;

// The dimension's variant name in lower case ("dimensionless", "length").
constexpr std::string_view dimension_name(FigureDimension d) {
  constexpr std::array<std::string_view, 12> kNames = {"dimensionless", "percent", "currency",    "length",
                                                       "mass",          "time",    "temperature", "energy",
                                                       "power",         "volume",  "area",        "data"};
  return kNames[static_cast<std::size_t>(d)];
}

// One figure of a text.
struct Figure {
  std::size_t start = 0;  // byte span in the text it was read from
  std::size_t end = 0;
  std::uint32_t significant_digits = 0;
  std::int32_t scale_power = 0;  // power of ten of a scale word or declared scale
  FigureUnit unit;
  bool year_like = false;  // a bare four-digit year
  std::any quantity;       // the reader's own value, for `same_figure`
};

class FigureReader {
 public:
  virtual ~FigureReader() = default;
  // Whether the locale text names a profile.
  virtual bool knows_locale(std::string_view locale) const = 0;
  // The figures of a text in text order, read under a known locale.
  virtual std::vector<Figure> read(std::string_view text, std::string_view locale, bool with_units) const = 0;
  // Whether a source's figure is an exact match of a claim's figure (the
  // comparison with both of its options off).
  virtual bool same_figure(const Figure& claim, const Figure& source) const = 0;
  // A figure's values in its dimension's canonical unit, leaving out those
  // that cannot be converted. Two figures are the same figure exactly when
  // their dimensions are equal and they share one of these values, so a
  // verifier may look figures up by them instead of comparing every pair.
  virtual std::vector<numeric::Decimal> exact_values(const Figure& figure) const = 0;
  // The unit a (lower-cased) word names, if any.
  virtual std::optional<FigureUnit> unit_of_word(std::string_view word) const = 0;
};

// A verifier that reads figures through a reader, which must outlive it.
class FigureVerifier : public Verifier {
 public:
  const VerifierInfo& info() const override { return info_; }

 protected:
  FigureVerifier(VerifierInfo info, const FigureReader& figures) : info_(std::move(info)), figures_(figures) {}
  const FigureReader& figures() const { return figures_; }

 private:
  VerifierInfo info_;
  const FigureReader& figures_;
};

}  // namespace qv::verifiers
