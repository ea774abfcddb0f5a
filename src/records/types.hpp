#pragma once
// The record, graph, claim, context and request types, as plain values.
// Their JSON forms are in records/write.hpp and records/read.hpp.
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/vocabulary.hpp"
#include "crypto/secret.hpp"
#include "json/ordered_map.hpp"

namespace qv::records {

using core::ClaimKind;
using core::Decision;
using core::RoundingRule;

// A map of text to text that keeps the order in which keys first came
// (a source's provenance, a claim's attributes).
using InsertionMap = json::OrderedMap<std::string>;
// A map of text to text held in byte order of its keys.
using SortedMap = std::map<std::string, std::string>;

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

// ---------------------------------------------------------------------------
// Records.

// What the engine writes into a record's content.
inline constexpr std::string_view kRecordSchema = "quillaveen.evidence-record/1";
inline constexpr std::string_view kUnbundledHash = "sha256:unbundled";

// One claim's decision with its reasons.
struct ClaimOutcome {
  std::string claim_id;
  Decision decision = Decision::Pass;
  std::vector<std::string> reasons;
  bool operator==(const ClaimOutcome&) const = default;
};

// A regulatory control and the decisions that trigger it.
struct RegulatoryControl {
  std::string framework;
  std::string article;
  std::string control;
  std::string requirement;
  std::vector<Decision> triggered_by;
  bool operator==(const RegulatoryControl&) const = default;
};

// The decision part of a record's content.
struct PolicyOutcome {
  std::string policy_id;
  std::string policy_version;
  std::string policy_hash;
  Decision decision = Decision::Pass;
  std::vector<ClaimOutcome> claims;
  std::vector<std::string> missing_required;  // verifier id patterns
  std::vector<TextPair> excluded_verifiers;   // [verifier id, reason]
  std::vector<RegulatoryControl> regulatory_mapping;
  std::vector<std::string> reasons;
  std::optional<std::string> risk_class;
  std::optional<std::string> pass_means;
  bool operator==(const PolicyOutcome&) const = default;
};

// The hashed content of an evidence record.
struct RecordContent {
  std::string schema;
  std::string engine_version;
  std::string bundle_hash;
  std::string input_hash;
  std::string locale;
  EvidenceGraph graph;
  PolicyOutcome outcome;
  bool operator==(const RecordContent&) const = default;
};

// A sealed record. An absent signature_algorithm means Ed25519.
struct EvidenceRecord {
  std::string record_id;
  std::string timestamp;
  RecordContent content;
  std::string content_hash;
  std::optional<std::string> previous_record_hash;
  std::string record_hash;
  std::string signature;          // hex
  std::string signer_public_key;  // hex
  std::optional<std::string> signature_algorithm;
  bool operator==(const EvidenceRecord&) const = default;
};

// A record whose record_hash an outside key service is to sign.
struct UnsignedRecord {
  std::string record_id;
  std::string timestamp;
  RecordContent content;
  std::string content_hash;
  std::optional<std::string> previous_record_hash;
  std::string record_hash;
  bool operator==(const UnsignedRecord&) const = default;
};

// ---------------------------------------------------------------------------
// Claims, the request and the prepared context.

// One checkable piece of an answer.
struct Claim {
  std::string id;  // "c0", "c1", ... in span order
  ClaimKind kind = ClaimKind::Statement;
  std::string text;      // the answer's bytes between the span's ends
  Span span;             // byte offsets into the normalised answer
  InsertionMap attributes;
  bool operator==(const Claim&) const = default;
};

// One source passage the answer was drawn from.
struct Source {
  std::string id;
  std::string text;
  std::optional<std::string> locator;
  InsertionMap provenance;  // in first-insertion order
  bool operator==(const Source&) const = default;
};

struct MatchOptions {
  bool declared_precision = false;
  bool percent_as_fraction = false;
  bool operator==(const MatchOptions&) const = default;
};

// The numeric verifier's options.
struct NumericConfig {
  MatchOptions matching;
  bool units = true;
  bool derive = true;
  RoundingRule rounding = RoundingRule::WithinLastDigit;
  bool operator==(const NumericConfig&) const = default;
};

// A language-model judge's reply to the prompt the engine built.
struct JudgeReply {
  std::string adapter;
  std::string model;
  std::optional<std::string> response;
  std::optional<std::string> error;
  bool operator==(const JudgeReply&) const = default;
};

// Judge evidence kept from an earlier run, to be reused.
struct StoredJudge {
  VerifierInfo info;
  std::vector<Evidence> evidence;
  std::optional<std::string> failure;
  bool operator==(const StoredJudge&) const = default;
};

struct VerifyRequest {
  std::string answer;
  std::vector<Source> sources;
  std::optional<std::string> question;
  std::string locale = core::default_locale();
  std::string policy_yaml;
  std::vector<std::string> rule_sets_json;
  NumericConfig numeric;
  std::optional<crypto::SecretText> signing_key_hex;  // the Ed25519 seed in hex
  // Never the empty text: a request that gives "" reads as giving none.
  std::optional<std::string> previous_record_hash;
  SortedMap metadata;
  SortedMap scope;
  std::optional<std::string> risk_class;
  std::optional<JudgeReply> judge;
  std::optional<StoredJudge> judge_evidence;
  bool operator==(const VerifyRequest&) const = default;
};

struct VerificationContext {
  std::string answer;                   // normalised
  std::optional<std::string> question;  // normalised; absent when the request has none
  std::vector<Source> sources;          // request order, texts normalised
  std::vector<Claim> claims;            // in id order
  SortedMap scope;
  SortedMap metadata;
  std::string locale;  // as given, not lower-cased
  bool operator==(const VerificationContext&) const = default;
};

}  // namespace qv::records
