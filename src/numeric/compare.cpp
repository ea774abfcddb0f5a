#include "numeric/compare.hpp"

namespace qv::numeric {

std::optional<Decimal> canonical_value(const Decimal& v, const UnitInfo& unit) {
  const auto scaled = v.checked_mul(unit.factor);
  if (!scaled) return std::nullopt;
  const auto shifted = scaled->checked_add(unit.offset);
  if (!shifted) return std::nullopt;
  return shifted->checked_div(unit.divisor);
}

namespace {

enum class Meeting : std::uint8_t { Same, AsFraction, Not };

// How the dimensions of two quantities meet: as the same, as a percentage
// and a bare number read as a fraction (with `percent_as_fraction`), or not.
Meeting meeting(const Dimension& da, const Dimension& db, bool percent_as_fraction) {
  if (da == db) return Meeting::Same;
  const bool a_percent = da.kind == DimensionKind::Percent, b_percent = db.kind == DimensionKind::Percent;
  const bool a_bare = da.kind == DimensionKind::Dimensionless, b_bare = db.kind == DimensionKind::Dimensionless;
  return percent_as_fraction && ((a_percent && b_bare) || (a_bare && b_percent)) ? Meeting::AsFraction : Meeting::Not;
}

struct ExactPass {
  bool equal = false;
  std::optional<Decimal> smallest;  // the smallest relative distance of a pair
};

// Every pair of values in the canonical unit, the bare side times 100 in
// percent mode; with `stop_at_equal` the first equal pair ends the pass.
ExactPass exact_pass(const Quantity& first, const Quantity& second, bool percent_mode, bool stop_at_equal) {
  const Decimal one = Decimal::from_int(1);
  const Decimal hundred = Decimal::from_int(100);
  const bool scale_first = percent_mode && first.unit.dimension.kind == DimensionKind::Dimensionless;
  ExactPass pass;
  for (const Decimal& x : first.values) {
    for (const Decimal& y : second.values) {
      const auto xc = canonical_value(x, first.unit);
      const auto yc = canonical_value(y, second.unit);
      if (!xc || !yc) continue;
      std::optional<Decimal> xs = xc, ys = yc;
      if (percent_mode) (scale_first ? xs : ys) = (scale_first ? *xc : *yc).checked_mul(hundred);
      if (!xs || !ys) continue;
      if (*xs == *ys) {
        pass.equal = true;
        if (stop_at_equal) return pass;
      }
      const auto difference = xc->checked_sub(*yc);
      if (!difference) continue;
      const Decimal divisor = xc->abs().max(yc->abs()).max(one);
      const auto distance = difference->abs().checked_div(divisor);
      if (distance && (!pass.smallest || *distance < *pass.smallest)) pass.smallest = distance;
    }
  }
  return pass;
}

}  // namespace

QuantityComparison compare_quantities(const Quantity& first, const Quantity& second, bool declared_precision,
                                      bool percent_as_fraction) {
  const Meeting m = meeting(first.unit.dimension, second.unit.dimension, percent_as_fraction);
  if (m == Meeting::Not) return {ComparisonCode::NotComparable, 0, Decimal()};
  const bool percent_mode = m == Meeting::AsFraction;
  const Decimal one = Decimal::from_int(1);
  if (first.values.empty()) return {ComparisonCode::Different, 0, one};

  const ExactPass pass = exact_pass(first, second, percent_mode, true);
  if (pass.equal) return {percent_mode ? ComparisonCode::EqualAsFraction : ComparisonCode::Equal, 0, Decimal()};

  if (declared_precision && !percent_mode && !second.values.empty()) {
    const std::uint32_t digits = first.significant_digits;
    for (const Decimal& x : first.values) {
      for (const Decimal& y : second.values) {
        const auto xc = canonical_value(x, first.unit);
        const auto yc = canonical_value(y, second.unit);
        if (!xc || !yc) continue;
        const auto xr = xc->round_sf(digits);
        const auto yr = yc->round_sf(digits);
        if (xr && yr && *xr == *yr) return {ComparisonCode::EqualAtPrecision, digits, Decimal()};
      }
    }
  }
  return {ComparisonCode::Different, 0, pass.smallest.value_or(one)};
}

Decimal smallest_relative_distance(const Quantity& first, const Quantity& second, bool percent_as_fraction) {
  const Meeting m = meeting(first.unit.dimension, second.unit.dimension, percent_as_fraction);
  const Decimal one = Decimal::from_int(1);
  if (m == Meeting::Not) return one;
  return exact_pass(first, second, m == Meeting::AsFraction, false).smallest.value_or(one);
}

std::string render_rescaled_values(const Quantity& q) {
  std::string out;
  for (std::size_t i = 0; i < q.values.size(); ++i) {
    if (i > 0) out += " | ";
    const Decimal v = canonical_value(q.values[i], q.unit).value_or(q.values[i]);
    out += v.normalize().to_string();
    if (!q.unit.unit.empty()) {
      out += ' ';
      out += q.unit.unit;
    }
  }
  return out;
}

}  // namespace qv::numeric
