#pragma once
// The road of one run verification: the execution policy read and hashed,
// the event log opened with run_started, the transcript read line by line
// into events, the run closed, its record id, timestamp and signing key
// prepared, and the run evaluated and sealed.
#include <optional>
#include <string>
#include <string_view>

#include "core/error.hpp"
#include "crypto/secret.hpp"
#include "json/error.hpp"
#include "run/record.hpp"

namespace qv::run {

struct RunVerifyRequest {
  std::string trace;        // the MCP transcript, one JSON-RPC message per line
  std::string policy_json;  // the execution policy
  std::string run_id;
  std::string system_id;
  std::optional<std::string> system_version;
  std::optional<std::string> started_at;
  std::optional<crypto::SecretText> signing_key_hex;  // wiped when the request goes
  std::optional<std::string> previous_record_hash;
};

// Reads the request (object or array form; unknown members skipped). A
// previous_record_hash given as the empty text reads as absent: it names no
// record, and a present but empty link is refused by every chain check.
json::JsonResult<RunVerifyRequest> deserialize_run_verify_request(std::string_view text);

// The current UTC time as RFC 3339 text with whole seconds and "Z".
std::string utc_now_rfc3339();

// Verifies the run the request describes and returns its sealed record.
// Failures: InvalidInput "policy: {}", "trace line {}: {}", the transcript
// reader's refusals, "signing key must be 32 bytes hex"; Serialisation from
// canonical JSON. No record is made when any step fails.
core::Result<RunRecord> verify_run(const RunVerifyRequest& request);

}  // namespace qv::run
