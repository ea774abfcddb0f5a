#include "verifiers/numeric_figures.hpp"

#include "numeric/compare.hpp"
#include "numeric/locale.hpp"
#include "numeric/quantity.hpp"
#include "numeric/units.hpp"
#include "verifiers/year.hpp"

namespace qv::verifiers {
bool NumericFigures::knows_locale(std::string_view locale) const { return numeric::locale_profile(locale).has_value(); }

std::vector<Figure> NumericFigures::read(std::string_view text, std::string_view locale, bool with_units) const {
  std::vector<Figure> out;
  const auto profile = numeric::locale_profile(locale);
  if (!profile) return out;
  std::vector<numeric::Quantity> quantities = numeric::extract_quantities(text, *profile, with_units);
  out.reserve(quantities.size());
  for (numeric::Quantity& q : quantities) {
    Figure f;
    f.start = q.start;
    f.end = q.end;
    f.significant_digits = q.significant_digits;
    f.scale_power = static_cast<std::int32_t>(q.scale_power);
    f.unit = q.unit.dimension;
    f.year_like = is_year_like(q);
    f.quantity = std::move(q);
    out.push_back(std::move(f));
  }
  return out;
}

bool NumericFigures::same_figure(const Figure& claim, const Figure& source) const {
  const auto& a = std::any_cast<const numeric::Quantity&>(claim.quantity);
  const auto& b = std::any_cast<const numeric::Quantity&>(source.quantity);
  return numeric::compare_quantities(a, b, false, false).code == numeric::ComparisonCode::Equal;
}

std::vector<numeric::Decimal> NumericFigures::exact_values(const Figure& figure) const {
  const auto& q = std::any_cast<const numeric::Quantity&>(figure.quantity);
  std::vector<numeric::Decimal> out;
  out.reserve(q.values.size());
  for (const numeric::Decimal& v : q.values) {
    if (auto c = numeric::canonical_value(v, q.unit)) out.push_back(*c);
  }
  return out;
}

std::optional<FigureUnit> NumericFigures::unit_of_word(std::string_view word) const {
  const auto unit = numeric::unit_lookup(word);
  if (!unit) return std::nullopt;
  return unit->dimension;
}

const FigureReader& numeric_figures() {
  static const NumericFigures reader;
  return reader;
}

}  // namespace qv::verifiers
