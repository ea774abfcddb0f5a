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
  // claim's dimension, and otherwise only the figures whose relative
  // distance, estimated in floating point with a safe margin, could be the
  // smallest are compared exactly.
  std::optional<BestFigure> best(const numeric::Quantity& claim) const;

  const std::vector<SourceFigure>& figures() const { return figures_; }
  const std::optional<numeric::Fraction>& exact_value(std::size_t i) const { return info_[i].exact; }
  bool year_like(std::size_t i) const { return info_[i].year_like; }

 private:
  struct Info {
    std::optional<numeric::Fraction> exact;
    bool year_like = false;
    std::vector<numeric::Decimal> canonical;  // the values in the canonical unit that exist
    std::vector<double> approx;               // the same, approximately
  };
  struct Entry {
    numeric::Decimal value;
    std::size_t figure;
  };
  struct Group {
    numeric::Dimension dimension;
    std::vector<std::size_t> figures;  // in order
    std::vector<Entry> by_value;       // canonical values, ascending, then by figure
    bool wide = false;                 // some value too large for the estimate
  };
  const Group* group(const numeric::Dimension& d) const;

  const std::vector<SourceFigure>& figures_;
  records::MatchOptions matching_;
  std::vector<Info> info_;
  std::vector<Group> groups_;
};

}  // namespace qv::verifiers
