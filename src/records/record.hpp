#pragma once
// The evidence record: its hashed content, the decision part of that
// content, and the sealed and unsigned record forms.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/vocabulary.hpp"
#include "records/graph.hpp"

namespace qv::records {

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

}  // namespace qv::records
