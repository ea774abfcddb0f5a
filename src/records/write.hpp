#pragma once
// Writing the record, graph and context types as JSON. One set of member
// builders (records::emit) drives every sink of the JSON writer family: the
// compact text (json::TextOut), the value form (json::ValueOut) and the
// canonical text the digests are taken over (json::CanonicalOut), so all of
// them carry the same members under the same presence rules:
// - empty `failures`, `artefacts`, receipt `notes` and outcome `reasons`
//   are left out, and so are absent optional texts and spans;
// - `previous_record_hash` alone is written as null when absent;
// - `receipt` is always an object;
// - `score`, `confidence` and `tolerance` are always floats, null when not
//   finite; span offsets are unsigned integers.
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "json/value.hpp"
#include "records/types.hpp"

namespace qv::records::emit {

template <class Out>
void floating(Out& out, double v) {
  if (std::isfinite(v)) {
    out.floating(v);
  } else {
    out.null();
  }
}

template <class Out>
void text(Out& out, std::string_view key, std::string_view value) {
  out.key(key);
  out.string(value);
}

template <class Out>
void optional_text(Out& out, std::string_view key, const std::optional<std::string>& value) {
  if (value) text(out, key, *value);
}

template <class Out>
void text_list(Out& out, const std::vector<std::string>& items) {
  out.begin_array();
  for (const auto& item : items) out.string(item);
  out.end_array();
}

template <class Out>
void text_pairs(Out& out, const std::vector<TextPair>& pairs) {
  out.begin_array();
  for (const auto& [first, second] : pairs) {
    out.begin_array();
    out.string(first);
    out.string(second);
    out.end_array();
  }
  out.end_array();
}

template <class Out, class Map>
void text_map(Out& out, const Map& map) {
  out.begin_object();
  for (const auto& [k, v] : map) text(out, k, v);
  out.end_object();
}

template <class Out>
void decision(Out& out, Decision d) {
  out.string(core::to_word(d));
}

template <class Out>
void value(Out& out, const Span& span) {
  out.begin_object();
  out.key("start");
  out.unsigned_integer(span.start);
  out.key("end");
  out.unsigned_integer(span.end);
  out.end_object();
}

template <class Out>
void value(Out& out, const Determinism& d) {
  out.begin_object();
  text(out, "class", to_word(d.cls));
  if (d.cls == Determinism::Class::Reproducible) {
    out.key("tolerance");
    floating(out, d.tolerance);
  }
  out.end_object();
}

template <class Out>
void value(Out& out, const Receipt& r) {
  out.begin_object();
  optional_text(out, "source_id", r.source_id);
  if (r.source_span) {
    out.key("source_span");
    value(out, *r.source_span);
  }
  optional_text(out, "source_text", r.source_text);
  if (!r.notes.empty()) {
    out.key("notes");
    text_list(out, r.notes);
  }
  out.end_object();
}

template <class Out>
void value(Out& out, const Evidence& e) {
  out.begin_object();
  text(out, "verifier_id", e.verifier_id);
  text(out, "verifier_version", e.verifier_version);
  text(out, "claim_id", e.claim_id);
  text(out, "result", to_word(e.result));
  out.key("score");
  floating(out, e.score);
  out.key("confidence");
  floating(out, e.confidence);
  out.key("determinism");
  value(out, e.determinism);
  text(out, "rationale", e.rationale);
  out.key("receipt");
  value(out, e.receipt);
  optional_text(out, "model_hash", e.model_hash);
  optional_text(out, "calibration_id", e.calibration_id);
  out.end_object();
}

template <class Out>
void value(Out& out, const VerifierInfo& v) {
  out.begin_object();
  text(out, "id", v.id);
  text(out, "version", v.version);
  text(out, "kind", to_word(v.kind));
  out.key("determinism");
  value(out, v.determinism);
  out.key("applies_to");
  out.begin_array();
  for (ClaimKind k : v.applies_to) out.string(core::to_word(k));
  out.end_array();
  if (!v.artefacts.empty()) {
    out.key("artefacts");
    text_pairs(out, v.artefacts);
  }
  out.key("needs_network");
  out.boolean(v.needs_network);
  out.end_object();
}

template <class Out>
void value(Out& out, const EvidenceGraph& g) {
  out.begin_object();
  out.key("verifiers");
  out.begin_array();
  for (const auto& v : g.verifiers) value(out, v);
  out.end_array();
  out.key("evidence");
  out.begin_array();
  for (const auto& e : g.evidence) value(out, e);
  out.end_array();
  if (!g.failures.empty()) {
    out.key("failures");
    text_pairs(out, g.failures);
  }
  out.end_object();
}

template <class Out>
void value(Out& out, const ClaimOutcome& c) {
  out.begin_object();
  text(out, "claim_id", c.claim_id);
  out.key("decision");
  decision(out, c.decision);
  out.key("reasons");
  text_list(out, c.reasons);
  out.end_object();
}

template <class Out>
void value(Out& out, const RegulatoryControl& c) {
  out.begin_object();
  text(out, "framework", c.framework);
  text(out, "article", c.article);
  text(out, "control", c.control);
  text(out, "requirement", c.requirement);
  out.key("triggered_by");
  out.begin_array();
  for (Decision d : c.triggered_by) decision(out, d);
  out.end_array();
  out.end_object();
}

template <class Out>
void regulatory_mapping(Out& out, const std::vector<RegulatoryControl>& controls) {
  out.begin_array();
  for (const auto& c : controls) value(out, c);
  out.end_array();
}

template <class Out>
void value(Out& out, const PolicyOutcome& o) {
  out.begin_object();
  text(out, "policy_id", o.policy_id);
  text(out, "policy_version", o.policy_version);
  text(out, "policy_hash", o.policy_hash);
  out.key("decision");
  decision(out, o.decision);
  out.key("claims");
  out.begin_array();
  for (const auto& c : o.claims) value(out, c);
  out.end_array();
  out.key("missing_required");
  text_list(out, o.missing_required);
  out.key("excluded_verifiers");
  text_pairs(out, o.excluded_verifiers);
  out.key("regulatory_mapping");
  regulatory_mapping(out, o.regulatory_mapping);
  if (!o.reasons.empty()) {
    out.key("reasons");
    text_list(out, o.reasons);
  }
  optional_text(out, "risk_class", o.risk_class);
  optional_text(out, "pass_means", o.pass_means);
  out.end_object();
}

template <class Out>
void value(Out& out, const RecordContent& c) {
  out.begin_object();
  text(out, "schema", c.schema);
  text(out, "engine_version", c.engine_version);
  text(out, "bundle_hash", c.bundle_hash);
  text(out, "input_hash", c.input_hash);
  text(out, "locale", c.locale);
  out.key("graph");
  value(out, c.graph);
  out.key("outcome");
  value(out, c.outcome);
  out.end_object();
}

// The members the sealed and the unsigned record share, in declared order;
// `previous_record_hash` is null when absent.
template <class Out, class Record>
void record_head(Out& out, const Record& r) {
  text(out, "record_id", r.record_id);
  text(out, "timestamp", r.timestamp);
  out.key("content");
  value(out, r.content);
  text(out, "content_hash", r.content_hash);
  out.key("previous_record_hash");
  if (r.previous_record_hash) {
    out.string(*r.previous_record_hash);
  } else {
    out.null();
  }
  text(out, "record_hash", r.record_hash);
}

template <class Out>
void value(Out& out, const EvidenceRecord& r) {
  out.begin_object();
  record_head(out, r);
  text(out, "signature", r.signature);
  text(out, "signer_public_key", r.signer_public_key);
  optional_text(out, "signature_algorithm", r.signature_algorithm);
  out.end_object();
}

template <class Out>
void value(Out& out, const UnsignedRecord& r) {
  out.begin_object();
  record_head(out, r);
  out.end_object();
}

// The input-hash forms of the context's parts.

template <class Out>
void value(Out& out, const Source& s) {
  out.begin_object();
  text(out, "id", s.id);
  text(out, "text", s.text);
  optional_text(out, "locator", s.locator);
  if (!s.provenance.empty()) {
    out.key("provenance");
    text_map(out, s.provenance);
  }
  out.end_object();
}

template <class Out>
void value(Out& out, const Claim& c) {
  out.begin_object();
  text(out, "id", c.id);
  text(out, "kind", core::to_word(c.kind));
  text(out, "text", c.text);
  out.key("span");
  value(out, c.span);
  if (!c.attributes.empty()) {
    out.key("attributes");
    text_map(out, c.attributes);
  }
  out.end_object();
}

template <class Out>
void value(Out& out, const VerificationContext& ctx) {
  out.begin_object();
  optional_text(out, "question", ctx.question);
  text(out, "answer", ctx.answer);
  out.key("sources");
  out.begin_array();
  for (const auto& s : ctx.sources) value(out, s);
  out.end_array();
  out.key("claims");
  out.begin_array();
  for (const auto& c : ctx.claims) value(out, c);
  out.end_array();
  text(out, "locale", ctx.locale);
  if (!ctx.metadata.empty()) {
    out.key("metadata");
    text_map(out, ctx.metadata);
  }
  if (!ctx.scope.empty()) {
    out.key("scope");
    text_map(out, ctx.scope);
  }
  out.end_object();
}

}  // namespace qv::records::emit

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

// Each verifier's run time in run order and the total, in microseconds.
struct VerifierTimings {
  std::vector<std::pair<std::string, std::uint64_t>> verifiers;
  std::uint64_t total_us = 0;
  bool operator==(const VerifierTimings&) const = default;
};
// {"verifiers": [[id, us], ...], "total_us": n}, integers throughout.
json::Value timings_to_value(const VerifierTimings& timings);

}  // namespace qv::records
