#include "records/write.hpp"


namespace qv::records {

namespace {

template <class T>
json::Value to_value(const T& item) {
  json::ValueOut out;
  emit::value(out, item);
  return out.take();
}

template <class T>
std::string to_text(const T& item) {
  std::string text;
  json::TextOut out(text);
  emit::value(out, item);
  return text;
}

}  // namespace

std::string write_evidence_record_json(const EvidenceRecord& record) { return to_text(record); }
std::string write_unsigned_record_json(const UnsignedRecord& record) { return to_text(record); }

void write_record_content_json(const RecordContent& content, std::string& output) {
  json::TextOut out(output);
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
  return to_value(controls);
}

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
