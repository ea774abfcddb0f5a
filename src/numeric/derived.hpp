#pragma once
// Figures derived from supported figures of an answer: sums, means,
// differences, ratios, shares and changes in per cent of pairs, and sums and
// means of groups of one dimension. Candidates come in a fixed order; a
// consumer takes the first that matches.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "numeric/fraction.hpp"
#include "numeric/quantity.hpp"
#include "numeric/units.hpp"

namespace qv::numeric {

// One supported answer figure.
struct DerivationOperand {
  Fraction value;       // exact, in the canonical unit
  Fraction reading;     // the first reading as written, before scale and unit
  Dimension dimension;
  std::string label;    // the claim id
  std::string text;     // the claim text
};

// One derived figure, its texts written.
struct DerivedCandidate {
  Fraction value;
  Dimension dimension;
  std::string expression;             // e.g. "$5 million − $3 million"
  std::vector<std::string> operands;  // the labels used, in operand order
};

// The operand of a claim's figure; none when the figure has no exact value
// (a unit with an offset, a value lost to overflow, no readings).
std::optional<DerivationOperand> make_derivation_operand(std::string_view claim_id, std::string_view claim_text,
                                                         const Quantity& figure);
// The same with the figure's exact value worked out already (none: no
// operand).
std::optional<DerivationOperand> make_derivation_operand(std::string_view claim_id, std::string_view claim_text,
                                                         const Quantity& figure, const std::optional<Fraction>& exact);

// How a candidate was formed from its operands a and b (or a group).
enum class DerivedOp : std::uint8_t {
  Scaled,              // a ÷ b, b a pure number: "{a} / {b}"
  Sum,                 // "{a} + {b}"
  Mean,                // "({a} + {b}) / 2"
  Difference,          // "{a} − {b}"
  AbsoluteDifference,  // "|{a} − {b}|"
  Ratio,               // "{a} / {b}", Dimensionless
  Percentage,          // "{a} / {b} × 100", Percent
  Change,              // "({a} − {b}) / {b} × 100", Percent
  AbsoluteChange,      // "|({a} − {b}) / {b}| × 100", Percent
  GroupSum,            // texts joined with " + "
  GroupMean,           // "({sum}) / {m}"
};

// Which unit a pair's candidate has: its first operand's, or a fixed one
// (a ratio is a pure number, a share or a change a percentage).
enum class PairUnit : std::uint8_t { FirstOperand, Dimensionless, Percent };

constexpr PairUnit pair_unit(DerivedOp op) {
  switch (op) {
    case DerivedOp::Ratio:
      return PairUnit::Dimensionless;
    case DerivedOp::Percentage:
    case DerivedOp::Change:
    case DerivedOp::AbsoluteChange:
      return PairUnit::Percent;
    default:
      return PairUnit::FirstOperand;
  }
}

// Sums, means and differences (of a pair or a group) are in the unit, at
// the scale, of their operands; ratios, shares, changes and scaled figures
// are not.
constexpr bool is_sum_or_difference(DerivedOp op) {
  switch (op) {
    case DerivedOp::Sum:
    case DerivedOp::Mean:
    case DerivedOp::Difference:
    case DerivedOp::AbsoluteDifference:
    case DerivedOp::GroupSum:
    case DerivedOp::GroupMean:
      return true;
    default:
      return false;
  }
}

// A candidate before its texts are written: its value and how to write it.
struct DerivedFigure {
  Fraction value;
  DerivedOp op = DerivedOp::Sum;
  std::uint32_t a = 0;      // pair: operand positions
  std::uint32_t b = 0;
  std::uint32_t group = 0;  // group: which group, and which of its members
  std::uint32_t mask = 0;
};

// The candidates of a list of operands, produced one at a time in their
// fixed order (the same order as find_derived_figure's list), with
// expressions and labels written only on request. Keeps a view of the
// operands, which must outlive it.
//
// Order: for each ordered pair (a, b) of distinct positions, a outer and b
// inner, in list order:
// - a has a dimension and b is a pure number: a ÷ b when b is not zero;
// - same dimension: sum and mean (only when a comes first), difference,
//   absolute difference, then, when b is not zero, ratio, percentage,
//   change and absolute change;
// - otherwise nothing.
// Then, per dimension in order of first appearance, for groups of 3 to 10
// operands: for each subset of 3 or more (by increasing bit mask), the sum
// and the mean. A candidate whose arithmetic overflows is left out, and so
// are those computed from it.
class DerivedFigures {
 public:
  explicit DerivedFigures(std::span<const DerivationOperand> operands);

  // The next candidate, or none when all have been given.
  std::optional<DerivedFigure> next();

  // The candidates of the ordered pair (a, b), a ≠ b, in their order (at
  // most 8); how many there are. They are the ones next() gives for it.
  std::size_t pair_figures(std::uint32_t a, std::uint32_t b, std::array<DerivedFigure, 8>& out) const;

  // Moves the production past every pair: next() gives the group candidates.
  void skip_pairs();

  // A number that grows along the candidates' order, the same for a
  // candidate however it was produced (not its count in the order).
  std::uint64_t order_key(const DerivedFigure& f) const;

  const Dimension& dimension(const DerivedFigure& f) const;
  std::string expression(const DerivedFigure& f) const;
  std::vector<std::string> operand_labels(const DerivedFigure& f) const;
  // The positions of the operands it is built on, in operand order.
  std::vector<std::uint32_t> operand_positions(const DerivedFigure& f) const;
  DerivedCandidate candidate(const DerivedFigure& f) const;

 private:
  void fill_group_subset(std::uint32_t g, std::uint32_t mask);
  std::string joined_texts(const DerivedFigure& f) const;

  struct Group {
    std::vector<std::uint32_t> members;  // operand positions, in list order
  };

  std::span<const DerivationOperand> operands_;
  std::vector<Group> groups_;
  std::array<DerivedFigure, 8> buffer_{};
  std::size_t buffered_ = 0;
  std::size_t taken_ = 0;
  // Where the production stands: the next pair (a, b), then the next group
  // subset (g, mask).
  std::uint32_t a_ = 0, b_ = 0;
  std::uint32_t g_ = 0, mask_ = 1;
};

// Every candidate of the operands, in order, with its texts.
std::vector<DerivedCandidate> find_derived_figure(std::span<const DerivationOperand> operands);

}  // namespace qv::numeric
