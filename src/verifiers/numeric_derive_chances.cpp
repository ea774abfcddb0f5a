#include "verifiers/numeric_derive_chances.hpp"

#include <algorithm>
#include <string>

#include "verifiers/numeric_derive_shared.hpp"

namespace qv::verifiers {

using numeric::DerivedFigure;
using numeric::DerivedFigures;
using numeric::DerivedOp;
using numeric::Fraction;

namespace {

bool is_dimensionless(const numeric::Dimension& d) { return d.kind == numeric::DimensionKind::Dimensionless; }

// Calls `visit` with each operand position of a candidate.
template <class Visit>
void each_operand(const DerivedFigures& figures, const DerivedFigure& f, Visit visit) {
  if (f.op != DerivedOp::GroupSum && f.op != DerivedOp::GroupMean) {
    visit(f.a);
    visit(f.b);
    return;
  }
  for (const std::uint32_t i : figures.operand_positions(f)) visit(i);
}

// The target a candidate meets through a chance when it meets this one
// with its value as it is: the target's value and step divided by the
// chance's factor, in the dimension of the way of writing, met exactly or
// rounded only. Rounding is the same either way, the factor being
// positive.
std::optional<DerivationTarget> chance_target(DerivedChance chance, const WrittenAs& w, const DerivationTarget& t) {
  const std::optional<Fraction> k = chance_factor(chance, w, t);
  if (!k) return std::nullopt;
  const std::optional<Fraction> value = numeric::fraction_div(t.value, *k);
  if (!value) return std::nullopt;
  DerivationTarget v = t;
  v.value = *value;
  v.step = t.step ? numeric::fraction_div(*t.step, *k) : std::nullopt;
  v.dimension = w.dimension;
  v.by_chance = chance != DerivedChance::Direct;
  return v;
}

// Bounds every sum, mean and difference of the operands written one way
// can take: of pairs, and of subsets of a group. None where the arithmetic
// would overflow.
struct Reach {
  Fraction lo, hi;
};

// The lesser of the two (with `least`) or the greater; none when either is
// none or they cannot be compared.
std::optional<Fraction> extreme(const std::optional<Fraction>& a, const std::optional<Fraction>& b, bool least) {
  if (!a || !b) return std::nullopt;
  const auto order = numeric::fraction_compare(*a, *b);
  if (!order) return std::nullopt;
  return (*order < 0) == least ? *a : *b;
}

std::optional<Reach> reach_of(const DerivationRun& run, const WrittenAs& way) {
  std::optional<Fraction> lo, hi, negative = Fraction{0, 1}, positive = Fraction{0, 1};
  for (std::size_t i = 0; i < run.operands.size(); ++i) {
    if (!(run.written[i] == way)) continue;
    const Fraction& v = run.operands[i].value;
    lo = lo ? extreme(lo, v, true) : v;
    hi = hi ? extreme(hi, v, false) : v;
    std::optional<Fraction>& side = v.numerator < 0 ? negative : positive;
    side = side ? numeric::fraction_add(*side, v) : std::nullopt;
    if (!lo || !hi || !negative || !positive) return std::nullopt;
  }
  if (!lo || !hi) return std::nullopt;
  // Sums of two, differences, and sums of subsets; means lie between the
  // least and the greatest value, absolute differences between 0 and the
  // greatest difference.
  const auto twice_lo = numeric::fraction_add(*lo, *lo), twice_hi = numeric::fraction_add(*hi, *hi);
  const auto spread = numeric::fraction_sub(*hi, *lo);
  const auto below = spread ? numeric::fraction_sub(Fraction{0, 1}, *spread) : std::nullopt;
  const auto least = extreme(extreme(twice_lo, below, true), negative, true);
  const auto greatest = extreme(extreme(twice_hi, spread, false), positive, false);
  if (!least || !greatest) return std::nullopt;
  return Reach{*least, *greatest};
}

// Whether a target carried to a way of writing may be met by some sum,
// mean or difference of its operands: its value, give or take a step,
// within their reach (or their reach unknown).
bool may_reach(const std::optional<Reach>& reach, const DerivationTarget& t) {
  if (!reach) return true;
  const Fraction margin = t.step ? *t.step : Fraction{0, 1};
  const auto lo = numeric::fraction_sub(t.value, margin), hi = numeric::fraction_add(t.value, margin);
  if (!lo || !hi) return true;
  const auto above = numeric::fraction_compare(*lo, reach->hi), below = numeric::fraction_compare(*hi, reach->lo);
  return !above || !below || (*above <= 0 && *below >= 0);
}

}  // namespace

std::optional<WrittenAs> written_as(const DerivationRun& run, const DerivedFigures& figures, const DerivedFigure& f) {
  if (!numeric::is_sum_or_difference(f.op)) return std::nullopt;
  const WrittenAs* first = nullptr;
  bool alike = true;
  each_operand(figures, f, [&](std::uint32_t i) {
    if (!first) {
      first = &run.written[i];
    } else if (!(run.written[i] == *first)) {
      alike = false;
    }
  });
  if (!first || !alike) return std::nullopt;
  return *first;
}

namespace {

// What the operands of a figure bring to it: their taints, and whether
// some are given a currency and some state it.
struct Mix {
  std::uint8_t taint = 0;
  bool given = false;
  bool stated = false;

