#pragma once
// JSON forms of the record, graph and context types: the written text, the
// value form and the two digests. One set of member builders (emit.hpp)
// serves all of them.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/error.hpp"
#include "json/value.hpp"
#include "records/context.hpp"
#include "records/record.hpp"

namespace qv::records {

// Compact one-line text of a sealed record: members in declared order,
// `previous_record_hash` null when absent, `signature_algorithm` only when
// present. Cannot fail.
std::string write_evidence_record_json(const EvidenceRecord& record);
// The six members of an unsigned record, by the same rules.
std::string write_unsigned_record_json(const UnsignedRecord& record);
// Appends the object of a record's content.
void write_record_content_json(const RecordContent& content, std::string& output);

// The value form of a record's content, members in declared order.
json::Value record_content_to_value(const RecordContent& content);
// Adds it to `record` under the key "content".
void record_content_to_value(json::Object& record, const RecordContent& content);
// Value forms of whole records, member for member as they are written.
json::Value evidence_record_to_value(const EvidenceRecord& record);
json::Value unsigned_record_to_value(const UnsignedRecord& record);
// The value of any graph or outcome part, as it appears inside a record.
json::Value evidence_to_value(const Evidence& evidence);
json::Value verifier_info_to_value(const VerifierInfo& info);
json::Value regulatory_mapping_to_value(const std::vector<RegulatoryControl>& controls);

// The canonical digest of the content's value.
core::Result<std::string> compute_content_hash(const RecordContent& content);
// The canonical digest of the prepared request: question when present,
// answer, sources, claims, locale, and metadata and scope when not empty.
core::Result<std::string> compute_input_hash(const VerificationContext& context);

// Each verifier's run time in run order and the total, in microseconds.
struct VerifierTimings {
  std::vector<std::pair<std::string, std::uint64_t>> verifiers;
  std::uint64_t total_us = 0;
  bool operator==(const VerifierTimings&) const = default;
};
// {"verifiers": [[id, us], ...], "total_us": n}, integers throughout.
json::Value timings_to_value(const VerifierTimings& timings);

}  // namespace qv::records
