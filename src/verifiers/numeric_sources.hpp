#pragma once
// The source figures of one numeric-verifier run, read once and looked up
// for every claim: the best figure of a claim's first verdict, and what the
// second chances need of each figure (its exact value, whether it is a year).
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>
#include <optional>
#include <string>
#include <vector>

#include "numeric/compare.hpp"
#include "numeric/fraction.hpp"
#include "numeric/quantity.hpp"
#include "records/types.hpp"
#include "verifiers/declared_scale.hpp"
#include "verifiers/numeric_lone.hpp"

namespace qv::verifiers {

// The figure a claim is judged against and how the two compare.
struct BestFigure {
  std::size_t index = 0;
  numeric::QuantityComparison comparison;
  // The figure agrees with the claim only read as written, while it stands
  // for its value under the scale its table declares and the claim states a
  // scale of its own: it is a difference at the distance as written, and
  // `as_written` says how they agree.
  bool agrees_only_as_written = false;
  numeric::ComparisonCode as_written = numeric::ComparisonCode::Different;
  // A difference measured to the figure's values under the scale its table
  // declares (`figure_under_declared_scale`).
  bool measured_under_scale = false;
};

// The claim against figure `index` under `matching`. A figure without a
// scale of its own in a source that declares one, and a claim with a scale
// word: the figure gives no agreement (equal, at precision or as a
// fraction) read as written, only the smallest relative distance of their
// values as written; otherwise, unless it is a year, their difference is
// measured to its values under the declared scale.
BestFigure compare_with_figure(const numeric::Quantity& claim, const std::vector<SourceFigure>& figures,
                               std::size_t index, const records::MatchOptions& matching);

// Compares the claim with each figure in order, ranking agreements by
// their code, then figures that agree only as written by how they agree,
// then differences by their relative distance, then figures of another
// dimension; the first of equal rank stays, and the first equal figure ends
// the search.
std::optional<BestFigure> best_figure_in_order(const numeric::Quantity& claim, const std::vector<SourceFigure>& figures,
                                               const records::MatchOptions& matching);

// The figure's quantity with its values under the scale its table
// declares, each times the declared power of ten (a product beyond the
// decimal range left out); none for a figure with a scale of its own, of a
// source without a declaration, or a year.
std::optional<numeric::Quantity> figure_under_declared_scale(const SourceFigure& figure);

// The unit or scale written on one side only: the same unit with exactly
// one of the two scales 0, or one side dimensionless and the other not with
// equal scales or one of them 0; and some reading of each, as written,
// equal. A figure without a scale of its own in a source that declares one
// is in the declared scale: it stands for no claim stated at another scale.
bool one_sided_unit_or_scale(const numeric::Quantity& claim, const SourceFigure& figure);

// A figure under the scale its table declares: not a year, of the claim's
// unit or dimensionless, and either with a context scale and the claim's
// exact value, or without scale in a source that declares one, its exact
// value times the declared power of ten being the claim's.
bool under_declared_scale(const numeric::Quantity& claim, const std::optional<numeric::Fraction>& claim_exact,
                          const SourceFigure& figure);

// The same at the claim's written precision: the value the figure stands
// for under its scale and the claim's value are equal once both are rounded
// to the claim's significant digits.
bool at_precision_under_declared_scale(const numeric::Quantity& claim,
                                       const std::optional<numeric::Fraction>& claim_exact, const SourceFigure& figure);

// The power of ten of the scale a figure stands under: its table's
// declaration for a bare figure, a context phrase's for a figure that
// phrase scaled; 0 for neither, and for a year.
std::uint32_t table_scale_power(const SourceFigure& figure);

// A figure under the scale its table declares, or a context phrase gives it,
// that the claim equals there, in some reading of each (the values compared
// in their canonical unit): of the claim's unit, or dimensionless. Which
// readings are equal, by their positions: the first pair, the claim's
// readings taken in order.
struct EqualReadings {
  std::size_t claim = 0;
  std::size_t figure = 0;
};
std::optional<EqualReadings> equal_under_declared_scale(const numeric::Quantity& claim, const SourceFigure& figure);

// A value as written times ten to a scale's power, in the canonical unit of
// `unit`; none for a power no scale names, or on overflow.
std::optional<numeric::Decimal> canonical_at_power(const numeric::Decimal& value, std::uint32_t power,
                                                   const numeric::UnitInfo& unit);

// The figure with its sign turned: every reading and value negated.
numeric::Quantity with_sign_turned(const numeric::Quantity& q);

// The figure's text in its source: empty when its span does not lie on
// character boundaries of the text.
std::string figure_text(const SourceFigure& figure);

// Whether a context phrase gave the figure its scale.
bool scaled_by_context(const numeric::Quantity& figure);

// Whether only the source states the figure's scale: a context phrase
// scaled it, or it stands bare under its source's declaration (a year
// apart).
bool scale_from_source(const SourceFigure& figure);

// The first figure passing each test, trying them in order; with
// `source_scale_only`, the one-sided test among the figures whose scale
// only the source states.
std::optional<std::size_t> first_one_sided_in_order(const numeric::Quantity& claim,
                                                    const std::vector<SourceFigure>& figures,
                                                    bool source_scale_only = false);
std::optional<std::size_t> first_under_declared_scale_in_order(const numeric::Quantity& claim,
                                                               const std::optional<numeric::Fraction>& claim_exact,
                                                               const std::vector<SourceFigure>& figures);
std::optional<std::size_t> first_at_precision_under_declared_scale_in_order(
    const numeric::Quantity& claim, const std::optional<numeric::Fraction>& claim_exact,
    const std::vector<SourceFigure>& figures);
std::optional<std::size_t> first_equal_under_declared_scale_in_order(const numeric::Quantity& claim,
                                                                     const std::vector<SourceFigure>& figures);
// The first lone digit passing each test of `LoneDigitIndex`, trying them
// in order.
std::optional<std::size_t> first_lone_equal_under_scale_in_order(const numeric::Quantity& claim,
                                                                 const std::vector<LoneFigure>& lone);
std::optional<std::size_t> first_lone_copied_in_order(const numeric::Quantity& claim,
                                                      const std::vector<LoneFigure>& lone);

// Whether some figure matches the claim before derivation, trying figure by
// figure: a best figure that agrees, or that agrees only as written in a
// table whose declaration makes exceptions, or one passing a second
// chance's test (whatever the claim's digit count), or equal under a
// declared or context scale; or a lone digit equal under its scale or
// that the claim copies.
bool matches_some_figure_in_order(const numeric::Quantity& claim, const std::vector<SourceFigure>& figures,
                                  const records::MatchOptions& matching, const std::vector<LoneFigure>& lone = {});

class SourceFigureIndex {
 public:
  SourceFigureIndex(const std::vector<SourceFigure>& figures, const records::MatchOptions& matching,
                    std::vector<LoneFigure> lone = {});

