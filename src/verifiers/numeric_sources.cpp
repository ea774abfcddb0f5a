#include "verifiers/numeric_sources.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "verifiers/findings.hpp"

namespace qv::verifiers {

using numeric::ComparisonCode;
using numeric::Decimal;
using numeric::Quantity;

std::optional<BestFigure> best_figure_in_order(const Quantity& claim, const std::vector<SourceFigure>& figures,
                                               const records::MatchOptions& matching) {
  std::optional<BestFigure> best;
  for (std::size_t i = 0; i < figures.size(); ++i) {
    numeric::QuantityComparison c = numeric::compare_quantities(claim, figures[i].quantity,
                                                                matching.declared_precision,
                                                                matching.percent_as_fraction);
    const bool better = !best || c.code < best->comparison.code ||
                        (c.code == ComparisonCode::Different && best->comparison.code == ComparisonCode::Different &&
                         c.distance < best->comparison.distance);
    if (better) best = BestFigure{i, std::move(c)};
    if (best->comparison.code == ComparisonCode::Equal) break;
  }
  return best;
}

namespace {

// Magnitudes up to which the floating-point estimate of a distance is
// trusted; beyond, the exact subtraction may overflow and skip a pair.
constexpr double kEstimateLimit = 1e26;
// Bound on the error of an estimated distance (every distance is at most 2
// in the region that can hold the smallest, and the estimate is off by a
// few units of 2^-53 there), with a wide allowance.
constexpr double kEstimateMargin = 1e-12;

double approximate(const Decimal& d) {
  static const std::array<double, 29> kPowers = [] {
    std::array<double, 29> p{};
    double v = 1.0;
    for (double& x : p) {
      x = v;
      v *= 10.0;
    }
    return p;
  }();
  const double m = static_cast<double>(d.mantissa()) / kPowers[d.scale()];
  return d.is_sign_negative() ? -m : m;
}

double estimate(double x, double y) { return std::fabs(x - y) / std::max({std::fabs(x), std::fabs(y), 1.0}); }

}  // namespace

SourceFigureIndex::SourceFigureIndex(const std::vector<SourceFigure>& figures, const records::MatchOptions& matching)
    : figures_(figures), matching_(matching), info_(figures.size()) {
  for (std::size_t i = 0; i < figures.size(); ++i) {
    const Quantity& q = figures[i].quantity;
    Info& info = info_[i];
    info.exact = numeric::quantity_exact_value(q);
    info.year_like = is_year_like(q);
    auto it = std::find_if(groups_.begin(), groups_.end(), [&](const Group& g) { return g.dimension == q.unit.dimension; });
    if (it == groups_.end()) {
      groups_.push_back(Group{q.unit.dimension, {}, {}, false});
      it = groups_.end() - 1;
    }
    it->figures.push_back(i);
    for (const Decimal& v : q.values) {
      const auto c = numeric::canonical_value(v, q.unit);
      if (!c) continue;
      info.canonical.push_back(*c);
      info.approx.push_back(approximate(*c));
      if (std::fabs(info.approx.back()) > kEstimateLimit) it->wide = true;
      it->by_value.push_back(Entry{*c, i});
    }
  }
  for (Group& g : groups_) {
    std::stable_sort(g.by_value.begin(), g.by_value.end(),
                     [](const Entry& a, const Entry& b) { return a.value < b.value; });
  }
}

const SourceFigureIndex::Group* SourceFigureIndex::group(const numeric::Dimension& d) const {
  for (const Group& g : groups_) {
    if (g.dimension == d) return &g;
  }
  return nullptr;
}

std::optional<BestFigure> SourceFigureIndex::best(const Quantity& claim) const {
  if (figures_.empty()) return std::nullopt;
  const auto in_order = [&] { return best_figure_in_order(claim, figures_, matching_); };
  if (matching_.declared_precision || matching_.percent_as_fraction) return in_order();
  const auto compare_with = [&](std::size_t i) {
    return BestFigure{i, numeric::compare_quantities(claim, figures_[i].quantity, false, false)};
  };
  const Group* g = group(claim.unit.dimension);
  // No figure of the claim's unit: every figure is incomparable, and the
  // first one stays the best.
  if (!g) return compare_with(0);

  std::vector<Decimal> xs;
  std::vector<double> xa;
  for (const Decimal& v : claim.values) {
    if (const auto c = numeric::canonical_value(v, claim.unit)) {
      xs.push_back(*c);
      xa.push_back(approximate(*c));
    }
  }
  // A claim without comparable values, or with values beyond the estimate,
  // is compared figure by figure.
  if (xs.empty() || g->wide ||
      std::any_of(xa.begin(), xa.end(), [](double x) { return std::fabs(x) > kEstimateLimit; })) {
    return in_order();
  }

  // An equal figure: the first one in order among those holding a value
  // equal to one of the claim's.
  std::size_t equal = std::numeric_limits<std::size_t>::max();
  for (const Decimal& x : xs) {
    const auto at = std::lower_bound(g->by_value.begin(), g->by_value.end(), x,
                                     [](const Entry& e, const Decimal& v) { return e.value < v; });
    if (at != g->by_value.end() && at->value == x) equal = std::min(equal, at->figure);
  }
  if (equal != std::numeric_limits<std::size_t>::max()) return compare_with(equal);

  // Differences only: the smallest relative distance, the first figure on a
  // tie. Estimate each figure's distance, then compare exactly, in order,
  // every figure that the estimate cannot rule out.
  std::vector<double> estimates(g->figures.size(), 1.0);
  double lowest = std::numeric_limits<double>::infinity();
  for (std::size_t k = 0; k < g->figures.size(); ++k) {
    const Info& info = info_[g->figures[k]];
    double d = info.approx.empty() ? 1.0 : std::numeric_limits<double>::infinity();
    for (double x : xa) {
      for (double y : info.approx) d = std::min(d, estimate(x, y));
    }
    estimates[k] = d;
    lowest = std::min(lowest, d);
  }
  std::optional<BestFigure> best;
  for (std::size_t k = 0; k < g->figures.size(); ++k) {
    if (estimates[k] > lowest + 2 * kEstimateMargin) continue;
    BestFigure c = compare_with(g->figures[k]);
    if (!best || c.comparison.code < best->comparison.code ||
        (c.comparison.code == ComparisonCode::Different && best->comparison.code == ComparisonCode::Different &&
         c.comparison.distance < best->comparison.distance)) {
      best = std::move(c);
    }
  }
  return best;
}

}  // namespace qv::verifiers
