#pragma once
// Typed readers of the record, graph and request types, for any reader that
// meets them inside a larger document. Member tables follow the declared
// order of each type, which is also the order of its array form.
#include "json/typed.hpp"
#include "json/vocabulary.hpp"
#include "records/record.hpp"
#include "records/request.hpp"

namespace qv::records::readers {

const json::StructSpec<Span>& span_spec();
const json::TaggedSpec<Determinism>& determinism_spec();
const json::StructSpec<Receipt>& receipt_spec();
const json::StructSpec<Evidence>& evidence_spec();
const json::StructSpec<VerifierInfo>& verifier_info_spec();
const json::StructSpec<EvidenceGraph>& evidence_graph_spec();
const json::StructSpec<ClaimOutcome>& claim_outcome_spec();
const json::StructSpec<RegulatoryControl>& regulatory_control_spec();
const json::StructSpec<PolicyOutcome>& policy_outcome_spec();
const json::StructSpec<RecordContent>& record_content_spec();
const json::StructSpec<EvidenceRecord>& evidence_record_spec();
const json::StructSpec<UnsignedRecord>& unsigned_record_spec();
const json::StructSpec<Source>& source_spec();
const json::StructSpec<MatchOptions>& match_options_spec();
const json::StructSpec<NumericConfig>& numeric_config_spec();
const json::StructSpec<JudgeReply>& judge_reply_spec();
const json::StructSpec<StoredJudge>& stored_judge_spec();
const json::StructSpec<VerifyRequest>& verify_request_spec();

}  // namespace qv::records::readers

namespace qv::json {

template <>
struct TypeReader<records::VerifierKind> : UnitEnumReader<records::VerifierKind, records::kVerifierKindWords> {};
template <>
struct TypeReader<records::EvidenceResult>
    : UnitEnumReader<records::EvidenceResult, records::kEvidenceResultWords> {};
template <>
struct TypeReader<records::Determinism>
    : TaggedReader<records::Determinism, &records::readers::determinism_spec> {};

#define QV_RECORDS_STRUCT_READER(Type, table) \
  template <>                                \
  struct TypeReader<records::Type> : StructReader<records::Type, &records::readers::table> {};
QV_RECORDS_STRUCT_READER(Span, span_spec)
QV_RECORDS_STRUCT_READER(Receipt, receipt_spec)
QV_RECORDS_STRUCT_READER(Evidence, evidence_spec)
QV_RECORDS_STRUCT_READER(VerifierInfo, verifier_info_spec)
QV_RECORDS_STRUCT_READER(EvidenceGraph, evidence_graph_spec)
QV_RECORDS_STRUCT_READER(ClaimOutcome, claim_outcome_spec)
QV_RECORDS_STRUCT_READER(RegulatoryControl, regulatory_control_spec)
QV_RECORDS_STRUCT_READER(PolicyOutcome, policy_outcome_spec)
QV_RECORDS_STRUCT_READER(RecordContent, record_content_spec)
QV_RECORDS_STRUCT_READER(EvidenceRecord, evidence_record_spec)
QV_RECORDS_STRUCT_READER(UnsignedRecord, unsigned_record_spec)
QV_RECORDS_STRUCT_READER(Source, source_spec)
QV_RECORDS_STRUCT_READER(MatchOptions, match_options_spec)
QV_RECORDS_STRUCT_READER(NumericConfig, numeric_config_spec)
QV_RECORDS_STRUCT_READER(JudgeReply, judge_reply_spec)
QV_RECORDS_STRUCT_READER(StoredJudge, stored_judge_spec)
QV_RECORDS_STRUCT_READER(VerifyRequest, verify_request_spec)
#undef QV_RECORDS_STRUCT_READER

// A secret text is read as a string and taken over without a copy left.
template <>
struct TypeReader<crypto::SecretText> {
  static JsonResult<void> read(Parser& p, crypto::SecretText& out);
  static JsonResult<void> from_value(const Value& v, crypto::SecretText& out);
};

}  // namespace qv::json
