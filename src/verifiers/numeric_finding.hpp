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
  // A source holds a figure it matches in a way that neither confirms nor
  // refutes it (only as written, in a table whose declaration makes
  // exceptions; only under a declared or context scale, unconfirmed; but
  // for its sign): no recomputation refutes it as in no source.
  bool matched_in_source = false;
  // The first verdict found no source figure of the claim's dimension.
  bool other_dimension = false;
  // The figure an unconfirmed one-sided match names (the receipt stays on
  // the nearest figure).
  const SourceFigure* unconfirmed_figure = nullptr;

  bool supported() const { return result == records::EvidenceResult::Supported; }
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
