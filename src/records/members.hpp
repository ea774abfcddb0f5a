#pragma once
// The members of each record, graph and request type, stated once: name,
// presence and member, in declared order (also the order of a type's array
// form and of its written object). The readers (records/read.hpp) build
// their tables from these lists and the writers (records/write.hpp) walk
// them, so reading and writing cannot drift apart.
//
// Presence: `required` and `optional` members are always written (an
// absent optional as null); a `defaulted` member is left out when it holds
// nothing (an absent optional, an empty list or map) and written otherwise.
//
// Determinism, an internally tagged enum, has its own variant table
// (records/read.cpp) and writer (records/write.hpp).
#include <string_view>
#include <tuple>

#include "json/struct_table.hpp"
#include "records/types.hpp"

namespace qv::records {

// Members<T>::name is the type's name in reading errors; Members<T>::list
// its members.
template <class T>
struct Members;

// Whether a reader refuses members of other names ("unknown field").
template <class T>
inline constexpr bool kDenyUnknownFields = false;

using json::defaulted;
using json::optional;
using json::required;

template <>
struct Members<Span> {
  static constexpr std::string_view name = "Span";
  static constexpr auto list = std::tuple{required<&Span::start, json::UsizeReader>("start"),
                                          required<&Span::end, json::UsizeReader>("end")};
};

template <>
struct Members<Receipt> {
  static constexpr std::string_view name = "Receipt";
  static constexpr auto list = std::tuple{
      defaulted<&Receipt::source_id>("source_id"),
      defaulted<&Receipt::source_span>("source_span"),
      defaulted<&Receipt::source_text>("source_text"),
      defaulted<&Receipt::notes>("notes"),
  };
};

template <>
struct Members<Evidence> {
  static constexpr std::string_view name = "Evidence";
  static constexpr auto list = std::tuple{
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
  };
};

template <>
struct Members<VerifierInfo> {
  static constexpr std::string_view name = "VerifierInfo";
  static constexpr auto list = std::tuple{
      required<&VerifierInfo::id>("id"),
      required<&VerifierInfo::version>("version"),
      required<&VerifierInfo::kind>("kind"),
      required<&VerifierInfo::determinism>("determinism"),
      required<&VerifierInfo::applies_to>("applies_to"),
      defaulted<&VerifierInfo::artefacts>("artefacts"),
      defaulted<&VerifierInfo::needs_network>("needs_network"),
  };
};

template <>
struct Members<EvidenceGraph> {
  static constexpr std::string_view name = "EvidenceGraph";
  static constexpr auto list = std::tuple{
      required<&EvidenceGraph::verifiers>("verifiers"),
      required<&EvidenceGraph::evidence>("evidence"),
      defaulted<&EvidenceGraph::failures>("failures"),
  };
};

template <>
struct Members<ClaimOutcome> {
  static constexpr std::string_view name = "ClaimOutcome";
  static constexpr auto list = std::tuple{
      required<&ClaimOutcome::claim_id>("claim_id"),
      required<&ClaimOutcome::decision>("decision"),
      required<&ClaimOutcome::reasons>("reasons"),
  };
};

template <>
struct Members<RegulatoryControl> {
  static constexpr std::string_view name = "RegulatoryControl";
  static constexpr auto list = std::tuple{
      required<&RegulatoryControl::framework>("framework"),
      required<&RegulatoryControl::article>("article"),
      required<&RegulatoryControl::control>("control"),
      defaulted<&RegulatoryControl::requirement>("requirement"),
      required<&RegulatoryControl::triggered_by>("triggered_by"),
  };
};

// The one type that refuses unknown members.
template <>
inline constexpr bool kDenyUnknownFields<RegulatoryControl> = true;

template <>
struct Members<PolicyOutcome> {
  static constexpr std::string_view name = "PolicyOutcome";
  static constexpr auto list = std::tuple{
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
  };
};

template <>
struct Members<RecordContent> {
  static constexpr std::string_view name = "RecordContent";
  static constexpr auto list = std::tuple{
      required<&RecordContent::schema>("schema"),
      required<&RecordContent::engine_version>("engine_version"),
      required<&RecordContent::bundle_hash>("bundle_hash"),
      required<&RecordContent::input_hash>("input_hash"),
      required<&RecordContent::locale>("locale"),
      required<&RecordContent::graph>("graph"),
      required<&RecordContent::outcome>("outcome"),
  };
};

// The members the sealed and the unsigned record share, in declared order.
// previous_record_hash has no default: the array form must hold it (null
// allowed), and it is written as null when absent.
template <class Record>
constexpr auto record_head_members() {
  return std::tuple{
      required<&Record::record_id>("record_id"),
      required<&Record::timestamp>("timestamp"),
      required<&Record::content>("content"),
      required<&Record::content_hash>("content_hash"),
      optional<&Record::previous_record_hash>("previous_record_hash"),
      required<&Record::record_hash>("record_hash"),
  };
}

template <>
struct Members<EvidenceRecord> {
  static constexpr std::string_view name = "EvidenceRecord";
  static constexpr auto list = std::tuple_cat(record_head_members<EvidenceRecord>(),
                                              std::tuple{
                                                  required<&EvidenceRecord::signature>("signature"),
                                                  required<&EvidenceRecord::signer_public_key>("signer_public_key"),
                                                  defaulted<&EvidenceRecord::signature_algorithm>("signature_algorithm"),
                                              });
};

template <>
struct Members<UnsignedRecord> {
  static constexpr std::string_view name = "UnsignedRecord";
  static constexpr auto list = record_head_members<UnsignedRecord>();
};

template <>
struct Members<Source> {
  static constexpr std::string_view name = "Source";
  static constexpr auto list = std::tuple{
      required<&Source::id>("id"),
      required<&Source::text>("text"),
      defaulted<&Source::locator>("locator"),
      defaulted<&Source::provenance>("provenance"),
  };
};

// Claims and the prepared context are written (their input-hash form) but
// never read.
template <>
struct Members<Claim> {
  static constexpr std::string_view name = "Claim";
  static constexpr auto list = std::tuple{
      required<&Claim::id>("id"),
      required<&Claim::kind>("kind"),
      required<&Claim::text>("text"),
      required<&Claim::span>("span"),
      defaulted<&Claim::attributes>("attributes"),
  };
};

template <>
struct Members<VerificationContext> {
  static constexpr std::string_view name = "VerificationContext";
  static constexpr auto list = std::tuple{
      defaulted<&VerificationContext::question>("question"),
      required<&VerificationContext::answer>("answer"),
      required<&VerificationContext::sources>("sources"),
      required<&VerificationContext::claims>("claims"),
      required<&VerificationContext::locale>("locale"),
      defaulted<&VerificationContext::metadata>("metadata"),
      defaulted<&VerificationContext::scope>("scope"),
  };
};

// The request types are read but never written.
template <>
struct Members<MatchOptions> {
  static constexpr std::string_view name = "MatchOptions";
  static constexpr auto list = std::tuple{
      required<&MatchOptions::declared_precision>("declared_precision"),
      required<&MatchOptions::percent_as_fraction>("percent_as_fraction"),
  };
};

template <>
struct Members<NumericConfig> {
  static constexpr std::string_view name = "NumericConfig";
  static constexpr auto list = std::tuple{
      defaulted<&NumericConfig::matching>("matching"),
      defaulted<&NumericConfig::units>("units"),
      defaulted<&NumericConfig::derive>("derive"),
      defaulted<&NumericConfig::rounding>("rounding"),
  };
};

template <>
struct Members<JudgeReply> {
  static constexpr std::string_view name = "JudgeReply";
  static constexpr auto list = std::tuple{
      required<&JudgeReply::adapter>("adapter"),
      required<&JudgeReply::model>("model"),
      defaulted<&JudgeReply::response>("response"),
      defaulted<&JudgeReply::error>("error"),
  };
};

template <>
struct Members<StoredJudge> {
  static constexpr std::string_view name = "StoredJudge";
  static constexpr auto list = std::tuple{
      required<&StoredJudge::info>("info"),
      required<&StoredJudge::evidence>("evidence"),
      defaulted<&StoredJudge::failure>("failure"),
  };
};

template <>
struct Members<VerifyRequest> {
  static constexpr std::string_view name = "VerifyRequest";
  static constexpr auto list = std::tuple{
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
  };
};

}  // namespace qv::records
