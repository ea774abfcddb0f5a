#include "records/read.hpp"

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

using json::defaulted;
using json::optional;
using json::required;

const json::StructTable<Span>& span_table() {
  static const json::StructTable<Span> table{
      "Span",
      {required<&Span::start, json::UsizeReader>("start"), required<&Span::end, json::UsizeReader>("end")}};
  return table;
}

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

const json::StructTable<Receipt>& receipt_table() {
  static const json::StructTable<Receipt> table{"Receipt",
                                              {
                                                  defaulted<&Receipt::source_id>("source_id"),
                                                  defaulted<&Receipt::source_span>("source_span"),
                                                  defaulted<&Receipt::source_text>("source_text"),
                                                  defaulted<&Receipt::notes>("notes"),
                                              }};
  return table;
}

const json::StructTable<Evidence>& evidence_table() {
  static const json::StructTable<Evidence> table{"Evidence",
                                               {
                                                   required<&Evidence::verifier_id>("verifier_id"),
                                                   required<&Evidence::verifier_version>("verifier_version"),
                                                   required<&Evidence::claim_id>("claim_id"),
                                                   required<&Evidence::result>("result"),
                                                   required<&Evidence::score>("score"),
                                                   required<&Evidence::confidence>("confidence"),
                                                   required<&Evidence::determinism>("determinism"),
                                                   required<&Evidence::rationale>("rationale"),
                                                   required<&Evidence::receipt>("receipt"),
                                                   defaulted<&Evidence::model_hash>("model_hash"),
                                                   defaulted<&Evidence::calibration_id>("calibration_id"),
                                               }};
  return table;
}

const json::StructTable<VerifierInfo>& verifier_info_table() {
  static const json::StructTable<VerifierInfo> table{"VerifierInfo",
                                                   {
                                                       required<&VerifierInfo::id>("id"),
                                                       required<&VerifierInfo::version>("version"),
                                                       required<&VerifierInfo::kind>("kind"),
                                                       required<&VerifierInfo::determinism>("determinism"),
                                                       required<&VerifierInfo::applies_to>("applies_to"),
                                                       defaulted<&VerifierInfo::artefacts>("artefacts"),
                                                       defaulted<&VerifierInfo::needs_network>("needs_network"),
                                                   }};
  return table;
}

const json::StructTable<EvidenceGraph>& evidence_graph_table() {
  static const json::StructTable<EvidenceGraph> table{"EvidenceGraph",
                                                    {
                                                        required<&EvidenceGraph::verifiers>("verifiers"),
                                                        required<&EvidenceGraph::evidence>("evidence"),
                                                        defaulted<&EvidenceGraph::failures>("failures"),
                                                    }};
  return table;
}

const json::StructTable<ClaimOutcome>& claim_outcome_table() {
  static const json::StructTable<ClaimOutcome> table{"ClaimOutcome",
                                                   {
                                                       required<&ClaimOutcome::claim_id>("claim_id"),
                                                       required<&ClaimOutcome::decision>("decision"),
                                                       required<&ClaimOutcome::reasons>("reasons"),
                                                   }};
  return table;
}

const json::StructTable<RegulatoryControl>& regulatory_control_table() {
  static const json::StructTable<RegulatoryControl> table{
      "RegulatoryControl",
      {
          required<&RegulatoryControl::framework>("framework"),
          required<&RegulatoryControl::article>("article"),
          required<&RegulatoryControl::control>("control"),
          defaulted<&RegulatoryControl::requirement>("requirement"),
          required<&RegulatoryControl::triggered_by>("triggered_by"),
      },
      true,  // the one type that refuses unknown members
  };
  return table;
}

const json::StructTable<PolicyOutcome>& policy_outcome_table() {
  static const json::StructTable<PolicyOutcome> table{
      "PolicyOutcome",
      {
          required<&PolicyOutcome::policy_id>("policy_id"),
          required<&PolicyOutcome::policy_version>("policy_version"),
          required<&PolicyOutcome::policy_hash>("policy_hash"),
          required<&PolicyOutcome::decision>("decision"),
          required<&PolicyOutcome::claims>("claims"),
          required<&PolicyOutcome::missing_required>("missing_required"),
          required<&PolicyOutcome::excluded_verifiers>("excluded_verifiers"),
          required<&PolicyOutcome::regulatory_mapping>("regulatory_mapping"),
          defaulted<&PolicyOutcome::reasons>("reasons"),
          defaulted<&PolicyOutcome::risk_class>("risk_class"),
          defaulted<&PolicyOutcome::pass_means>("pass_means"),
      }};
  return table;
}

