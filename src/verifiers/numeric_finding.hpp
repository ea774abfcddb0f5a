#pragma once
// The working record of one numeric claim while the numeric verifier runs;
// it becomes an Evidence at the end.
#include <cstddef>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "numeric/fraction.hpp"
#include "numeric/quantity.hpp"
#include "records/types.hpp"
#include "verifiers/declared_scale.hpp"

namespace qv::verifiers::numeric_detail {

struct NumericFinding {
  // receipt part
  std::optional<records::Span> source_span;
  std::vector<std::string> notes;
  std::optional<std::string> source_id;
  std::optional<std::string> source_text;

  std::string claim_id;
  std::string claim_text;
  numeric::Quantity figure;
  std::string rationale;
  double score = 0.0;
  records::EvidenceResult result = records::EvidenceResult::Unsupported;

  // Worked out once: the figure's exact value and whether it is a bare year.
  std::optional<numeric::Fraction> exact;
  bool year_like = false;
  // The first verdict found no source figure of the claim's dimension.
  bool other_dimension = false;

  // How the claim met a source figure, when it did: by its value (equal,
  // at its precision, as a fraction, under a scale), or by its digits as
  // written with a unit or scale on one side only; the figure; whether the
  // claim met it with its sign turned; and what keeps the meeting from
  // confirming the claim (taint bits of the derivation passes, 0 when the
  // figure supports it).
  enum class Met : std::uint8_t { No, ByValue, AsWritten };
  Met met = Met::No;
  const SourceFigure* met_figure = nullptr;
  bool met_turned = false;
  std::uint8_t met_taint = 0;
  // A derivation reproduced the figure: supported, or with `derived_taint`
  // unsupported. The notes the finding had before.
  bool reproduced = false;
  std::uint8_t derived_taint = 0;
  std::size_t notes_before_derivation = 0;
  // The claims a derivation of it rests on, through every derivation it was
  // built from, sorted: none of them is ever derived from it in turn.
  std::vector<std::string> rests_on;

  void meet(Met how, const SourceFigure& figure, std::uint8_t taint = 0) {
    met = how;
    met_figure = &figure;
    met_taint = taint;
  }

  bool supported() const { return result == records::EvidenceResult::Supported; }
  // A source holds a figure it matches in a way that neither confirms nor
  // refutes it (only as written, in a table whose declaration makes
  // exceptions; only with a unit or scale on one side, or only under a
  // declared or context scale, unconfirmed; but for its sign): no
  // recomputation refutes it as in no source.
  bool matched_in_source() const { return !supported() && met != Met::No; }
  void settle(records::EvidenceResult r, std::string why) {
    result = r;
    score = r == records::EvidenceResult::Supported ? 1.0 : 0.0;
    rationale = std::move(why);
  }
};

// A rationale: each "{}" of the template replaced by the next argument.
inline std::string fill(std::string_view templ, std::initializer_list<std::string_view> args) {
  std::string out;
  auto arg = args.begin();
  for (std::size_t i = 0; i < templ.size(); ++i) {
    if (templ[i] == '{' && i + 1 < templ.size() && templ[i + 1] == '}' && arg != args.end()) {
      out += *arg++;
      ++i;
    } else {
      out += templ[i];
    }
  }
  return out;
}

// The derivation passes (at most three) and then the recomputation pass, on
// the findings in claim order.
void run_derivation_passes(std::vector<NumericFinding>& findings, core::RoundingRule rule);
void run_recomputation_pass(std::vector<NumericFinding>& findings);

}  // namespace qv::verifiers::numeric_detail
