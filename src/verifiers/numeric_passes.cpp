// The derivation passes and the recomputation pass of the numeric verifier:
// figures the answer computed from other figures it states, and figures that
// match none of those computations.
#include <algorithm>
#include <map>
#include <set>
#include <span>
#include <tuple>
#include <string>
#include <utility>

#include "numeric/derived.hpp"
#include "verifiers/numeric_derive.hpp"
#include "verifiers/numeric_derive_chances.hpp"
#include "verifiers/numeric_finding.hpp"
#include "verifiers/numeric_operands.hpp"

namespace qv::verifiers::numeric_detail {

using numeric::DerivationOperand;
using numeric::Fraction;
using records::EvidenceResult;

namespace {

constexpr std::size_t kMaxPasses = 3;

// One unit of the last written digit of the first reading, in the figure's
// canonical terms.
std::optional<Fraction> precision_step(const numeric::Quantity& q) {
  const auto vm = numeric::quantity_value_and_multiplier(q);
  if (!vm || q.readings.empty()) return std::nullopt;
  const auto unit = numeric::pow10_fraction(-static_cast<std::int32_t>(q.readings.front().scale()));
  if (!unit) return std::nullopt;
  return numeric::fraction_mul(*unit, vm->multiplier);
}

// The claims each derived figure rests on, as the pass found them: a claim
// is never derived from a figure that rests on itself (a total derived from
// an unconfirmed figure does not confirm that figure).
class Dependencies {
 public:
  explicit Dependencies(const std::vector<NumericFinding>& findings) {
    for (const NumericFinding& f : findings) {
      if (f.rests_on.empty()) continue;
      rests_on_.emplace(f.claim_id, f.rests_on);
      resting_.insert(f.rests_on.begin(), f.rests_on.end());
    }
  }

  // Whether the operand labelled `label` rests on `claim`.
  bool rests_on(std::string_view label, std::string_view claim) const {
    const auto it = rests_on_.find(label);
    return it != rests_on_.end() && std::binary_search(it->second.begin(), it->second.end(), claim);
  }

  // What a figure derived from operands so labelled rests on.
  std::vector<std::string> of(const std::vector<std::string>& labels) const {
    std::vector<std::string> out = labels;
    for (const std::string& label : labels) {
      if (const auto it = rests_on_.find(label); it != rests_on_.end()) {
        out.insert(out.end(), it->second.begin(), it->second.end());
      }
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
  }

  // Takes the candidates of `operands` for the targets none of whose
  // operands rests on the target's claim; none when no figure rests on any
  // of the targets' claims.
  DerivedAccept acceptor(std::span<const DerivationOperand> operands, std::span<const DerivationTarget> targets) const {
    const bool some = std::any_of(targets.begin(), targets.end(),
                                  [&](const DerivationTarget& t) { return resting_.contains(t.claim_id); });
    if (!some) return {};
    return [this, operands, targets](const numeric::DerivedFigures& figures, const numeric::DerivedFigure& f,
                                     std::size_t t) {
      for (const std::uint32_t i : figures.operand_positions(f)) {
        if (rests_on(operands[i].label, targets[t].claim_id)) return false;
      }
      return true;
    };
  }

 private:
  std::map<std::string, std::vector<std::string>, std::less<>> rests_on_;
  std::set<std::string, std::less<>> resting_;  // every claim some figure rests on
};

// The operands of one pass by exact value and by first reading, each key
// holding the positions in order, so that the first operand restating a
// claim is found without trying them all.
class Restatements {
 public:
  explicit Restatements(const std::vector<DerivationOperand>& operands) : operands_(operands) {
    for (std::size_t i = 0; i < operands.size(); ++i) {
      const DerivationOperand& op = operands[i];
      by_value_[value_key(op.dimension, op.value)].push_back(i);
      by_reading_[{op.reading.numerator, op.reading.denominator}].push_back(i);
    }
  }

  // The first operand, other than the claim itself and those resting on it,
  // with the same unit and exact value, or, for a dimensionless claim, the
  // same first reading.
  const DerivationOperand* first(const NumericFinding& f, const Dependencies& dependencies) const {
    std::size_t best = operands_.size();
    const auto scan = [&](const auto& map, const auto& key) {
      const auto it = map.find(key);
      if (it == map.end()) return;
      for (std::size_t i : it->second) {
        if (i >= best) return;
        if (operands_[i].label == f.claim_id || dependencies.rests_on(operands_[i].label, f.claim_id)) continue;
        best = i;
        return;
      }
    };
    const numeric::Dimension& d = f.figure.unit.dimension;
    scan(by_value_, value_key(d, *f.exact));
    if (d.kind == numeric::DimensionKind::Dimensionless && !f.figure.readings.empty()) {
      if (const auto reading = numeric::decimal_to_fraction(f.figure.readings.front())) {
        scan(by_reading_, ReadingKey{reading->numerator, reading->denominator});
      }
    }
    return best < operands_.size() ? &operands_[best] : nullptr;
  }

