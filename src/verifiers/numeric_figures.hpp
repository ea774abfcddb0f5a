#pragma once
// The figure reader over the numeric component: locale profiles, quantity
// extraction, exact comparison and the unit table.
#include "verifiers/figures.hpp"

namespace qv::verifiers {

class NumericFigures final : public FigureReader {
 public:
  bool knows_locale(std::string_view locale) const override;
  std::vector<Figure> read(std::string_view text, std::string_view locale, bool with_units) const override;
  // Code 0 (equal) of the comparison with both options off.
  bool same_figure(const Figure& claim, const Figure& source) const override;
  std::vector<numeric::Decimal> exact_values(const Figure& figure) const override;
  std::optional<FigureUnit> unit_of_word(std::string_view word) const override;
};

// The one reader the engine hands its scope and intent verifiers; it holds
// no state.
const FigureReader& numeric_figures();

}  // namespace qv::verifiers
