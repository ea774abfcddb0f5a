#pragma once
// MCP transcript messages to events: "tools/call" requests become
// tool_requested events and their responses tool_completed events;
// "sampling/createMessage" requests wait for their responses, which become
// model_invocation events. Arguments, results and prompts enter the log
// only as canonical JSON digests. Every other message leaves no trace.
#include <optional>
#include <string>
#include <string_view>

#include "core/error.hpp"
#include "json/value.hpp"
#include "run/log.hpp"

namespace qv::run {

// "sha256:" and the hex SHA-256 of the value's canonical compact text.
core::Result<std::string> canonical_json_digest(json::Value value);

// The JSON-RPC id as text: none for an absent or null id, a string as
// itself, any other value as its compact JSON (so 7 and "7" are one id,
// while 7.0 is another).
std::optional<std::string> request_id_text(const json::Value& message);

// Appends the tool_requested event and, with a request id, makes the call
// wait for its response. Returns the event's id.
core::Result<std::string> record_tool_call(EventLog& log, std::optional<std::string> request_id, std::string name,
                                           json::Value arguments, std::string timestamp);

// One message of the transcript: the id of the event it appended, or none.
// A "tools/call" without a string params.name fails with InvalidInput
// "tools/call without a name".
core::Result<std::optional<std::string>> events_from_mcp_transcript(EventLog& log, json::Value message,
                                                                    std::string_view timestamp);

}  // namespace qv::run
