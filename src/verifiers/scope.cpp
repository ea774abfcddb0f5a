#include "verifiers/scope.hpp"

#include <algorithm>
#include <array>
#include <optional>

#include "unicode/white_space.hpp"

namespace qv::verifiers {
namespace {

using records::Claim;
using records::EvidenceResult;
using records::Source;

struct SourceFigures {
  ScopeStanding standing;
  const Source* source;
  std::vector<Figure> figures;
};

// The first matching source of each standing, with its figure's span.
struct Recorded {
  const SourceFigures* source = nullptr;
  std::size_t start = 0;
  std::size_t end = 0;
};

bool on_char_boundary(std::string_view text, std::size_t at) {
  return at == 0 || at == text.size() || (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0u) != 0x80u);
}

Evidence finding(const Claim& claim, const Recorded& rec, EvidenceResult result, std::string rationale,
                 const char* note) {
  Evidence e;
  e.verifier_id = "quillaveen.scope";
  e.verifier_version = "1.2.0";
  e.claim_id = claim.id;
  e.result = result;
  e.score = result == EvidenceResult::Supported ? 1.0 : 0.0;
  e.confidence = 1.0;
  e.determinism = records::Determinism::exact();
  e.rationale = std::move(rationale);
  const Source& s = *rec.source->source;
  e.receipt.source_id = s.id;
  e.receipt.source_span = records::Span{rec.start, rec.end};
  if (rec.start <= rec.end && rec.end <= s.text.size() && on_char_boundary(s.text, rec.start) &&
      on_char_boundary(s.text, rec.end)) {
    e.receipt.source_text = s.text.substr(rec.start, rec.end - rec.start);
  }
  if (note != nullptr) e.receipt.notes.emplace_back(note);
  return e;
}

}  // namespace

ScopeStanding scope_standing(const records::SortedMap& scope, const records::InsertionMap& provenance) {
  if (provenance.empty()) return Unstated{};
  bool matched = false;
  for (const auto& [key, requested] : scope) {
    const std::string* stated = provenance.find(key);
    if (stated == nullptr) continue;
    if (unicode::trim_white_space(requested) != unicode::trim_white_space(*stated)) {
      return Outside{key, requested, *stated};
    }
    matched = true;
  }
  if (matched) return Inside{};
  return Unstated{};
}

VerifierInfo scope_verifier_info() {
  return exact_verifier_info("quillaveen.scope", "1.2.0", records::VerifierKind::Exact, {ClaimKind::Numeric});
}

core::Result<std::vector<Evidence>> ScopeVerifier::run(const VerificationContext& context) const {
  std::vector<Evidence> findings;
  if (context.scope.empty()) return findings;
  const std::string& locale = context.locale;
  if (!figures().knows_locale(locale))
    return std::unexpected(core::EngineError::invalid_input("unknown locale " + locale));

  // Every source's standing and figures, read once per run.
  std::vector<SourceFigures> sources;
  sources.reserve(context.sources.size());
  for (const Source& s : context.sources) {
    sources.push_back({scope_standing(context.scope, s.provenance), &s, figures().read(s.text, locale, false)});
  }

  for (const Claim& claim : context.claims) {
    if (claim.kind != ClaimKind::Numeric) continue;
    const std::vector<Figure> read = figures().read(claim.text, locale, false);
    if (read.empty()) continue;
    const Figure& figure = read.front();
    if (figure.year_like || sources.empty()) continue;

    std::array<Recorded, 3> recorded{};  // by the standing's index: inside, outside, unstated
    for (const SourceFigures& s : sources) {
      Recorded& slot = recorded[s.standing.index()];
      if (slot.source != nullptr) continue;
      auto hit = std::find_if(s.figures.begin(), s.figures.end(),
                              [&](const Figure& f) { return figures().same_figure(figure, f); });
      if (hit != s.figures.end()) slot = {&s, hit->start, hit->end};
    }

    const Recorded& inside = recorded[0];
    const Recorded& outside = recorded[1];
    const Recorded& unstated = recorded[2];
    if (inside.source != nullptr) {
      findings.push_back(finding(claim, inside, EvidenceResult::Supported,
                                 claim.text + " found in " + inside.source->source->id + ", inside the request scope",
                                 nullptr));
      continue;
    }
    if (outside.source != nullptr) {
      bool significant = figure.significant_digits > 2;
      if (!significant) {
        const std::vector<Figure> with_units = figures().read(claim.text, locale, true);
        significant = !with_units.empty() && (with_units.front().unit.kind != FigureDimension::Dimensionless ||
                                              with_units.front().scale_power != 0);
      }
      if (significant) {
        const Outside& o = std::get<Outside>(outside.source->standing);
        findings.push_back(finding(claim, outside, EvidenceResult::Contradicted,
                                   claim.text + " found only in " + outside.source->source->id +
                                       ", outside the request scope (" + o.key + " is " + o.stated +
                                       ", the request is about " + o.requested + ")",
                                   "out_of_scope_source"));
        continue;
      }
    }
    if (unstated.source != nullptr) {
      findings.push_back(finding(
          claim, unstated, EvidenceResult::Unsupported,
          claim.text + " found only in " + unstated.source->source->id + ", whose provenance does not state the scope",
          "provenance_missing"));
    }
  }
  if (findings.size() >= 2) std::stable_sort(findings.begin(), findings.end(), records::evidence_before);
  return findings;
}

}  // namespace qv::verifiers
