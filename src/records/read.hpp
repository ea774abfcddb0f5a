#pragma once
// Reading records and requests from JSON text. Each reader takes one whole
// document and returns the value or the JSON layer's error (message and
// position); callers report it through json_error_to_engine_error.
//
// Every object type reads as an object (members in any order, unknown
// members skipped, except in RegulatoryControl) or as an array of its
// members in declared order. Reading checks form only: hashes, links and
// signatures are checked elsewhere.
//
// The member tables follow the declared order of each type, which is also
// the order of its array form; their TypeReaders below serve any reader that
// meets these types inside a larger document.
#include <string_view>

#include "crypto/secret.hpp"
#include "json/error.hpp"
#include "json/typed.hpp"
#include "json/vocabulary.hpp"
#include "records/types.hpp"

namespace qv::records {

json::JsonResult<EvidenceRecord> read_evidence_record_json(std::string_view text);
// A sealed record is accepted too: its signature members are skipped.
json::JsonResult<UnsignedRecord> read_unsigned_record_json(std::string_view text);
// The request of verify_json and its variants. A previous_record_hash given
// as the empty text reads as absent: it names no record, and a present but
// empty link is refused by every chain check.
json::JsonResult<VerifyRequest> deserialize_verify_request(std::string_view text);

}  // namespace qv::records

namespace qv::records::readers {

const json::StructTable<Span>& span_table();
const json::VariantTable<Determinism>& determinism_table();
const json::StructTable<Receipt>& receipt_table();
const json::StructTable<Evidence>& evidence_table();
const json::StructTable<VerifierInfo>& verifier_info_table();
const json::StructTable<EvidenceGraph>& evidence_graph_table();
const json::StructTable<ClaimOutcome>& claim_outcome_table();
const json::StructTable<RegulatoryControl>& regulatory_control_table();
const json::StructTable<PolicyOutcome>& policy_outcome_table();
const json::StructTable<RecordContent>& record_content_table();
const json::StructTable<EvidenceRecord>& evidence_record_table();
const json::StructTable<UnsignedRecord>& unsigned_record_table();
const json::StructTable<Source>& source_table();
const json::StructTable<MatchOptions>& match_options_table();
const json::StructTable<NumericConfig>& numeric_config_table();
const json::StructTable<JudgeReply>& judge_reply_table();
const json::StructTable<StoredJudge>& stored_judge_table();
const json::StructTable<VerifyRequest>& verify_request_table();

}  // namespace qv::records::readers

namespace qv::json {

template <>
struct TypeReader<records::VerifierKind> : UnitEnumReader<records::VerifierKind, records::kVerifierKindWords> {};
template <>
struct TypeReader<records::EvidenceResult>
    : UnitEnumReader<records::EvidenceResult, records::kEvidenceResultWords> {};
template <>
struct TypeReader<records::Determinism>
    : TaggedReader<records::Determinism, &records::readers::determinism_table> {};

#define QV_RECORDS_STRUCT_READER(Type, table) \
  template <>                                \
  struct TypeReader<records::Type> : StructReader<records::Type, &records::readers::table> {};
QV_RECORDS_STRUCT_READER(Span, span_table)
QV_RECORDS_STRUCT_READER(Receipt, receipt_table)
QV_RECORDS_STRUCT_READER(Evidence, evidence_table)
QV_RECORDS_STRUCT_READER(VerifierInfo, verifier_info_table)
QV_RECORDS_STRUCT_READER(EvidenceGraph, evidence_graph_table)
QV_RECORDS_STRUCT_READER(ClaimOutcome, claim_outcome_table)
QV_RECORDS_STRUCT_READER(RegulatoryControl, regulatory_control_table)
QV_RECORDS_STRUCT_READER(PolicyOutcome, policy_outcome_table)
QV_RECORDS_STRUCT_READER(RecordContent, record_content_table)
QV_RECORDS_STRUCT_READER(EvidenceRecord, evidence_record_table)
QV_RECORDS_STRUCT_READER(UnsignedRecord, unsigned_record_table)
QV_RECORDS_STRUCT_READER(Source, source_table)
QV_RECORDS_STRUCT_READER(MatchOptions, match_options_table)
QV_RECORDS_STRUCT_READER(NumericConfig, numeric_config_table)
QV_RECORDS_STRUCT_READER(JudgeReply, judge_reply_table)
QV_RECORDS_STRUCT_READER(StoredJudge, stored_judge_table)
QV_RECORDS_STRUCT_READER(VerifyRequest, verify_request_table)
#undef QV_RECORDS_STRUCT_READER

// A secret text is read as a string and taken over without a copy left.
template <>
struct TypeReader<crypto::SecretText> {
  static JsonResult<void> read(Parser& p, crypto::SecretText& out);
  static JsonResult<void> from_value(const Value& v, crypto::SecretText& out);
};

}  // namespace qv::json
