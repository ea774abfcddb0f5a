#pragma once
// The run record: the sealed result of one verified MCP run, its JSON text,
// the content hash, the reading of stored run records and the check of a
// JSON Lines chain of them.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/error.hpp"
#include "json/error.hpp"
#include "json/value.hpp"
#include "run/policy.hpp"

namespace qv::run {

inline constexpr std::string_view kRunRecordSchema = "quillaveen.run-record/1";

struct Breach {
  std::string action_id;
  std::string reason;
  bool operator==(const Breach&) const = default;
};

struct RunRecordContent {
  std::string schema;
  std::string engine_version;
  std::string run_id;
  std::optional<std::string> parent_run_id;
  std::string run_hash;
  std::optional<std::string> log_head;
  std::string policy_id;
  std::optional<std::string> policy_hash;
  Effect gate = Effect::Allow;
  std::vector<Breach> breaches;
  bool operator==(const RunRecordContent&) const = default;
};

struct RunRecord {
  std::string record_id;
  std::string timestamp;
  RunRecordContent content;
  std::string content_hash;
  std::optional<std::string> previous_record_hash;
  std::string record_hash;
  std::string signature;
  std::string signer_public_key;
  bool operator==(const RunRecord&) const = default;
};

// The content as a JSON value: members in declared order, absent optional
// members and an empty `breaches` left out.
json::Value run_record_content_to_value(const RunRecordContent& content);

// Compact text, members in declared order, absent optional members and an
// empty `breaches` left out (never null). Cannot fail.
std::string write_run_record_json(const RunRecord& record);

// The digest of the content value's canonical text.
core::Result<std::string> run_record_content_hash(const RunRecordContent& content);

// One record read from one line (the position counts within that line).
json::JsonResult<RunRecord> read_run_record_json(std::string_view line);

// The records of a JSON Lines text in order (blank lines skipped). The first
// line that is not a run record ends the reading with Serialisation and its
// reader message; no record is returned then.
core::Result<std::vector<RunRecord>> parse_run_records_jsonl(std::string_view text);

// Checks each record's content hash, seal (Ed25519, named by its record id)
// and link: the first record names no previous record, every later one the
// record_hash of the record before ("{}: broken chain link"). Returns the
// number of records, or the first failure.
core::Result<std::uint64_t> check_run_record_chain(std::span<const RunRecord> records);

}  // namespace qv::run