  // The same answer as best_figure_in_order, looked up by the lowest code
  // any figure can give, each a run of the value order of one dimension:
  // the equal figure (values equal to one of the claim's); with
  // `declared_precision`, the figures whose values round to the claim's at
  // the claim's significant digits (rounding is monotone, so they are
  // adjacent); with `percent_as_fraction`, the bare figures whose value
  // times 100 is a percentage claim's, or the percentages equal to a bare
  // claim's value times 100. The first figure of a run is taken from a tree
  // of the smallest figure position over runs of the value order; for a
  // claim with a scale word, from a tree without the figures that stand
  // under a declared scale, which agree with it only as written: the first
  // of those, by the same lookups in a tree of them alone, comes next.
  // Otherwise the smallest relative distance is found, among the claim's
  // dimension and the one a percentage meets as a fraction, from the values
  // next to the claim's and the extreme ones, since the distance only grows
  // away from the claim's value on either side and only falls towards the
  // far ends (values beyond the claim's magnitude on the other side of
  // zero); for a claim with a scale word, among the values as it measures
  // them (`measured_groups_`).
  std::optional<BestFigure> best(const numeric::Quantity& claim) const;

  // The same answers as the in-order searches above, from the figures kept
  // by reading and by the exact value each could stand for.
  std::optional<std::size_t> first_one_sided(const numeric::Quantity& claim, bool source_scale_only = false) const;
  std::optional<std::size_t> first_under_declared_scale(const numeric::Quantity& claim,
                                                        const std::optional<numeric::Fraction>& claim_exact) const;
  // By the value order of the figures under a scale, as above.
  std::optional<std::size_t> first_at_precision_under_declared_scale(
      const numeric::Quantity& claim, const std::optional<numeric::Fraction>& claim_exact) const;

