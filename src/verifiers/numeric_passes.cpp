// The derivation passes and the recomputation pass of the numeric verifier:
// figures the answer computed from other figures it states, and figures that
// match none of those computations.
#include <algorithm>
#include <map>
#include <tuple>
#include <string>
#include <utility>

#include "numeric/derived.hpp"
#include "verifiers/numeric_derive.hpp"
#include "verifiers/numeric_finding.hpp"

namespace qv::verifiers::numeric_detail {

using numeric::DerivationOperand;
using numeric::Fraction;
using records::EvidenceResult;

namespace {

constexpr std::size_t kMaxPasses = 3;

// Every supported figure that is not a year, as an operand, in claim order.
std::vector<DerivationOperand> operands_of(const std::vector<NumericFinding>& findings) {
  std::vector<DerivationOperand> operands;
  for (const NumericFinding& f : findings) {
    if (!f.supported() || f.year_like) continue;
    if (auto op = numeric::make_derivation_operand(f.claim_id, f.claim_text, f.figure)) operands.push_back(std::move(*op));
  }
  return operands;
}

// One unit of the last written digit of the first reading, in the figure's
// canonical terms.
std::optional<Fraction> precision_step(const numeric::Quantity& q) {
  const auto vm = numeric::quantity_value_and_multiplier(q);
  if (!vm || q.readings.empty()) return std::nullopt;
  const auto unit = numeric::pow10_fraction(-static_cast<std::int32_t>(q.readings.front().scale()));
  if (!unit) return std::nullopt;
  return numeric::fraction_mul(*unit, vm->multiplier);
}

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

  // The first operand, other than the claim itself, with the same unit and
  // exact value, or, for a dimensionless claim, the same first reading.
  const DerivationOperand* first(const NumericFinding& f) const {
    std::size_t best = operands_.size();
    const auto scan = [&](const auto& map, const auto& key) {
      const auto it = map.find(key);
      if (it == map.end()) return;
      for (std::size_t i : it->second) {
        if (i >= best) return;
        if (operands_[i].label == f.claim_id) continue;
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
  return DerivationTarget{f.claim_id, *f.exact, precision_step(f.figure), f.figure.unit.dimension,
                          f.figure.significant_digits};
}

void settle_derived(NumericFinding& f, const DerivedMatch& m, core::RoundingRule rule) {
  const std::string rule_name(core::to_word(rule));
  const std::string suffix = m.kind == DerivedMatchKind::Exact ? std::string() : ", rounded " + rule_name;
  f.notes.emplace_back("derived");
  f.notes.push_back("derived_from:" + join(m.operands, ","));
  if (m.kind != DerivedMatchKind::Exact) f.notes.push_back("rounding:" + rule_name);
  if (m.kind == DerivedMatchKind::Slip) f.notes.emplace_back("last_digit_slip");
  f.settle(EvidenceResult::Supported,
           fill("{} = {} = {}{}", {f.claim_text, m.expression, numeric::fraction_text(m.value), suffix}));
}

// One pass; true when some finding became supported. Every finding is tried
// against the same operands and candidates, so the order in which the tries
// are settled does not matter.
bool derivation_pass(std::vector<NumericFinding>& findings, const std::vector<DerivationOperand>& operands,
                     core::RoundingRule rule) {
  bool changed = false;
  const Restatements restatements(operands);
  std::vector<NumericFinding*> open;
  std::vector<DerivationTarget> targets;
  for (NumericFinding& f : findings) {
    if (f.supported() || f.year_like || !f.exact) continue;
    if (const DerivationOperand* op = restatements.first(f)) {
      f.notes.emplace_back("restates_answer_figure");
      f.settle(EvidenceResult::Supported,
               fill("{} restates {} ({}), which the sources support", {f.claim_text, op->text, op->label}));
      changed = true;
      continue;
    }
    open.push_back(&f);
    targets.push_back(target_of(f));
  }
  const auto matches = first_derived_matches(operands, targets, rule);
  for (std::size_t i = 0; i < open.size(); ++i) {
    if (!matches[i]) continue;
    settle_derived(*open[i], *matches[i], rule);
    changed = true;
  }
  return changed;
}

}  // namespace

void run_derivation_passes(std::vector<NumericFinding>& findings, core::RoundingRule rule) {
  for (std::size_t pass = 0; pass < kMaxPasses; ++pass) {
    const bool any_open = std::any_of(findings.begin(), findings.end(), [](const NumericFinding& f) {
      return !f.supported() && !f.year_like && f.exact;
    });
    if (!any_open) return;
    const std::vector<DerivationOperand> operands = operands_of(findings);
    if (operands.empty() || !derivation_pass(findings, operands, rule)) return;
  }
}

void run_recomputation_pass(std::vector<NumericFinding>& findings) {
  std::vector<NumericFinding*> open;
  std::vector<DerivationTarget> targets;
  for (NumericFinding& f : findings) {
    if (f.result != EvidenceResult::Unsupported || f.year_like || f.matched_in_source) continue;
    open.push_back(&f);
    DerivationTarget t;
    t.claim_id = f.claim_id;
    t.dimension = f.figure.unit.dimension;
    targets.push_back(std::move(t));
  }
  if (open.empty()) return;
  const std::vector<DerivationOperand> operands = operands_of(findings);
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
