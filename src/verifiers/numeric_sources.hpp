#pragma once
// The source figures of one numeric-verifier run, read once and looked up
// for every claim: the best figure of a claim's first verdict, and what the
// second chances need of each figure (its exact value, whether it is a year).
#include <cstddef>
#include <optional>
#include <vector>

#include "numeric/compare.hpp"
#include "numeric/fraction.hpp"
#include "numeric/quantity.hpp"
#include "records/request.hpp"
#include "verifiers/declared_scale.hpp"

namespace qv::verifiers {

// The figure a claim is judged against and how the two compare.
struct BestFigure {
  std::size_t index = 0;
  numeric::QuantityComparison comparison;
};

// Compares the claim with each figure in order: a lower code replaces the
// best so far, and between two differences the strictly smaller relative
// distance; the first equal figure ends the search.
std::optional<BestFigure> best_figure_in_order(const numeric::Quantity& claim, const std::vector<SourceFigure>& figures,
                                               const records::MatchOptions& matching);

class SourceFigureIndex {
 public:
  SourceFigureIndex(const std::vector<SourceFigure>& figures, const records::MatchOptions& matching);

  // The same answer as best_figure_in_order. With both matching options
  // off, the equal figure is looked up among the canonical values of the
  // claim's dimension; without one, the smallest relative distance is found
  // from the values next to the claim's and the extreme ones, since the
  // distance only grows away from the claim's value on either side and only
  // falls towards the far ends (values beyond the claim's magnitude on the
  // other side of zero). The first figure at that distance is taken from a
  // tree of the smallest figure position over runs of the value order.
  std::optional<BestFigure> best(const numeric::Quantity& claim) const;

  const std::vector<SourceFigure>& figures() const { return figures_; }
  const std::optional<numeric::Fraction>& exact_value(std::size_t i) const { return info_[i].exact; }
  bool year_like(std::size_t i) const { return info_[i].year_like; }

 private:
  struct Info {
    std::optional<numeric::Fraction> exact;
    bool year_like = false;
  };
  struct Entry {
    numeric::Decimal value;
    std::size_t figure;
  };
  struct Group {
    numeric::Dimension dimension;
    std::vector<Entry> by_value;  // canonical values, ascending, then by figure
    std::vector<std::size_t> tree;  // smallest figure over ranges of by_value
    std::optional<std::size_t> first_without_values;  // its distance is 1 to every claim
    bool wide = false;  // some value so large that a difference may not fit
  };
  struct Nearest {
    numeric::Decimal distance;
    std::size_t figure;
  };
  const Group* group(const numeric::Dimension& d) const;
  std::optional<Nearest> nearest(const Group& g, const numeric::Decimal& x) const;

  const std::vector<SourceFigure>& figures_;
  records::MatchOptions matching_;
  std::vector<Info> info_;
  std::vector<Group> groups_;
};

}  // namespace qv::verifiers
