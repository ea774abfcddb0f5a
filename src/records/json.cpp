#include "records/json.hpp"

#include "crypto/digest.hpp"
#include "records/emit.hpp"
#include "records/json_out.hpp"

namespace qv::records {

namespace {

template <class T>
json::Value to_value(const T& item) {
  detail::ValueOut out;
  emit::value(out, item);
  return out.take();
}

template <class T>
std::string to_text(const T& item) {
  std::string text;
  detail::TextOut out(text);
  emit::value(out, item);
  return text;
}

// The canonical digest of the value the builders make, taken over the
// canonical text written straight from the typed data. It cannot fail: the
// builders write every non-finite float as null.
template <class T>
std::string canonical_hash(const T& item) {
  thread_local detail::CanonicalOut out;  // buffers reused from call to call
  out.reset();
  emit::value(out, item);
  return crypto::text_digest(out.text());
}

}  // namespace

std::string write_evidence_record_json(const EvidenceRecord& record) { return to_text(record); }
std::string write_unsigned_record_json(const UnsignedRecord& record) { return to_text(record); }

void write_record_content_json(const RecordContent& content, std::string& output) {
  detail::TextOut out(output);
  emit::value(out, content);
}

json::Value record_content_to_value(const RecordContent& content) { return to_value(content); }

void record_content_to_value(json::Object& record, const RecordContent& content) {
  record.insert_or_assign("content", to_value(content));
}

json::Value evidence_record_to_value(const EvidenceRecord& record) { return to_value(record); }
json::Value unsigned_record_to_value(const UnsignedRecord& record) { return to_value(record); }
json::Value evidence_to_value(const Evidence& evidence) { return to_value(evidence); }
json::Value verifier_info_to_value(const VerifierInfo& info) { return to_value(info); }

json::Value regulatory_mapping_to_value(const std::vector<RegulatoryControl>& controls) {
  detail::ValueOut out;
  emit::regulatory_mapping(out, controls);
  return out.take();
}

core::Result<std::string> compute_content_hash(const RecordContent& content) { return canonical_hash(content); }

core::Result<std::string> compute_input_hash(const VerificationContext& context) { return canonical_hash(context); }

json::Value timings_to_value(const VerifierTimings& timings) {
  json::Array entries;
  entries.reserve(timings.verifiers.size());
  for (const auto& [id, us] : timings.verifiers) entries.emplace_back(json::Array{json::Value(id), json::Value(us)});
  json::Object result;
  result.insert_or_assign("verifiers", json::Value(std::move(entries)));
  result.insert_or_assign("total_us", json::Value(timings.total_us));
  return json::Value(std::move(result));
}

}  // namespace qv::records