 private:
  // A currency's code takes part in the unit; other kinds carry an empty one.
  using ValueKey = std::tuple<std::uint8_t, std::string, numeric::i128, numeric::i128>;
  using ReadingKey = std::pair<numeric::i128, numeric::i128>;
  static ValueKey value_key(const numeric::Dimension& d, const Fraction& v) {
    const bool currency = d.kind == numeric::DimensionKind::Currency;
    return {static_cast<std::uint8_t>(d.kind), currency ? d.code : std::string(), v.numerator, v.denominator};
  }

  const std::vector<DerivationOperand>& operands_;
  std::map<ValueKey, std::vector<std::size_t>> by_value_;
  std::map<ReadingKey, std::vector<std::size_t>> by_reading_;
};

std::string join(const std::vector<std::string>& items, std::string_view sep) {
  std::string out;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i) out += sep;
    out += items[i];
  }
  return out;
}

DerivationTarget target_of(const NumericFinding& f) {
  DerivationTarget t;
  t.claim_id = f.claim_id;
  t.value = *f.exact;
  t.step = precision_step(f.figure);
  t.dimension = f.figure.unit.dimension;
  t.significant_digits = f.figure.significant_digits;
  t.scale_power = f.figure.scale_power;
  t.unit = numeric::unit_ratio(f.figure.unit.factor, f.figure.unit.divisor);
  return t;
}

// A finding settled again by a derivation drops the notes an earlier one
// gave it.
void begin_derived(NumericFinding& f) {
  if (f.reproduced) {
    f.notes.resize(f.notes_before_derivation);
  } else {
    f.notes_before_derivation = f.notes.size();
    f.reproduced = true;
  }
}

void add_note(NumericFinding& f, std::string note) {
  if (std::find(f.notes.begin(), f.notes.end(), note) == f.notes.end()) f.notes.push_back(std::move(note));
}

// "derived", "derived_from:...", and the rounding notes; the rationale's
// start: claim, expression, value and rounding.
std::string derived_notes_and_start(NumericFinding& f, const DerivedMatch& m, core::RoundingRule rule) {
  const std::string rule_name(core::to_word(rule));
  const std::string suffix = m.kind == DerivedMatchKind::Exact ? std::string() : ", rounded " + rule_name;
  f.notes.emplace_back("derived");
  f.notes.push_back("derived_from:" + join(m.operands, ","));
  if (m.kind != DerivedMatchKind::Exact) f.notes.push_back("rounding:" + rule_name);
  if (m.kind == DerivedMatchKind::Slip) f.notes.emplace_back("last_digit_slip");
  return fill("{} = {} = {}{}", {f.claim_text, m.expression, numeric::fraction_text(m.value), suffix});
}

void settle_derived(NumericFinding& f, const DerivedMatch& m, core::RoundingRule rule,
                    const Dependencies& dependencies) {
  begin_derived(f);
  f.rests_on = dependencies.of(m.operands);
  f.settle(EvidenceResult::Supported, derived_notes_and_start(f, m, rule));
}

// A chance's own words and note, as for a source figure: confirmed at three
// significant digits or more on one side, at two or more under a scale.
bool chance_confirms(DerivedChance chance, std::uint32_t digits) {
  switch (chance) {
    case DerivedChance::Direct:
      return true;
    case DerivedChance::OneSided:
      return digits >= 3;
    case DerivedChance::UnderScale:
      return digits >= 2;
  }
  return false;
}

std::string chance_words(NumericFinding& f, DerivedChance chance) {
  const bool confirmed = chance_confirms(chance, f.figure.significant_digits);
  switch (chance) {
    case DerivedChance::Direct:
      return {};
    case DerivedChance::OneSided:
      add_note(f, confirmed ? "unit_or_scale_on_one_side" : "unit_or_scale_on_one_side_unconfirmed");
      return confirmed ? "; the unit or scale is stated on one side only"
                       : ", only if the unit or scale stated on one side applies to the other";
    case DerivedChance::UnderScale:
      if (!confirmed) return ", under the scale its table declares, but one significant digit does not confirm it";
      add_note(f, "scale_from_header");
      return ", under the scale its table declares";
  }
  return {};
}

// The best match a search found for a claim, and the run it came from.
struct Found {
  ChanceMatch match;
  const DerivationRun* run = nullptr;
  std::size_t rank = 0;  // of the run, in the order of the searches
  bool confirms = false;