const json::StructTable<RecordContent>& record_content_table() {
  static const json::StructTable<RecordContent> table{"RecordContent",
                                                    {
                                                        required<&RecordContent::schema>("schema"),
                                                        required<&RecordContent::engine_version>("engine_version"),
                                                        required<&RecordContent::bundle_hash>("bundle_hash"),
                                                        required<&RecordContent::input_hash>("input_hash"),
                                                        required<&RecordContent::locale>("locale"),
                                                        required<&RecordContent::graph>("graph"),
                                                        required<&RecordContent::outcome>("outcome"),
                                                    }};
  return table;
}

const json::StructTable<EvidenceRecord>& evidence_record_table() {
  static const json::StructTable<EvidenceRecord> table{
      "EvidenceRecord",
      {
          required<&EvidenceRecord::record_id>("record_id"),
          required<&EvidenceRecord::timestamp>("timestamp"),
          required<&EvidenceRecord::content>("content"),
          required<&EvidenceRecord::content_hash>("content_hash"),
          // No default: the array form must hold it, null allowed.
          optional<&EvidenceRecord::previous_record_hash>("previous_record_hash"),
          required<&EvidenceRecord::record_hash>("record_hash"),
          required<&EvidenceRecord::signature>("signature"),
          required<&EvidenceRecord::signer_public_key>("signer_public_key"),
          defaulted<&EvidenceRecord::signature_algorithm>("signature_algorithm"),
      }};
  return table;
}

const json::StructTable<UnsignedRecord>& unsigned_record_table() {
  static const json::StructTable<UnsignedRecord> table{
      "UnsignedRecord",
      {
          required<&UnsignedRecord::record_id>("record_id"),
          required<&UnsignedRecord::timestamp>("timestamp"),
          required<&UnsignedRecord::content>("content"),
          required<&UnsignedRecord::content_hash>("content_hash"),
          optional<&UnsignedRecord::previous_record_hash>("previous_record_hash"),
          required<&UnsignedRecord::record_hash>("record_hash"),
      }};
  return table;
}

const json::StructTable<Source>& source_table() {
  static const json::StructTable<Source> table{"Source",
                                             {
                                                 required<&Source::id>("id"),
                                                 required<&Source::text>("text"),
                                                 defaulted<&Source::locator>("locator"),
                                                 defaulted<&Source::provenance>("provenance"),
                                             }};
  return table;
}

const json::StructTable<MatchOptions>& match_options_table() {
  static const json::StructTable<MatchOptions> table{
      "MatchOptions",
      {
          required<&MatchOptions::declared_precision>("declared_precision"),
          required<&MatchOptions::percent_as_fraction>("percent_as_fraction"),
      }};
  return table;
}

const json::StructTable<NumericConfig>& numeric_config_table() {
  static const json::StructTable<NumericConfig> table{"NumericConfig",
                                                    {
                                                        defaulted<&NumericConfig::matching>("matching"),
                                                        defaulted<&NumericConfig::units>("units"),
                                                        defaulted<&NumericConfig::derive>("derive"),
                                                        defaulted<&NumericConfig::rounding>("rounding"),
                                                    }};
  return table;
}

const json::StructTable<JudgeReply>& judge_reply_table() {
  static const json::StructTable<JudgeReply> table{"JudgeReply",
                                                 {
                                                     required<&JudgeReply::adapter>("adapter"),
                                                     required<&JudgeReply::model>("model"),
                                                     defaulted<&JudgeReply::response>("response"),
                                                     defaulted<&JudgeReply::error>("error"),
                                                 }};
  return table;
}

const json::StructTable<StoredJudge>& stored_judge_table() {
  static const json::StructTable<StoredJudge> table{"StoredJudge",
                                                  {
                                                      required<&StoredJudge::info>("info"),
                                                      required<&StoredJudge::evidence>("evidence"),
                                                      defaulted<&StoredJudge::failure>("failure"),
                                                  }};
  return table;
}

const json::StructTable<VerifyRequest>& verify_request_table() {
  static const json::StructTable<VerifyRequest> table{
      "VerifyRequest",
      {
          required<&VerifyRequest::answer>("answer"),
          required<&VerifyRequest::sources>("sources"),
          defaulted<&VerifyRequest::question>("question"),
          defaulted<&VerifyRequest::locale>("locale"),
          defaulted<&VerifyRequest::policy_yaml>("policy_yaml"),
          defaulted<&VerifyRequest::rule_sets_json>("rule_sets_json"),
          defaulted<&VerifyRequest::numeric>("numeric"),
          defaulted<&VerifyRequest::signing_key_hex>("signing_key_hex"),
          defaulted<&VerifyRequest::previous_record_hash>("previous_record_hash"),
          defaulted<&VerifyRequest::metadata>("metadata"),
          defaulted<&VerifyRequest::scope>("scope"),
          defaulted<&VerifyRequest::risk_class>("risk_class"),
          defaulted<&VerifyRequest::judge>("judge"),
          defaulted<&VerifyRequest::judge_evidence>("judge_evidence"),
      }};
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

}  // namespace qv::records
