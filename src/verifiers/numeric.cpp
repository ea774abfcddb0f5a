#include "verifiers/numeric.hpp"

#include <algorithm>
#include <string>
#include <utility>

#include "numeric/compare.hpp"
#include "numeric/locale.hpp"
#include "verifiers/declared_scale.hpp"
#include "verifiers/findings.hpp"
#include "verifiers/year.hpp"
#include "verifiers/numeric_derive_chances.hpp"
#include "verifiers/numeric_finding.hpp"
#include "verifiers/numeric_sources.hpp"

namespace qv::verifiers {

using numeric::Quantity;
using records::EvidenceResult;
using numeric_detail::fill;
using numeric_detail::NumericFinding;

VerifierInfo numeric_verifier_info() {
  return exact_verifier_info(std::string(kNumericVerifierId), std::string(kNumericVerifierVersion),
                             records::VerifierKind::Exact, {records::ClaimKind::Numeric});
}

NumericVerifier::NumericVerifier(const records::NumericConfig& options)
    : info_(numeric_verifier_info()), options_(options) {}

namespace {

void point_receipt_at(NumericFinding& f, const SourceFigure& s) {
  f.source_id = std::string(s.source_id);
  f.source_span = records::Span{s.quantity.start, s.quantity.end};
  f.source_text = figure_text(s);
}

using Code = numeric::ComparisonCode;

void first_verdict(NumericFinding& f, const SourceFigureIndex& index) {
  const std::vector<SourceFigure>& sources = index.figures();
  const std::optional<BestFigure> best = index.best(f.figure);
  if (!best) {
    // No figure at all, so none of the claim's dimension either.
    f.other_dimension = true;
    f.settle(EvidenceResult::Unsupported, fill("{} : no numeral in any source", {f.claim_text}));
    return;
  }
  const SourceFigure& s = sources[best->index];
  point_receipt_at(f, s);
  const std::string canonical = numeric::render_rescaled_values(s.quantity);
  switch (best->comparison.code) {
    case Code::Equal:
      f.meet(NumericFinding::Met::ByValue, s);
      f.settle(EvidenceResult::Supported,
               fill("{} = {} in {} ({})", {f.claim_text, *f.source_text, s.source_id, canonical}));
      break;
    case Code::EqualAtPrecision:
      f.meet(NumericFinding::Met::ByValue, s);
      f.notes.emplace_back("matches_at_declared_precision");
      f.settle(EvidenceResult::Supported, fill("{} matches {} at {} significant digits", {f.claim_text,
                                                      canonical, std::to_string(best->comparison.significant_digits)}));
      break;
    case Code::EqualAsFraction:
      f.meet(NumericFinding::Met::ByValue, s);
      f.notes.emplace_back("percent_as_fraction");
      f.settle(EvidenceResult::Supported, fill("{} matches {} read as a fraction", {f.claim_text, canonical}));
      break;
    case Code::Different: {
      const std::string_view scale = declared_scale_name(s.declaration.power);
      // A table that makes exceptions to its scale leaves the figure's own
      // scale unknown: agreeing as written neither confirms nor refutes.
      if (best->agrees_only_as_written && s.declaration.with_exceptions) {
        f.meet(NumericFinding::Met::ByValue, s, kUnconfirmed);
        f.settle(EvidenceResult::Unsupported,
                 fill("{} matches {} in {} only as written; its table declares its scale, {}, with exceptions",
                      {f.claim_text, *f.source_text, s.source_id, scale}));
        break;
      }
      if (best->agrees_only_as_written) {
        f.settle(EvidenceResult::Contradicted, fill("{} not in sources; {} in {} is in {}, the scale its table declares",
                                                    {f.claim_text, *f.source_text, s.source_id, scale}));
        break;
      }
      const std::string distance = best->comparison.distance.round_dp(3).to_string();
      if (best->measured_under_scale) {
        const std::string scaled = numeric::render_rescaled_values(*figure_under_declared_scale(s));
        f.settle(EvidenceResult::Contradicted,
                 fill("{} not in sources; nearest {} in {}, {} in {} as its table declares (relative distance {})",
                      {f.claim_text, scaled, s.source_id, *f.source_text, scale, distance}));
        break;
      }
      f.settle(EvidenceResult::Contradicted, fill("{} not in sources; nearest {} in {} (relative distance {})",
                                                  {f.claim_text, canonical, s.source_id, distance}));
      break;
    }
    case Code::NotComparable:
      f.other_dimension = true;
      f.notes.emplace_back("dimension_mismatch");
      f.settle(EvidenceResult::Unsupported,
               fill("{} has no source value of the same dimension", {f.claim_text}));
      break;
  }
}

// A figure or lone digit that a chance found, and where it stands among
// them all.
struct Found {
  const SourceFigure* figure = nullptr;
  bool lone = false;
};

// The earlier of a figure and a lone digit, each found or not.
std::optional<Found> earlier(const SourceFigureIndex& index, std::optional<std::size_t> figure,
                             std::optional<std::size_t> lone) {
  if (lone && (!figure || index.lone().before(*lone, *figure))) {
    return Found{&index.lone().digits()[*lone].figure, true};
  }
  if (figure) return Found{&index.figures()[*figure], false};
  return std::nullopt;
}

// The figure whose digits as written a claim copies, its unit or scale
// stated on one side only, with too few digits to confirm it: two; one, of
// a claim stating no scale of its own, where only the source states the
// figure's scale; or a lone digit the claim copies, which confirms nothing.
std::optional<Found> unconfirmed_one_sided(const Quantity& claim, const SourceFigureIndex& index) {
  std::optional<std::size_t> figure;
  if (claim.significant_digits == 2) {
    figure = index.first_one_sided(claim);
  } else if (claim.significant_digits == 1 && claim.scale_power == 0) {
    figure = index.first_one_sided(claim, true);
  }
  return earlier(index, figure, index.lone().first_copied(claim));
}

void second_chances(NumericFinding& f, const SourceFigureIndex& index, const records::MatchOptions& options) {
  const std::vector<SourceFigure>& sources = index.figures();
  if (f.supported() || sources.empty()) return;
  const std::uint32_t digits = f.figure.significant_digits;
  const auto at = [&](std::optional<std::size_t> i) -> const SourceFigure* { return i ? &sources[*i] : nullptr; };
  if (digits >= 3) {
    if (const SourceFigure* s = at(index.first_one_sided(f.figure))) {
      point_receipt_at(f, *s);
      f.meet(NumericFinding::Met::AsWritten, *s);
      f.notes.emplace_back("unit_or_scale_on_one_side");
      f.settle(EvidenceResult::Supported, fill("{} = {} in {}; the unit or scale is stated on one side only",
                                               {f.claim_text, *f.source_text, s->source_id}));
      return;
    }
  }
  if (digits >= 2) {
    if (const SourceFigure* s = at(index.first_under_declared_scale(f.figure, f.exact))) {
      point_receipt_at(f, *s);
      f.meet(NumericFinding::Met::ByValue, *s);
      f.notes.emplace_back("scale_from_header");
      f.settle(EvidenceResult::Supported, fill("{} = {} in {}, under the scale its table declares",
                                               {f.claim_text, *f.source_text, s->source_id}));
      return;
    }
  }
  if (digits >= 2 && options.declared_precision) {
    if (const SourceFigure* s = at(index.first_at_precision_under_declared_scale(f.figure, f.exact))) {
      point_receipt_at(f, *s);
      f.meet(NumericFinding::Met::ByValue, *s);
      f.notes.emplace_back("scale_from_header");
      f.notes.emplace_back("matches_at_declared_precision");
      f.settle(EvidenceResult::Supported,
               fill("{} matches {} in {} at {} significant digits, under the scale its table declares",
                    {f.claim_text, *f.source_text, s->source_id, std::to_string(digits)}));
      return;
    }
  }
  if (f.result != EvidenceResult::Contradicted) return;
  if (const std::optional<Found> found = unconfirmed_one_sided(f.figure, index)) {
    const SourceFigure& s = *found->figure;
    f.meet(NumericFinding::Met::AsWritten, s, kOneSidedUnconfirmed);
    f.notes.emplace_back("unit_or_scale_on_one_side_unconfirmed");
    f.settle(EvidenceResult::Unsupported,
             fill("{} matches {} in {} only if the unit or scale stated on one side applies to the other",
                  {f.claim_text, figure_text(s), s.source_id}));
  }
}

// Why a claim equal to a figure under the scale its table declares is not
// supported by it: one significant digit (the claim's, or a lone digit's),
// equality only in another reading of either numeral, or an exact value
// that cannot be formed.
std::string why_unconfirmed(const NumericFinding& f, const Found& found, const EqualReadings& equal) {
  const SourceFigure& s = *found.figure;
  if (equal.claim != 0) {
    return fill("only if {} reads as {}", {f.figure.text, f.figure.readings[equal.claim].to_string()});
  }
  if (equal.figure != 0) {
    return fill("only if {} reads as {}", {s.quantity.text, s.quantity.readings[equal.figure].to_string()});
  }
  if (f.figure.significant_digits < 2 || found.lone) return "one significant digit does not confirm it";
  return "not as exact values";
}

// Whether the steps after the second chances still apply: the finding is
// contradicted, or unsupported for want of a figure of its dimension.
bool refuted_or_other_dimension(const NumericFinding& f) {
  return f.result == EvidenceResult::Contradicted || (f.result == EvidenceResult::Unsupported && f.other_dimension);
}

// A claim is never contradicted by a figure it equals under the figure's
// declared or context scale: no second chance having taken it, it is
// unsupported.
void equal_under_declared_scale_unconfirmed(NumericFinding& f, const SourceFigureIndex& index) {
  if (!refuted_or_other_dimension(f)) return;
  const std::optional<Found> found =
      earlier(index, index.first_equal_under_declared_scale(f.figure), index.lone().first_equal_under_scale(f.figure));
  if (!found) return;
  const SourceFigure& s = *found->figure;
  const std::optional<EqualReadings> equal = equal_under_declared_scale(f.figure, s);
  if (!equal) return;
  point_receipt_at(f, s);
  f.meet(NumericFinding::Met::ByValue, s, kUnconfirmed);
  f.settle(EvidenceResult::Unsupported,
           fill("{} matches {} in {} under the scale its table declares, {}, but {}",
                {f.claim_text, *f.source_text, s.source_id, declared_scale_name(table_scale_power(s)),
                 why_unconfirmed(f, *found, *equal)}));
}

// The verdict on a claim before its sign is tried turned: the first
// verdict, the second chances and equality under a declared scale.
void verdict_as_signed(NumericFinding& f, const SourceFigureIndex& index, const records::MatchOptions& options) {
  first_verdict(f, index);
  second_chances(f, index, options);
  equal_under_declared_scale_unconfirmed(f, index);
}

// A claim is never contradicted by a figure it matches but for its sign
// (a loss written "(1,234)" and an answer giving its magnitude): tried with
// its sign turned, in every way a claim matches a figure before derivation,
// one that then matches a figure, supported by it or not, is unsupported,
// noted, with the receipt on that figure. A year keeps its own treatment.
void sign_differs(NumericFinding& f, const SourceFigureIndex& index, const records::MatchOptions& options) {
  if (!refuted_or_other_dimension(f) || f.year_like) return;
  if (!index.may_agree_with_sign_turned(f.figure)) return;
  NumericFinding turned;
  turned.figure = with_sign_turned(f.figure);
  turned.exact = numeric::quantity_exact_value(turned.figure);
  verdict_as_signed(turned, index, options);
  if (turned.met == NumericFinding::Met::No) return;
  // An unconfirmed one-sided match leaves the receipt on the nearest
  // figure; the sign step points at the one it matched.
  if (turned.met_taint & kOneSidedUnconfirmed) point_receipt_at(turned, *turned.met_figure);
  f.source_id = std::move(turned.source_id);
  f.source_span = turned.source_span;
  f.source_text = std::move(turned.source_text);
  f.notes.emplace_back("sign_differs");
  f.meet(turned.met, *turned.met_figure, kSignDiffers);
  f.met_turned = true;
  f.settle(EvidenceResult::Unsupported,
           fill("{} differs from {} in {} only in its sign", {f.claim_text, *f.source_text, *f.source_id}));
}

void year_pass(std::vector<NumericFinding>& findings) {
  for (NumericFinding& f : findings) {
    if (f.supported() || !f.year_like) continue;
    f.notes.emplace_back("year_not_in_sources");
    f.settle(EvidenceResult::Unsupported, fill("{} reads as a year and appears in no source", {f.claim_text}));
  }
}

Evidence to_evidence(NumericFinding&& f) {
  Evidence e;
  e.verifier_id = std::string(kNumericVerifierId);
  e.verifier_version = std::string(kNumericVerifierVersion);
  e.claim_id = std::move(f.claim_id);
  e.result = f.result;
  e.score = f.score;
  e.confidence = 1.0;
  e.determinism = records::Determinism::exact();
  e.rationale = std::move(f.rationale);
  e.receipt.source_id = std::move(f.source_id);
  e.receipt.source_span = f.source_span;
  e.receipt.source_text = std::move(f.source_text);
  e.receipt.notes = std::move(f.notes);
  return e;
}

}  // namespace

core::Result<std::vector<Evidence>> NumericVerifier::run(const VerificationContext& context) const {
  const std::optional<numeric::LocaleProfile> profile = numeric::locale_profile(context.locale);
  if (!profile) return std::unexpected(core::EngineError::invalid_input("unknown locale " + context.locale));
  std::vector<LoneFigure> lone;
  const std::vector<SourceFigure> sources = find_declared_scale(context.sources, *profile, options_.units, lone);
  const SourceFigureIndex index(sources, options_.matching, std::move(lone));
  std::vector<Quantity> question;
  if (context.question) question = numeric::extract_quantities(*context.question, *profile, options_.units);

  std::vector<NumericFinding> findings;
  for (const records::Claim& claim : context.claims) {
    if (claim.kind != records::ClaimKind::Numeric) continue;
    std::vector<Quantity> figures = numeric::extract_quantities(claim.text, *profile, options_.units);
    if (figures.empty()) continue;
    NumericFinding f;
    f.claim_id = claim.id;
    f.claim_text = claim.text;
    f.figure = std::move(figures.front());
    f.exact = numeric::quantity_exact_value(f.figure);
    f.year_like = is_year_like(f.figure);
    for (const auto& note : f.figure.notes) f.notes.emplace_back(note);
    if (f.figure.readings.size() > 1) f.notes.emplace_back("numeral_ambiguous");
    const bool echoes = std::any_of(question.begin(), question.end(), [&](const Quantity& q) {
      return numeric::compare_quantities(f.figure, q, false, false).code == Code::Equal;
    });
    if (echoes) f.notes.emplace_back("echoes_question");
    verdict_as_signed(f, index, options_.matching);
    sign_differs(f, index, options_.matching);
    findings.push_back(std::move(f));
  }
  year_pass(findings);
  if (options_.derive) {
    numeric_detail::run_derivation_passes(findings, options_.rounding);
    numeric_detail::run_recomputation_pass(findings);
  }

  std::vector<Evidence> evidence;
  evidence.reserve(findings.size());
  for (NumericFinding& f : findings) evidence.push_back(to_evidence(std::move(f)));
  sort_findings_small(evidence);
  return evidence;
}

}  // namespace qv::verifiers