  // Confirming matches first, then by chance, by run, by candidate order.
  bool before(const Found& other) const {
    if (confirms != other.confirms) return confirms;
    if (match.chance != other.match.chance) return match.chance < other.match.chance;
    if (rank != other.rank) return rank < other.rank;
    return match.match.position < other.match.match.position;
  }
};

void settle_found(NumericFinding& f, const Found& found, core::RoundingRule rule, const Dependencies& dependencies) {
  begin_derived(f);
  const ChanceMatch& m = found.match;
  f.rests_on = dependencies.of(m.match.operands);
  std::string rationale = derived_notes_and_start(f, m.match, rule);
  rationale += chance_words(f, m.chance);
  if (found.confirms) {
    f.settle(EvidenceResult::Supported, std::move(rationale));
    return;
  }
  // What keeps it from support: operands the sources do not confirm as
  // stated, and a currency on some operands only.
  std::vector<std::string> unconfirmed;
  for (const std::uint32_t i : m.match.positions) {
    const std::string& text = found.run->operands[i].text;
    if ((found.run->taints[i] & ~kCurrencyOnOneSide) != 0 &&
        std::find(unconfirmed.begin(), unconfirmed.end(), text) == unconfirmed.end()) {
      unconfirmed.push_back(text);
    }
  }
  if (!unconfirmed.empty()) rationale += "; the sources do not confirm " + join(unconfirmed, ", ") + " as stated";
  if (m.taint & kCurrencyOnOneSide) rationale += "; a currency is stated for some of its operands only";
  if (m.taint & kSignDiffers) add_note(f, "sign_differs");
  if (m.taint & kOneSidedUnconfirmed) add_note(f, "unit_or_scale_on_one_side_unconfirmed");
  if (m.taint & kCurrencyOnOneSide) add_note(f, "dimension_mismatch");
  f.derived_taint = m.taint;
  f.settle(EvidenceResult::Unsupported, std::move(rationale));
}

// A claim the sources contradict, or leave unsupported without meeting a
// figure of it, that no derivation has reproduced yet.
bool refutable(const NumericFinding& f) {
  return f.result == EvidenceResult::Contradicted ||
         (f.result == EvidenceResult::Unsupported && !f.matched_in_source() && !f.reproduced);
}

// The claims left open after the plain search, tried through every other
// run and chance; true when one changed.
bool try_further(std::vector<NumericFinding*>& open, const std::vector<DerivationTarget>& targets,
                 const PassOperands& p, core::RoundingRule rule, const Dependencies& dependencies) {
  std::vector<std::optional<Found>> best(open.size());
  const auto consider = [&](const DerivationRun& run, std::size_t rank, const std::vector<std::size_t>& which,
                            const std::vector<DerivationTarget>& subset, bool direct, bool tainted_only) {
    const ChanceMatches found = first_chance_matches(run, subset, rule, tainted_only, direct,
                                                     dependencies.acceptor(run.operands, subset));
    for (std::size_t k = 0; k < which.size(); ++k) {
      const std::size_t i = which[k];
      for (const auto& m : found[k]) {
        if (!m) continue;
        Found candidate{*m, &run, rank, m->taint == 0 && chance_confirms(m->chance, targets[i].significant_digits)};
        if (!candidate.confirms && !refutable(*open[i])) continue;
        if (!best[i] || candidate.before(*best[i])) best[i] = std::move(candidate);
      }
    }
  };
  std::vector<std::size_t> all(open.size()), refuted;
  for (std::size_t i = 0; i < open.size(); ++i) {
    all[i] = i;
    if (refutable(*open[i])) refuted.push_back(i);
  }
  const auto subset_of = [&](const std::vector<std::size_t>& which) {
    std::vector<DerivationTarget> out;
    for (const std::size_t i : which) out.push_back(targets[i]);
    return out;
  };
  // The supported figures' plain matches are found already.
  consider(p.supported, 0, all, targets, false, false);
  if (p.as_sourced) consider(*p.as_sourced, 1, all, targets, true, false);
  // Outliving the settling below, which reads the operands' texts.
  std::vector<DerivationRun> given;
  if (!refuted.empty()) {
    const std::vector<DerivationTarget> those = subset_of(refuted);
    const DerivationRun& stated = p.stated ? *p.stated : p.supported;
    if (p.stated) consider(stated, 2, refuted, those, true, true);
    given = with_currency_given(stated);
    if (p.as_sourced) {
      for (DerivationRun& run : with_currency_given(*p.as_sourced)) given.push_back(std::move(run));
    }
    for (std::size_t k = 0; k < given.size(); ++k) consider(given[k], 3 + k, refuted, those, true, false);
  }
  bool changed = false;
  for (std::size_t i = 0; i < open.size(); ++i) {
    if (!best[i]) continue;
    settle_found(*open[i], *best[i], rule, dependencies);
    changed = true;
  }
  return changed;
}

// One pass; true when some finding became supported, or a derivation
// reproduced one for the first time. Every finding is tried against the
// same operands and candidates, so the order in which the tries are settled
// does not matter.
bool derivation_pass(std::vector<NumericFinding>& findings, std::vector<DerivationOperand> operands,
                     core::RoundingRule rule) {
  bool changed = false;
  const Dependencies dependencies(findings);
  const Restatements restatements(operands);
  // Each claim restating an operand, with that operand's label and text.
  std::vector<std::tuple<NumericFinding*, std::string, std::string>> restated;
  std::vector<NumericFinding*> open;
  std::vector<DerivationTarget> targets;
  for (NumericFinding& f : findings) {
    if (f.supported() || f.year_like || !f.exact) continue;
    if (const DerivationOperand* op = restatements.first(f, dependencies)) {
      restated.emplace_back(&f, op->label, op->text);
      continue;
    }
    open.push_back(&f);
    targets.push_back(target_of(f));
  }
  const auto matches =
      first_derived_matches(operands, targets, rule, nullptr, dependencies.acceptor(operands, targets));
  std::vector<NumericFinding*> rest;
  std::vector<DerivationTarget> rest_targets;
  for (std::size_t i = 0; i < open.size(); ++i) {
    if (matches[i]) continue;
    rest.push_back(open[i]);
    rest_targets.push_back(targets[i]);
  }
  // The further runs, for the claims the plain search left open, start
  // from the findings as the pass found them.
  std::optional<PassOperands> further;
  if (!rest.empty()) further = pass_operands(findings, std::move(operands));
  for (const auto& [f, label, text] : restated) {
    begin_derived(*f);
    f->rests_on = dependencies.of({label});
    f->notes.emplace_back("restates_answer_figure");
    f->settle(EvidenceResult::Supported,
              fill("{} restates {} ({}), which the sources support", {f->claim_text, text, label}));
    changed = true;
  }
  for (std::size_t i = 0; i < open.size(); ++i) {
    if (!matches[i]) continue;
    settle_derived(*open[i], *matches[i], rule, dependencies);
    changed = true;
  }
  if (further && try_further(rest, rest_targets, *further, rule, dependencies)) changed = true;
  return changed;
}

}  // namespace

