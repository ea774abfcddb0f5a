#pragma once
// The operands of one derivation pass. Every claim that met a source figure
// is an operand twice: as the answer states it, and as the source states
// the figure it met (its sign, its scale). Stated, a claim the sources only
// leave unsupported carries what kept it from support; as the sources state
// them, operands confirm what is derived from them.
#include <optional>
#include <vector>

#include "numeric/derived.hpp"
#include "verifiers/numeric_derive_chances.hpp"
#include "verifiers/numeric_finding.hpp"

namespace qv::verifiers::numeric_detail {

struct PassOperands {
  // The supported figures, as stated, none a year (the operands of the
  // plain search, `supported_operands`).
  DerivationRun supported;
  // With them the claims that met a figure without its support, and those
  // a derivation reproduced without support, each with its taint; none
  // when there are no such claims.
  std::optional<DerivationRun> stated;
  // Every claim that met a figure, as its source states that figure, and
  // the supported derived figures; none when that is `supported` itself.
  std::optional<DerivationRun> as_sourced;
};

// `supported`: the supported figures' operands (`supported_operands`).
PassOperands pass_operands(const std::vector<NumericFinding>& findings,
                           std::vector<numeric::DerivationOperand> supported);

// The supported figures as stated, in claim order, none a year.
std::vector<numeric::DerivationOperand> supported_operands(const std::vector<NumericFinding>& findings);

// Whether some claim, not a year, is an operand without the support of the
// sources: it met a figure only unconfirmed, or a derivation reproduced it.
bool has_unsupported_operands(const std::vector<NumericFinding>& findings);

// How a source figure is written, as an operand that stands for it: its
// dimension, scale power and unit, and, for a figure without a scale of its
// own, the scale its source declares.
std::optional<WrittenAs> figure_writing(const SourceFigure& figure);

// The run with its dimensionless operands given a currency that others of
// its operands state, once for each such currency, in order of first
// appearance; none when the run lacks either.
std::vector<DerivationRun> with_currency_given(const DerivationRun& run);

}  // namespace qv::verifiers::numeric_detail
