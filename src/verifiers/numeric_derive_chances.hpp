#pragma once
// The second chances of a derived figure. Besides equality, rounding and a
// slip in the last digit, a sum, mean or difference of operands written
// alike (at one scale, in one unit) meets a claim as a source figure
// written so would: by its digits as written, with the unit or scale stated
// on one side only, or under the scale its operands' table states. And the
// runs the derivation passes search: operands, each with how its value is
// written and what keeps it from confirming a figure derived from it.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/vocabulary.hpp"
#include "numeric/derived.hpp"
#include "numeric/fraction.hpp"
#include "numeric/units.hpp"
#include "verifiers/numeric_derive.hpp"

namespace qv::verifiers {

// How an operand's value is written: its dimension, the power of ten and
// the unit's factor over its divisor that carry its reading to its value,
// the scale its source states for a value written without one (0 for
// none), and whether a context phrase gave it its scale.
struct WrittenAs {
  numeric::Dimension dimension;
  std::uint32_t scale_power = 0;
  numeric::Fraction unit{1, 1};
  std::uint32_t source_power = 0;
  bool context = false;
  friend bool operator==(const WrittenAs&, const WrittenAs&) = default;
};

// What keeps a derived figure from confirming a claim, by its operands or
// by how they were paired.
enum Taint : std::uint8_t {
  kUnconfirmed = 1,           // an operand the sources do not confirm as stated
  kSignDiffers = 2,           // one they state with the other sign
  kOneSidedUnconfirmed = 4,   // one they match only with its unit or scale on one side
  kCurrencyOnOneSide = 8,     // a currency stated for some operands only
};

// The operands of one search, with, for each, how its value is written,
// its taint, and whether it is a bare operand given the currency of the
// others (a figure derived from it must combine it with one of those).
struct DerivationRun {
  std::vector<numeric::DerivationOperand> operands;
  std::vector<WrittenAs> written;
  std::vector<std::uint8_t> taints;
  std::vector<bool> relabelled;
  bool relabelling = false;  // some operand is given a currency

  void add(numeric::DerivationOperand op, const WrittenAs& w, std::uint8_t taint, bool relabel = false) {
    operands.push_back(std::move(op));
    written.push_back(w);
    taints.push_back(taint);
    relabelled.push_back(relabel);
    relabelling = relabelling || relabel;
  }
};

enum class DerivedChance : std::uint8_t { Direct, OneSided, UnderScale };
inline constexpr std::size_t kDerivedChances = 3;

struct ChanceMatch {
  DerivedMatch match;
  DerivedChance chance = DerivedChance::Direct;
  std::uint8_t taint = 0;
};

// How a derived figure is written: that of its operands, for a sum, mean,
// difference or absolute difference of operands all written alike; none
// otherwise (ratios, shares, changes and scaled figures have no digits as
// written of their own).
std::optional<WrittenAs> written_as(const DerivationRun& run, const numeric::DerivedFigures& figures,
                                    const numeric::DerivedFigure& f);

// A derived figure's taint: its operands', and kCurrencyOnOneSide where it
// combines an operand given a currency with one that states it.
std::uint8_t taint_of(const DerivationRun& run, const numeric::DerivedFigures& figures,
                      const numeric::DerivedFigure& f);

// Whether a search takes the candidate: with `tainted_only`, only one with
// a taint; in a run with operands given a currency, only one combining
// such an operand with one that states the currency.
bool admitted(const DerivationRun& run, const numeric::DerivedFigures& figures, const numeric::DerivedFigure& f,
              bool tainted_only);

// The factor by which a figure written as `w` is compared with the target
// through `chance`, as a source figure written so would be; none where the
// chance does not apply. One side: the same unit with exactly one of the
// two scales 0, or one side dimensionless with equal scales or one of them
// 0, and a scale its source states that is the target's or the target
// states none: the figure's value as written, at the target's scale and in
// its unit. Under the scale: a figure written without a scale, of the
// target's unit or dimensionless, times ten to the scale its source states;
// or a dimensionless figure a context phrase scaled, as it is. Direct: 1.
std::optional<numeric::Fraction> chance_factor(DerivedChance chance, const WrittenAs& w, const DerivationTarget& t);

// For each target and chance, the first candidate of the run, in the
// candidates' order, that `admitted` takes and that meets the target that
// way: its value matching the target's exactly, rounded or as a slip
// (`derived_value_match`); through a chance, its value times the chance's
// factor, exactly or rounded only, as a source figure's digits meet a
// claim's only when equal. Without `direct`, the
// direct matches are not searched. Searched by the claim index of
// `first_derived_matches`, one search for the direct matches and one per
// way of writing shared by two operands or more.
using ChanceMatches = std::vector<std::array<std::optional<ChanceMatch>, kDerivedChances>>;
// `also`, when given, further limits the candidates each target takes.
ChanceMatches first_chance_matches(const DerivationRun& run, std::span<const DerivationTarget> targets,
                                   core::RoundingRule rule, bool tainted_only, bool direct = true,
                                   const DerivedAccept& also = {});

// The same, trying every candidate in order for every target.
ChanceMatches first_chance_matches_in_order(const DerivationRun& run, std::span<const DerivationTarget> targets,
                                            core::RoundingRule rule, bool tainted_only, bool direct = true,
                                            const DerivedAccept& also = {});

}  // namespace qv::verifiers