void run_derivation_passes(std::vector<NumericFinding>& findings, core::RoundingRule rule) {
  for (std::size_t pass = 0; pass < kMaxPasses; ++pass) {
    const bool any_open = std::any_of(findings.begin(), findings.end(), [](const NumericFinding& f) {
      return !f.supported() && !f.year_like && f.exact;
    });
    if (!any_open) return;
    std::vector<DerivationOperand> operands = supported_operands(findings);
    if (operands.empty() && !has_unsupported_operands(findings)) return;
    if (!derivation_pass(findings, std::move(operands), rule)) return;
  }
}

void run_recomputation_pass(std::vector<NumericFinding>& findings) {
  std::vector<NumericFinding*> open;
  std::vector<DerivationTarget> targets;
  for (NumericFinding& f : findings) {
    if (f.result != EvidenceResult::Unsupported || f.year_like || f.matched_in_source() || f.reproduced) continue;
    open.push_back(&f);
    DerivationTarget t;
    t.claim_id = f.claim_id;
    t.dimension = f.figure.unit.dimension;
    targets.push_back(std::move(t));
  }
  if (open.empty()) return;
  const std::vector<DerivationOperand> operands = supported_operands(findings);
  const auto named = operands_named_by_unit(operands, targets);
  for (std::size_t i = 0; i < open.size(); ++i) {
    if (named[i].empty()) continue;
    std::vector<std::string> texts;
    for (std::size_t k = 0; k < operands.size(); ++k) {
      if (named[i][k]) texts.push_back(operands[k].text);
    }
    NumericFinding& f = *open[i];
    f.notes.emplace_back("recomputation_mismatch");
    f.settle(EvidenceResult::Contradicted,
             fill("{} is in no source and matches no sum, difference, ratio or change of {}", {f.claim_text,
                         join(texts, ", ")}));
  }
}

}  // namespace qv::verifiers::numeric_detail
