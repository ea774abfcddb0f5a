#pragma once
// What the searches of the derivation passes share: the dimensions of a
// list of operands numbered, which targets the candidates can concern at
// all, whether a candidate is built on a claim, and a match written out.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "numeric/derived.hpp"
#include "numeric/units.hpp"
#include "verifiers/numeric_derive.hpp"

namespace qv::verifiers::derive_detail {

// The distinct dimensions met, numbered in order of first appearance (there
// are at most a dozen kinds and six currencies, so a lookup is a short scan).
// Dimensionless and Percent come first. Numbered the operands' dimensions
// before the targets', a target whose number comes after them has no
// candidate: pairs and groups give their operands' dimensions, ratios are
// dimensionless, shares and changes percentages.
class DimensionIds {
 public:
  DimensionIds() : dimensionless_(id(numeric::Dimension{})), percent_(id({numeric::DimensionKind::Percent, {}})) {}

  std::uint32_t id(const numeric::Dimension& d) {
    if (const auto found = find(d)) return *found;
    dimensions_.push_back(d);
    return static_cast<std::uint32_t>(dimensions_.size() - 1);
  }
  std::optional<std::uint32_t> find(const numeric::Dimension& d) const {
    for (std::uint32_t i = 0; i < dimensions_.size(); ++i) {
      if (dimensions_[i] == d) return i;
    }
    return std::nullopt;
  }
  std::size_t size() const { return dimensions_.size(); }
  std::uint32_t dimensionless() const { return dimensionless_; }
  std::uint32_t percent() const { return percent_; }

  // The number of a pair candidate's unit, given that of its first operand.
  std::uint32_t of_pair(const numeric::DerivedFigure& f, std::uint32_t first) const {
    switch (numeric::pair_unit(f.op)) {
      case numeric::PairUnit::Dimensionless:
        return dimensionless_;
      case numeric::PairUnit::Percent:
        return percent_;
      case numeric::PairUnit::FirstOperand:
        break;
    }
    return first;
  }

 private:
  std::vector<numeric::Dimension> dimensions_;
  std::uint32_t dimensionless_;
  std::uint32_t percent_;
};

// Whether a candidate is built on the claim with this id.
bool built_on(const numeric::DerivedFigures& figures, const numeric::DerivedFigure& f, std::string_view claim_id);

// A candidate matched as `kind`, its texts written.
DerivedMatch match_of(const numeric::DerivedFigures& figures, const numeric::DerivedFigure& f,
                      DerivedMatchKind kind);

// Whether the target's claim id is the label of some operand: only then can
// a candidate be built on the claim itself.
std::vector<bool> claims_among_operands(std::span<const numeric::DerivationOperand> operands,
                                        std::span<const DerivationTarget> targets);

}  // namespace qv::verifiers::derive_detail
