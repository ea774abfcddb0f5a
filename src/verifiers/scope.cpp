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

bool on_char_boundary(std::string_view text, std::size_t at) {
  return at == 0 || at == text.size() || (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0u) != 0x80u);
}

Evidence finding(const Claim& claim, const Source& s, const ScopeSources::Match& at, EvidenceResult result,
                 std::string rationale, const char* note) {
  Evidence e;
  e.verifier_id = "quillaveen.scope";
  e.verifier_version = "1.2.0";
  e.claim_id = claim.id;
  e.result = result;
  e.score = result == EvidenceResult::Supported ? 1.0 : 0.0;
  e.confidence = 1.0;
  e.determinism = records::Determinism::exact();
  e.rationale = std::move(rationale);
  e.receipt.source_id = s.id;
  e.receipt.source_span = records::Span{at.start, at.end};
  if (at.start <= at.end && at.end <= s.text.size() && on_char_boundary(s.text, at.start) &&
      on_char_boundary(s.text, at.end)) {
    e.receipt.source_text = s.text.substr(at.start, at.end - at.start);
  }
  if (note != nullptr) e.receipt.notes.emplace_back(note);
  return e;
}

// Keeps the earlier of two positions in each standing's slot.
void keep_first(std::optional<std::pair<std::size_t, std::size_t>>& slot, std::pair<std::size_t, std::size_t> at) {
  if (!slot || at < *slot) slot = at;
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

bool ScopeSources::ValueKey::operator<(const ValueKey& other) const {
  if (kind != other.kind) return kind < other.kind;
  if (currency != other.currency) return currency < other.currency;
  return value < other.value;
}

ScopeSources::ScopeSources(const FigureReader& figures, const VerificationContext& context) : reader_(figures) {
  sources_.reserve(context.sources.size());
  for (std::size_t i = 0; i < context.sources.size(); ++i) {
    const Source& s = context.sources[i];
    sources_.push_back({scope_standing(context.scope, s.provenance), figures.read(s.text, context.locale, false)});
    const std::size_t standing = sources_.back().standing.index();
    const std::vector<Figure>& read = sources_.back().figures;
    for (std::size_t k = 0; k < read.size(); ++k) {
      const std::string currency = read[k].unit.kind == FigureDimension::Currency ? read[k].unit.code : std::string();
      for (numeric::Decimal& value : figures.exact_values(read[k])) {
        keep_first(first_by_value_[ValueKey{read[k].unit.kind, currency, std::move(value)}][standing], {i, k});
      }
    }
  }
}

ScopeSources::Match ScopeSources::match_at(Position at) const {
  const Figure& f = sources_[at.first].figures[at.second];
  return Match{at.first, f.start, f.end};
}

ScopeSources::Matches ScopeSources::first_matches(const Figure& claim) const {
  std::array<std::optional<Position>, 3> first{};
  const std::string currency = claim.unit.kind == FigureDimension::Currency ? claim.unit.code : std::string();
  for (numeric::Decimal& value : reader_.exact_values(claim)) {
    const auto it = first_by_value_.find(ValueKey{claim.unit.kind, currency, std::move(value)});
    if (it == first_by_value_.end()) continue;
    for (std::size_t k = 0; k < 3; ++k) {
      if (it->second[k]) keep_first(first[k], *it->second[k]);
    }
  }
  Matches out{};
  for (std::size_t k = 0; k < 3; ++k) {
    if (first[k]) out[k] = match_at(*first[k]);
  }
  return out;
}

ScopeSources::Matches ScopeSources::first_matches_in_order(const Figure& claim) const {
  Matches out{};
  for (std::size_t i = 0; i < sources_.size(); ++i) {
    std::optional<Match>& slot = out[sources_[i].standing.index()];
    if (slot) continue;
    const std::vector<Figure>& figures = sources_[i].figures;
    const auto hit = std::find_if(figures.begin(), figures.end(),
                                  [&](const Figure& f) { return reader_.same_figure(claim, f); });
    if (hit != figures.end()) slot = match_at({i, static_cast<std::size_t>(hit - figures.begin())});
  }
  return out;
}

core::Result<std::vector<Evidence>> ScopeVerifier::run(const VerificationContext& context) const {
  std::vector<Evidence> findings;
  if (context.scope.empty()) return findings;
  const std::string& locale = context.locale;
  if (!figures().knows_locale(locale))
    return std::unexpected(core::EngineError::invalid_input("unknown locale " + locale));

  // Every source's standing and figures, read once per run.
  const ScopeSources sources(figures(), context);

  for (const Claim& claim : context.claims) {
    if (claim.kind != ClaimKind::Numeric) continue;
    const std::vector<Figure> read = figures().read(claim.text, locale, false);
    if (read.empty()) continue;
    const Figure& figure = read.front();
    if (figure.year_like || sources.empty()) continue;

    const ScopeSources::Matches found = sources.first_matches(figure);
    const auto source_of = [&](const ScopeSources::Match& m) -> const Source& { return context.sources[m.source]; };
    if (const auto& inside = found[0]) {
      findings.push_back(finding(claim, source_of(*inside), *inside, EvidenceResult::Supported,
                                 claim.text + " found in " + source_of(*inside).id + ", inside the request scope",
                                 nullptr));
      continue;
    }
    if (const auto& outside = found[1]) {
      bool significant = figure.significant_digits > 2;
      if (!significant) {
        const std::vector<Figure> with_units = figures().read(claim.text, locale, true);
        significant = !with_units.empty() && (with_units.front().unit.kind != FigureDimension::Dimensionless ||
                                              with_units.front().scale_power != 0);
      }
      if (significant) {
        const Outside& o = std::get<Outside>(sources.standing(outside->source));
        findings.push_back(finding(claim, source_of(*outside), *outside, EvidenceResult::Contradicted,
                                   claim.text + " found only in " + source_of(*outside).id +
                                       ", outside the request scope (" + o.key + " is " + o.stated +
                                       ", the request is about " + o.requested + ")",
                                   "out_of_scope_source"));
        continue;
      }
    }
    if (const auto& unstated = found[2]) {
      findings.push_back(finding(claim, source_of(*unstated), *unstated, EvidenceResult::Unsupported,
                                 claim.text + " found only in " + source_of(*unstated).id +
                                     ", whose provenance does not state the scope",
                                 "provenance_missing"));
    }
  }
  if (findings.size() >= 2) std::stable_sort(findings.begin(), findings.end(), records::evidence_before);
  return findings;
}

}  // namespace qv::verifiers
