#pragma once
// What the verifiers found: the evidence graph of a record's content and its
// parts, as plain values. Their JSON forms live in records/json.hpp.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/vocabulary.hpp"

namespace qv::records {

using core::ClaimKind;
using core::Decision;

// An ordered pair of texts: [verifier id, message], [name, value],
// [verifier id, reason].
using TextPair = std::pair<std::string, std::string>;

// A verifier's character. The ordinal is the declared order.
enum class VerifierKind : std::uint8_t {
  Exact = 0,
  Symbolic = 1,
  Lexical = 2,
  Ml = 3,
  Geometric = 4,
  Generative = 5,
  UserDefined = 6,
};
inline constexpr std::array<std::string_view, 7> kVerifierKindWords = {
    "exact", "symbolic", "lexical", "ml", "geometric", "generative", "user_defined"};
constexpr std::string_view to_word(VerifierKind k) { return kVerifierKindWords[static_cast<std::size_t>(k)]; }

// A verifier's finding on one claim. The ordinal is the declared order (the
// evidence order ranks results differently, see evidence_sort_key).
enum class EvidenceResult : std::uint8_t {
  Supported = 0,
  Contradicted = 1,
  Unsupported = 2,
  NotApplicable = 3,
  Error = 4,
};
inline constexpr std::array<std::string_view, 5> kEvidenceResultWords = {
    "supported", "contradicted", "unsupported", "not_applicable", "error"};
constexpr std::string_view to_word(EvidenceResult r) { return kEvidenceResultWords[static_cast<std::size_t>(r)]; }

// A byte span, start inclusive, end exclusive.
struct Span {
  std::uint64_t start = 0;
  std::uint64_t end = 0;
  bool operator==(const Span&) const = default;
};

// How repeatable a verifier's findings are. Tagged by "class"; only the
// reproducible class carries a tolerance.
struct Determinism {
  enum class Class : std::uint8_t { Exact = 0, Reproducible = 1, NonDeterministic = 2 };
  static constexpr std::array<std::string_view, 3> kClassWords = {"exact", "reproducible", "non_deterministic"};

  Class cls = Class::Exact;
  double tolerance = 0.0;  // meaningful for Reproducible only

  static constexpr Determinism exact() { return {Class::Exact, 0.0}; }
  static constexpr Determinism reproducible(double tolerance) { return {Class::Reproducible, tolerance}; }
  static constexpr Determinism non_deterministic() { return {Class::NonDeterministic, 0.0}; }

  // The tolerance takes part only for the reproducible class; compared
  // bitwise so that a NaN tolerance equals itself.
  bool operator==(const Determinism& other) const;
};
constexpr std::string_view to_word(Determinism::Class c) {
  return Determinism::kClassWords[static_cast<std::size_t>(c)];
}

// What backs a finding. Every member may be empty.
struct Receipt {
  std::optional<std::string> source_id;
  std::optional<Span> source_span;
  std::optional<std::string> source_text;
  std::vector<std::string> notes;
  bool operator==(const Receipt&) const = default;
};

// One verifier's finding on one claim.
struct Evidence {
  std::string verifier_id;
  std::string verifier_version;
  std::string claim_id;
  EvidenceResult result = EvidenceResult::NotApplicable;
  double score = 0.0;
  double confidence = 0.0;
  Determinism determinism;
  std::string rationale;
  Receipt receipt;
  std::optional<std::string> model_hash;
  std::optional<std::string> calibration_id;
  // Floats compare bitwise, so that a value equals itself whatever it holds.
  bool operator==(const Evidence& other) const;
};

// A verifier's identity and character.
struct VerifierInfo {
  std::string id;
  std::string version;
  VerifierKind kind = VerifierKind::Exact;
  Determinism determinism;
  std::vector<ClaimKind> applies_to;
  std::vector<TextPair> artefacts;  // [name, value]
  bool needs_network = false;
  bool operator==(const VerifierInfo&) const = default;
};

// The verifiers that ran, their evidence and their failures.
struct EvidenceGraph {
  std::vector<VerifierInfo> verifiers;
  std::vector<Evidence> evidence;
  std::vector<TextPair> failures;  // [verifier id, message]
  bool operator==(const EvidenceGraph&) const = default;
};

// The evidence order: claim id, then verifier id (both as byte strings, a
// prefix first), then the result ranked contradicted, unsupported,
// supported, not_applicable, error. The key borrows the evidence's texts.
struct EvidenceSortKey {
  std::string_view claim_id;
  std::string_view verifier_id;
  std::uint8_t result_rank = 0;
  auto operator<=>(const EvidenceSortKey&) const = default;
  bool operator==(const EvidenceSortKey&) const = default;
};

// Rank of each result in the evidence order, indexed by the result's ordinal.
inline constexpr std::array<std::uint8_t, 5> kEvidenceResultRank = {
    2,  // supported
    0,  // contradicted
    1,  // unsupported
    3,  // not_applicable
    4,  // error
};

inline EvidenceSortKey evidence_sort_key(const Evidence& e) {
  return {e.claim_id, e.verifier_id, kEvidenceResultRank[static_cast<std::size_t>(e.result)]};
}

// Orders two findings by their evidence sort keys (for stable sorts).
inline bool evidence_before(const Evidence& a, const Evidence& b) { return evidence_sort_key(a) < evidence_sort_key(b); }

}  // namespace qv::records
