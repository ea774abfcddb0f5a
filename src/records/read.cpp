#include "records/read.hpp"

#include "crypto/digest.hpp"
#include "records/digest.hpp"
#include "records/read_plain.hpp"

namespace qv::json {

JsonResult<void> TypeReader<crypto::SecretText>::read(Parser& p, crypto::SecretText& out) {
  std::string text;
  if (auto r = TypeReader<std::string>::read(p, text); !r) return r;
  out = crypto::SecretText(std::move(text));
  return {};
}

JsonResult<void> TypeReader<crypto::SecretText>::from_value(const Value& v, crypto::SecretText& out) {
  std::string text;
  if (auto r = TypeReader<std::string>::from_value(v, text); !r) return r;
  out = crypto::SecretText(std::move(text));
  return {};
}

}  // namespace qv::json

namespace qv::records::readers {

using json::required;

const json::VariantTable<Determinism>& determinism_table() {
  static const json::VariantTable<Determinism> table{
      "Determinism",
      "class",
      {
          {"exact", "Exact", true, {}},
          {"reproducible", "Reproducible", false, {required<&Determinism::tolerance>("tolerance")}},
          {"non_deterministic", "NonDeterministic", true, {}},
      },
      [](Determinism& d, std::size_t i) { d.cls = static_cast<Determinism::Class>(i); },
      // Members beside the class are only checked for syntax; the
      // reproducible class then reads its tolerance.
      true,
  };
  return table;
}

}  // namespace qv::records::readers

namespace qv::records {

json::JsonResult<EvidenceRecord> read_evidence_record_json(std::string_view text) {
  return json::read_typed<EvidenceRecord>(text);
}

json::JsonResult<UnsignedRecord> read_unsigned_record_json(std::string_view text) {
  return json::read_typed<UnsignedRecord>(text);
}

json::JsonResult<VerifyRequest> deserialize_verify_request(std::string_view text) {
  auto request = json::read_typed<VerifyRequest>(text);
  // An empty link names no record: read it as absent, which gives the same
  // record hash and a record that chain checks accept.
  if (request && request->previous_record_hash && request->previous_record_hash->empty()) {
    request->previous_record_hash.reset();
  }
  return request;
}

EvidenceRecordReader::EvidenceRecordReader(Keep keep) : keep_(keep), context_(std::make_unique<plain::Context>()) {}
EvidenceRecordReader::~EvidenceRecordReader() = default;

json::JsonResult<void> EvidenceRecordReader::read(std::string_view text) {
  // The plain form first, into the kept record, its content's canonical
  // text built on the way; any other text is read again in full, which
  // gives its value or its error, and its content hashed apart.
  const bool in_plain_form = keep_ == Keep::Record ? plain::read_record<true>(text, *context_, record_)
                                                    : plain::read_record<false>(text, *context_, record_);
  if (in_plain_form) {
    take_content_hash();
    return {};
  }
  auto record = read_evidence_record_json(text);
  if (!record) return std::unexpected(std::move(record.error()));
  record_ = std::move(*record);
  content_hash_ = compute_content_hash(record_.content);
  return {};
}

std::size_t EvidenceRecordReader::read_leading(std::string_view text) {
  const std::size_t line = keep_ == Keep::Record ? plain::read_leading_record<true>(text, *context_, record_)
                                                 : plain::read_leading_record<false>(text, *context_, record_);
  if (line > 0) take_content_hash();
  return line;
}

void EvidenceRecordReader::take_content_hash() {
  // Written into the kept string, which has its room from the record before.
  if (!content_hash_) content_hash_ = std::string();
  content_hash_->resize(crypto::kDigestLength);
  crypto::write_text_digest(context_->levels[0].view(), content_hash_->data());
}

}  // namespace qv::records