  // By the values of the figures under a declared or context scale, in the
  // value order of their dimension and of the dimensionless figures.
  std::optional<std::size_t> first_equal_under_declared_scale(const numeric::Quantity& claim) const;

  // Whether the claim with its sign turned might match some figure. Every
  // way of matching compares readings as written, or values in the
  // canonical unit (scaled by a positive power of ten, rounded, or times
  // 100), and keeps their sign: it needs a figure with a reading of the
  // turned reading's sign, or a value of the sign the turned value has in
  // the canonical unit (where a unit with an offset, a temperature, can
  // change the sign, and zero is a sign of its own). A claim of zero turned
  // is the same claim. The lone digits count as figures here.
  bool may_agree_with_sign_turned(const numeric::Quantity& claim) const;

  const std::vector<SourceFigure>& figures() const { return figures_; }
  const LoneDigitIndex& lone() const { return lone_; }

  // The first figure of each unit, scale, declared scale that applies to it
  // (0 when none does) and scale of its table (`table_scale_power`).
  struct FirstOfUnit {
    numeric::Dimension dimension;
    std::uint32_t scale_power;
    std::uint32_t header_power;
    std::uint32_t table_power;
    std::size_t figure;
  };

 private:
  struct Entry {
    numeric::Decimal value;
    std::size_t figure;
  };
  struct Group {
    numeric::Dimension dimension;
    std::size_t first;  // the group's first figure
    std::vector<Entry> by_value;  // canonical values, ascending, then by figure
    std::vector<std::size_t> tree;  // smallest figure over ranges of by_value
    std::vector<std::size_t> open_tree;  // the same without figures under a declared scale
    std::vector<std::size_t> declared_tree;  // the same of those figures only
    std::vector<std::size_t> scaled_tree;  // of the values measured under a declared scale only
    std::optional<std::size_t> first_without_values;  // its distance is 1 to every claim
    bool wide = false;  // some value so large that a difference may not fit
  };
  struct Nearest {
    numeric::Decimal distance;
    std::size_t figure;
  };
  static const Group* group_of(const std::vector<Group>& groups, const numeric::Dimension& d);
  const Group* group(const numeric::Dimension& d) const { return group_of(groups_, d); }
  // With `percent_as_fraction`, the bare figures for a percentage claim and
  // the percentages for a bare claim; none otherwise.
  const Group* fraction_partner(const std::vector<Group>& groups, const numeric::Dimension& d) const;
  // The first figure holding a value v with key(v) equal to `target`, where
  // key is monotone and fails only at the extremes (failing keys count as
  // beyond every target on the side of v's sign).
  template <class Key>
  std::size_t first_with_key(const Group& g, const std::vector<std::size_t>& tree, const numeric::Decimal& target,
                             Key key) const;
  static std::optional<Nearest> nearest(const Group& g, const numeric::Decimal& x);

  const std::vector<SourceFigure>& figures_;
  records::MatchOptions matching_;
  LoneDigitIndex lone_;
  // The signs (negative, zero, positive) of the figures' readings, and of
  // the values in the canonical unit, as written and under a declared
  // scale, of figures whose unit has an offset (the values of other units
  // have their readings' signs).
  std::array<bool, 3> signs_{};
  // Some figure stands under a context scale.
  bool any_context_ = false;
  // For each group of `groups_`, the tree of the figures a context phrase
  // scaled only: built on the first lookup that needs it, which a run whose
  // claims the figures support never makes.
  mutable std::vector<std::vector<std::size_t>> context_trees_;
  const std::vector<std::size_t>& context_tree(const Group& g) const;
  std::vector<Group> groups_;
  // Figures by each reading as written, and by the exact value a claim must
  // have for the figure to stand for it under a declared or context scale.
  std::map<numeric::Decimal, std::vector<FirstOfUnit>> by_reading_;
  std::map<std::pair<numeric::i128, numeric::i128>, std::vector<FirstOfUnit>> by_declared_value_;
  // The figures that stand for a value under a declared or context scale,
  // by dimension, each by that value in the canonical unit.
  std::vector<Group> scaled_groups_;
  // Every figure by dimension, each by its values as a claim with a scale
  // word measures them: under the declared scale where one applies
  // (`figure_under_declared_scale`), as written otherwise. Empty when no
  // figure stands under a declared scale.
  std::vector<Group> measured_groups_;
};

}  // namespace qv::verifiers
