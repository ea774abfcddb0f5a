#include "run/record.hpp"

#include <utility>

#include "records/digest.hpp"
#include "json/typed.hpp"
#include "json/writer.hpp"
#include "records/chain.hpp"
#include "records/verify.hpp"

namespace qv::run {
namespace {
const json::StructTable<Breach>& breach_table();
const json::StructTable<RunRecordContent>& content_table();
const json::StructTable<RunRecord>& record_table();
}  // namespace
}  // namespace qv::run

namespace qv::json {
template <>
struct TypeReader<run::Breach> : StructReader<run::Breach, &run::breach_table> {};
template <>
struct TypeReader<run::RunRecordContent> : StructReader<run::RunRecordContent, &run::content_table> {};
template <>
struct TypeReader<run::RunRecord> : StructReader<run::RunRecord, &run::record_table> {};
}  // namespace qv::json

namespace qv::run {

namespace {

using json::defaulted;
using json::optional;
using json::required;

const json::StructTable<Breach>& breach_table() {
  static const json::StructTable<Breach> table{
      "Breach", {required<&Breach::action_id>("action_id"), required<&Breach::reason>("reason")}};
  return table;
}

const json::StructTable<RunRecordContent>& content_table() {
  static const json::StructTable<RunRecordContent> table{
      "RunRecordContent",
      {
          required<&RunRecordContent::schema>("schema"),
          required<&RunRecordContent::engine_version>("engine_version"),
          required<&RunRecordContent::run_id>("run_id"),
          optional<&RunRecordContent::parent_run_id>("parent_run_id"),
          required<&RunRecordContent::run_hash>("run_hash"),
          optional<&RunRecordContent::log_head>("log_head"),
          required<&RunRecordContent::policy_id>("policy_id"),
          optional<&RunRecordContent::policy_hash>("policy_hash"),
          required<&RunRecordContent::gate>("gate"),
          defaulted<&RunRecordContent::breaches>("breaches"),
      }};
  return table;
}

const json::StructTable<RunRecord>& record_table() {
  static const json::StructTable<RunRecord> table{
      "RunRecord",
      {
          required<&RunRecord::record_id>("record_id"),
          required<&RunRecord::timestamp>("timestamp"),
          required<&RunRecord::content>("content"),
          required<&RunRecord::content_hash>("content_hash"),
          optional<&RunRecord::previous_record_hash>("previous_record_hash"),
          required<&RunRecord::record_hash>("record_hash"),
          required<&RunRecord::signature>("signature"),
          required<&RunRecord::signer_public_key>("signer_public_key"),
      }};
  return table;
}

}  // namespace

json::Value run_record_content_to_value(const RunRecordContent& content) {
  json::Object o;
  o.reserve(10);
  o.insert_or_assign("schema", content.schema);
  o.insert_or_assign("engine_version", content.engine_version);
  o.insert_or_assign("run_id", content.run_id);
  if (content.parent_run_id) o.insert_or_assign("parent_run_id", *content.parent_run_id);
  o.insert_or_assign("run_hash", content.run_hash);
  if (content.log_head) o.insert_or_assign("log_head", *content.log_head);
  o.insert_or_assign("policy_id", content.policy_id);
  if (content.policy_hash) o.insert_or_assign("policy_hash", *content.policy_hash);
  o.insert_or_assign("gate", to_word(content.gate));
  if (!content.breaches.empty()) {
    json::Array breaches;
    breaches.reserve(content.breaches.size());
    for (const Breach& b : content.breaches) {
      json::Object e;
      e.insert_or_assign("action_id", b.action_id);
      e.insert_or_assign("reason", b.reason);
      breaches.emplace_back(std::move(e));
    }
    o.insert_or_assign("breaches", std::move(breaches));
  }
  return o;
}

std::string write_run_record_json(const RunRecord& record) {
  json::Object o;
  o.reserve(8);
  o.insert_or_assign("record_id", record.record_id);
  o.insert_or_assign("timestamp", record.timestamp);
  o.insert_or_assign("content", run_record_content_to_value(record.content));
  o.insert_or_assign("content_hash", record.content_hash);
  if (record.previous_record_hash) o.insert_or_assign("previous_record_hash", *record.previous_record_hash);
  o.insert_or_assign("record_hash", record.record_hash);
  o.insert_or_assign("signature", record.signature);
  o.insert_or_assign("signer_public_key", record.signer_public_key);
  return json::write_json_compact(o);
}

core::Result<std::string> run_record_content_hash(const RunRecordContent& content) {
  return records::canonical_digest(run_record_content_to_value(content));
}

json::JsonResult<RunRecord> read_run_record_json(std::string_view line) {
  return json::read_typed<RunRecord>(line);
}

core::Result<std::vector<RunRecord>> parse_run_records_jsonl(std::string_view text) {
  std::vector<RunRecord> records;
  records::JsonLines lines(text);
  while (const auto line = lines.next()) {
    auto record = read_run_record_json(*line);
    if (!record) return std::unexpected(json::json_error_to_engine_error(record.error()));
    records.push_back(std::move(*record));
  }
  return records;
}

core::Result<std::uint64_t> check_run_record_chain(std::span<const RunRecord> records) {
  const RunRecord* previous = nullptr;
  for (const RunRecord& record : records) {
    auto content_hash = run_record_content_hash(record.content);
    if (!content_hash) return std::unexpected(std::move(content_hash.error()));
    if (auto ok = records::verify_record_seal(records::seal_check(record, *content_hash)); !ok) {
      return std::unexpected(std::move(ok.error()));
    }
    const bool linked = record.previous_record_hash
                            ? previous != nullptr && *record.previous_record_hash == previous->record_hash
                            : previous == nullptr;
    if (!linked) return std::unexpected(core::EngineError::integrity(record.record_id + ": broken chain link"));
    previous = &record;
  }
  return records.size();
}

}  // namespace qv::run
