#include "verifiers/numeric_operands.hpp"

#include <algorithm>
#include <utility>

#include "verifiers/numeric_sources.hpp"

namespace qv::verifiers::numeric_detail {

using numeric::DerivationOperand;
using numeric::Fraction;
using numeric::Quantity;

namespace {

// How a figure is written; `source_power` as given.
std::optional<WrittenAs> writing_of(const Quantity& q, std::uint32_t source_power) {
  const std::optional<Fraction> unit = numeric::unit_ratio(q.unit.factor, q.unit.divisor);
  if (!unit) return std::nullopt;
  return WrittenAs{q.unit.dimension, q.scale_power, *unit, source_power, scaled_by_context(q)};
}

// How a claim's figure is written, with the scale the source of the figure
// it met states, where the claim copies that figure's digits and states no
// scale of its own.
std::optional<WrittenAs> stated_writing(const NumericFinding& f) {
  const Quantity& q = f.figure;
  std::uint32_t source_power = 0;
  if (q.scale_power == 0 && f.met_figure && !q.readings.empty() && !f.met_figure->quantity.readings.empty()) {
    const numeric::Decimal reading = f.met_turned ? -q.readings.front() : q.readings.front();
    if (reading == f.met_figure->quantity.readings.front()) source_power = table_scale_power(*f.met_figure);
  }
  return writing_of(q, source_power);
}

std::optional<Fraction> negated(const Fraction& v) { return numeric::fraction_sub(Fraction{0, 1}, v); }

struct Sourced {
  DerivationOperand operand;
  WrittenAs written;
  bool as_stated = true;  // the same operand as the stated one
};

// The operand as the source states the figure the claim met: the figure
// itself where the claim met its digits as written; the claim with its sign
// turned where it met the figure so; the claim as stated otherwise. Written
// with the figure's text where it differs from the claim.
std::optional<Sourced> sourced_operand(const NumericFinding& f, const DerivationOperand& stated,
                                       const WrittenAs& stated_written) {
  if (f.met == NumericFinding::Met::AsWritten && f.met_figure) {
    const SourceFigure& s = *f.met_figure;
    auto op = numeric::make_derivation_operand(f.claim_id, figure_text(s), s.quantity);
    const auto written = figure_writing(s);
    if (!op || !written) return std::nullopt;
    const bool same = op->value == stated.value && op->dimension == stated.dimension && *written == stated_written;
    if (same) op->text = stated.text;
    return Sourced{std::move(*op), *written, same};
  }
  if (f.met_turned && f.met_figure) {
    DerivationOperand op = stated;
    const auto value = negated(stated.value), reading = negated(stated.reading);
    if (!value || !reading) return std::nullopt;
    op.value = *value;
    op.reading = *reading;
    op.text = figure_text(*f.met_figure);
    return Sourced{std::move(op), stated_written, false};
  }
  return Sourced{stated, stated_written, true};
}

}  // namespace

std::optional<WrittenAs> figure_writing(const SourceFigure& s) {
  return writing_of(s.quantity, s.quantity.scale_power == 0 ? table_scale_power(s) : 0);
}

namespace {

// The claim's figure as stated, its exact value worked out once.
std::optional<DerivationOperand> stated_operand(const NumericFinding& f) {
  return numeric::make_derivation_operand(f.claim_id, f.claim_text, f.figure, f.exact);
}

bool unsupported_operand(const NumericFinding& f) {
  return !f.supported() && !f.year_like && (f.reproduced || f.met != NumericFinding::Met::No);
}

}  // namespace

std::vector<DerivationOperand> supported_operands(const std::vector<NumericFinding>& findings) {
  std::vector<DerivationOperand> operands;
  for (const NumericFinding& f : findings) {
    if (!f.supported() || f.year_like) continue;
    if (auto op = stated_operand(f)) operands.push_back(std::move(*op));
  }
  return operands;
}

bool has_unsupported_operands(const std::vector<NumericFinding>& findings) {
  return std::any_of(findings.begin(), findings.end(), unsupported_operand);
}

PassOperands pass_operands(const std::vector<NumericFinding>& findings, std::vector<DerivationOperand> supported) {
  // Only where some claim is an operand without support, or met its figure
  // other than by its value as stated, do the other runs differ from the
  // supported figures'.
  const bool tainted = has_unsupported_operands(findings);
  const bool differs = tainted || std::any_of(findings.begin(), findings.end(), [](const NumericFinding& f) {
    return f.supported() && !f.year_like && (f.met == NumericFinding::Met::AsWritten || f.met_turned);
  });
  PassOperands p;
  p.supported.operands = std::move(supported);
  DerivationRun stated, sourced;
  std::size_t next_supported = 0;
  for (const NumericFinding& f : findings) {
    if (f.year_like || (!f.supported() && !unsupported_operand(f))) continue;
    auto op = stated_operand(f);
    if (!op) continue;
    // Written as its unit and scale say; a unit whose ratio cannot be
    // formed (which leaves no exact value either) gives no chance.
    const WrittenAs written =
        stated_writing(f).value_or(WrittenAs{f.figure.unit.dimension, f.figure.scale_power, Fraction{0, 1}, 0, false});
    std::uint8_t taint = 0;
    if (!f.supported()) taint = static_cast<std::uint8_t>((f.reproduced ? f.derived_taint : f.met_taint) | kUnconfirmed);
    if (f.supported() && next_supported < p.supported.operands.size()) {
      // The supported operands in the same order, given their writing.
      p.supported.written.push_back(written);
      p.supported.taints.push_back(0);
      p.supported.relabelled.push_back(false);
      ++next_supported;
    }
    if (tainted) stated.add(*op, written, taint);
    if (!differs) continue;
    // A figure reproduced only by a derivation has no source figure.
    const bool derived_only = !f.supported() && f.reproduced;
    if (const auto from_source = derived_only ? std::nullopt : sourced_operand(f, *op, written)) {
      sourced.add(from_source->operand, from_source->written, 0);
    }
  }
  if (tainted) p.stated = std::move(stated);
  if (differs) p.as_sourced = std::move(sourced);
  return p;
}

std::vector<DerivationRun> with_currency_given(const DerivationRun& run) {
  const auto bare = [](const DerivationOperand& op) { return op.dimension.kind == numeric::DimensionKind::Dimensionless; };
  std::vector<numeric::Dimension> currencies;
  bool any_bare = false;
  for (const DerivationOperand& op : run.operands) {
    any_bare = any_bare || bare(op);
    if (op.dimension.kind == numeric::DimensionKind::Currency &&
        std::find(currencies.begin(), currencies.end(), op.dimension) == currencies.end()) {
      currencies.push_back(op.dimension);
    }
  }
  std::vector<DerivationRun> out;
  if (!any_bare) return out;
  for (const numeric::Dimension& currency : currencies) {
    DerivationRun given = run;
    for (std::size_t i = 0; i < given.operands.size(); ++i) {
      if (!bare(given.operands[i])) continue;
      given.operands[i].dimension = currency;
      given.written[i].dimension = currency;
      given.relabelled[i] = true;
      given.relabelling = true;
    }
    out.push_back(std::move(given));
  }
  return out;
}

}  // namespace qv::verifiers::numeric_detail
