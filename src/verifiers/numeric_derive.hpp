#pragma once
// The search of the derivation passes: for each unsupported claim, the first
// derived candidate, in the candidates' order, that its exact value matches
// (exactly, rounded under the rule, or as a slip in the last digit), and,
// for the recomputation pass, the operands that the candidates of its unit
// are built on.
//
// Within one pass every claim is tried against the same candidates, so the
// claims are indexed instead of the candidates: the candidates are produced
// once, in order, and each is looked up among the value windows of the
// claims still open. A claim's first hit is its first match in candidate
// order, the same answer as trying every candidate for every claim. A pair
// whose candidates can fall in no open window is passed over unformed, so
// that with few claims open the search is near linear in the operands.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/vocabulary.hpp"
#include "numeric/derived.hpp"
#include "numeric/fraction.hpp"
#include "numeric/units.hpp"

namespace qv::verifiers {

// What one unsupported claim is tried with.
struct DerivationTarget {
  std::string claim_id;
  numeric::Fraction value;                // the claim's exact value
  std::optional<numeric::Fraction> step;  // one unit of its last written digit, in canonical terms
  numeric::Dimension dimension;
  std::uint32_t significant_digits = 0;
  // How the value is written: its scale power, and its unit's factor over
  // its divisor (none when that cannot be formed).
  std::uint32_t scale_power = 0;
  std::optional<numeric::Fraction> unit;
  // A target as a chance carries it to a way of writing: met only by sums,
  // means and differences, exactly or rounded, never as a slip (no ratio,
  // share, change or scaled figure is looked for).
  bool by_chance = false;
};

// Which candidates a search may match with a target (by its position);
// every candidate when none is given.
using DerivedAccept =
    std::function<bool(const numeric::DerivedFigures&, const numeric::DerivedFigure&, std::size_t target)>;

enum class DerivedMatchKind : std::uint8_t { Exact, Rounded, Slip };

struct DerivedMatch {
  std::uint64_t position = 0;  // where the candidate stands in the candidates' order (DerivedFigures::order_key)
  DerivedMatchKind kind = DerivedMatchKind::Exact;
  numeric::Fraction value;
  std::string expression;
  std::vector<std::string> operands;  // labels
  std::vector<std::uint32_t> positions;  // of those operands in the list searched
};

// How a candidate value matches the target's value, if it does: equal; else,
// for two or more significant digits, rounding to the target under `rule`;
// else, under within_last_digit and not for a target carried by a chance,
// off by at most 1/200 of the candidate.
std::optional<DerivedMatchKind> derived_value_match(const numeric::Fraction& candidate,
                                                    const DerivationTarget& target, core::RoundingRule rule);

// Whether a candidate of this dimension is tried for the target: the
// target's own unit, or a percentage for a dimensionless target.
bool derived_dimension_applies(const numeric::Dimension& candidate, const numeric::Dimension& target);

// How much a search formed, for bounds on its work: the ordered pairs
// whose candidates it formed, and the operands for which it tried every
// partner (the first search, when the windows' ranges would be about as
// many as the partners) or tried them in turn (the second, when the
// partner found overflows at the edges of the 128-bit range).
struct DerivationWork {
  std::size_t pairs_formed = 0;
  std::size_t operands_with_every_partner = 0;
};

// The first match of each target (none where no candidate matches), by
// the claim index described above.
std::vector<std::optional<DerivedMatch>> first_derived_matches(std::span<const numeric::DerivationOperand> operands,
                                                               std::span<const DerivationTarget> targets,
                                                               core::RoundingRule rule,
                                                               DerivationWork* work = nullptr,
                                                               const DerivedAccept& accept = {});

// The same by trying every candidate in order for every target: the
// reference the index agrees with.
std::vector<std::optional<DerivedMatch>> first_derived_matches_in_order(
    std::span<const numeric::DerivationOperand> operands, std::span<const DerivationTarget> targets,
    core::RoundingRule rule, const DerivedAccept& accept = {});

// For each target, which operands (by position) some candidate of exactly
// the target's unit, not built on the target's claim, is built on.
std::vector<std::vector<bool>> operands_named_by_unit(std::span<const numeric::DerivationOperand> operands,
                                                      std::span<const DerivationTarget> targets,
                                                      DerivationWork* work = nullptr);

// Sign of ka·a − kb·b for fractions with positive denominators and positive
// factors, computed without overflow.
int compare_scaled(const numeric::Fraction& a, std::uint32_t ka, const numeric::Fraction& b, std::uint32_t kb);

}  // namespace qv::verifiers