  void add(const DerivationRun& run, std::uint32_t i) {
    taint |= run.taints[i];
    (run.relabelled[i] ? given : stated) = true;
    if (given) taint |= kCurrencyOnOneSide;
  }
};

Mix mix_of(const DerivationRun& run, std::span<const std::uint32_t> positions) {
  Mix m;
  for (const std::uint32_t i : positions) m.add(run, i);
  return m;
}

Mix mix_of(const DerivationRun& run, const DerivedFigures& figures, const DerivedFigure& f) {
  Mix m;
  each_operand(figures, f, [&](std::uint32_t i) { m.add(run, i); });
  return m;
}

}  // namespace

std::uint8_t taint_of(const DerivationRun& run, const DerivedFigures& figures, const DerivedFigure& f) {
  return mix_of(run, figures, f).taint;
}

bool admitted(const DerivationRun& run, const DerivedFigures& figures, const DerivedFigure& f, bool tainted_only) {
  const Mix m = mix_of(run, figures, f);
  if (m.given && !m.stated) return false;
  if (run.relabelling && !m.given) return false;
  return !tainted_only || m.taint != 0;
}

std::optional<Fraction> chance_factor(DerivedChance chance, const WrittenAs& w, const DerivationTarget& t) {
  switch (chance) {
    case DerivedChance::Direct:
      return Fraction{1, 1};
    case DerivedChance::OneSided: {
      // A scale the source states for the figure is the one its digits are
      // in: a target stating another one is not the figure.
      if (w.source_power != 0 && t.scale_power != 0 && t.scale_power != w.source_power) return std::nullopt;
      const bool one_zero = (t.scale_power == 0) != (w.scale_power == 0);
      const bool unit_case = w.dimension == t.dimension && one_zero;
      const bool dimension_case = is_dimensionless(w.dimension) != is_dimensionless(t.dimension) &&
                                  (t.scale_power == w.scale_power || t.scale_power == 0 || w.scale_power == 0);
      if (!unit_case && !dimension_case) return std::nullopt;
      const auto scale = numeric::pow10_fraction(static_cast<std::int32_t>(t.scale_power) -
                                                 static_cast<std::int32_t>(w.scale_power));
      const auto units = t.unit ? numeric::fraction_div(*t.unit, w.unit) : std::nullopt;
      return scale && units ? numeric::fraction_mul(*scale, *units) : std::nullopt;
    }
    case DerivedChance::UnderScale:
      if (w.scale_power == 0 && w.source_power != 0 &&
          (w.dimension == t.dimension || is_dimensionless(w.dimension))) {
        return numeric::pow10_fraction(static_cast<std::int32_t>(w.source_power));
      }
      if (w.context && w.scale_power != 0 && is_dimensionless(w.dimension) && !is_dimensionless(t.dimension)) {
        return Fraction{1, 1};
      }
      return std::nullopt;
  }
  return std::nullopt;
}

ChanceMatches first_chance_matches(const DerivationRun& run, std::span<const DerivationTarget> targets,
                                   core::RoundingRule rule, bool tainted_only, bool direct,
                                   const DerivedAccept& also) {
  ChanceMatches out(targets.size());
  if (targets.empty() || run.operands.size() < 2) return out;
  // The ways of writing that two operands or more share: only their sums,
  // means and differences keep a way of writing.
  std::vector<WrittenAs> ways;
  for (std::size_t i = 0; i < run.written.size(); ++i) {
    const WrittenAs& w = run.written[i];
    if (std::find(ways.begin(), ways.end(), w) != ways.end()) continue;
    if (std::count(run.written.begin() + static_cast<std::ptrdiff_t>(i), run.written.end(), w) >= 2) ways.push_back(w);
  }
  // One search: each target as it is, for the direct matches, and as each
  // chance carries it to figures written each way.
  struct Carried {
    std::size_t target;
    DerivedChance chance;
    std::size_t way;  // for a chance
  };
  std::vector<DerivationTarget> carried;
  std::vector<Carried> owner;
  // Worked out for a way when some target is carried to it.
  std::vector<std::optional<std::optional<Reach>>> reach(ways.size());
  const auto reach_of_way = [&](std::size_t k) -> const std::optional<Reach>& {
    if (!reach[k]) reach[k] = reach_of(run, ways[k]);
    return *reach[k];
  };
  for (std::size_t t = 0; t < targets.size(); ++t) {
    if (direct) {
      carried.push_back(targets[t]);
      owner.push_back({t, DerivedChance::Direct, 0});
    }
    for (std::size_t k = 0; k < ways.size(); ++k) {
      for (const DerivedChance chance : {DerivedChance::OneSided, DerivedChance::UnderScale}) {
        // A target beyond the reach of the way's sums and differences is
        // not looked for: none of them can meet it.
        if (auto v = chance_target(chance, ways[k], targets[t]); v && may_reach(reach_of_way(k), *v)) {
          carried.push_back(std::move(*v));
          owner.push_back({t, chance, k});
        }
      }
    }
  }
  if (carried.empty()) return out;
  const DerivedAccept accept = [&](const DerivedFigures& figures, const DerivedFigure& f, std::size_t v) {
    if (!admitted(run, figures, f, tainted_only) || (also && !also(figures, f, owner[v].target))) return false;
    if (owner[v].chance == DerivedChance::Direct) return true;
    const std::optional<WrittenAs> written = written_as(run, figures, f);
    return written && *written == ways[owner[v].way];
  };
  const auto found = first_derived_matches(run.operands, carried, rule, nullptr, accept);
  for (std::size_t v = 0; v < carried.size(); ++v) {
    if (!found[v]) continue;
    std::optional<ChanceMatch>& slot = out[owner[v].target][static_cast<std::size_t>(owner[v].chance)];
    if (slot && slot->match.position <= found[v]->position) continue;
    slot = ChanceMatch{*found[v], owner[v].chance, mix_of(run, found[v]->positions).taint};
  }
  return out;
}

ChanceMatches first_chance_matches_in_order(const DerivationRun& run, std::span<const DerivationTarget> targets,
                                            core::RoundingRule rule, bool tainted_only, bool direct,
                                            const DerivedAccept& also) {
  ChanceMatches out(targets.size());
  DerivedFigures figures(run.operands);
  std::vector<DerivedFigure> all;
  while (const auto f = figures.next()) all.push_back(*f);
  for (std::size_t t = 0; t < targets.size(); ++t) {
    for (const DerivedChance chance : {DerivedChance::Direct, DerivedChance::OneSided, DerivedChance::UnderScale}) {
      if (chance == DerivedChance::Direct && !direct) continue;
      for (const DerivedFigure& f : all) {
        if (derive_detail::built_on(figures, f, targets[t].claim_id) || !admitted(run, figures, f, tainted_only)) continue;
        if (also && !also(figures, f, t)) continue;
        std::optional<DerivationTarget> carried;
        if (chance == DerivedChance::Direct) {
          carried = targets[t];
        } else if (const auto w = written_as(run, figures, f)) {
          carried = chance_target(chance, *w, targets[t]);
        }
        if (!carried || !derived_dimension_applies(figures.dimension(f), carried->dimension)) continue;
        const auto kind = derived_value_match(f.value, *carried, rule);
        if (!kind) continue;
        out[t][static_cast<std::size_t>(chance)] =
            ChanceMatch{derive_detail::match_of(figures, f, *kind), chance, taint_of(run, figures, f)};
        break;
      }
    }
  }
  return out;
}

}  // namespace qv::verifiers
