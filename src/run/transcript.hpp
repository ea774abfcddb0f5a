#pragma once
// MCP transcript messages to events: "tools/call" requests become
// tool_requested events and their responses tool_completed events;
// "sampling/createMessage" requests wait for their responses, which become
// model_invocation events. Arguments, results and prompts enter the log
// only as canonical JSON digests. Every other message leaves no trace.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/error.hpp"
#include "json/canonical.hpp"
#include "json/error.hpp"
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

// The value of one line of a transcript turned into events as
// TranscriptLine turns the line's text: the value when it is an object, or
// each object of an array in order, each stamped with its string "ts" or
// else the carried time, which is then carried on. Stops at the first
// refusal and returns it. The full path the line reader is held equal to.
core::Result<void> append_events_from_value(EventLog& log, json::Value line, std::string& carried);

// One line of a transcript, read from its text without building a value:
// its messages (the value when it is an object; in a batch, each element
// that is an object, in order) with where the members read of them stand in
// the line. Buffers are reused from one line to the next.
class TranscriptLine {
 public:
  // Reads the (trimmed) line as exactly one JSON value, with read_json's
  // errors and positions.
  json::JsonResult<void> read(std::string_view line);
  // The number of messages the line holds.
  std::size_t messages() const { return messages_.size(); }
  // Turns the messages of the line just read into events in order, as
  // events_from_mcp_transcript does with each, stamped with the message's
  // string "ts" or else the carried time; that time is then carried on.
  // Stops at the first refusal and returns it.
  core::Result<void> append_events(EventLog& log, std::string& carried);

  // Where a member's value stands in the line: from the end of its key to
  // the end of its value. A member the message lacks has `end` 0.
  struct Member {
    std::size_t after_key = 0;
    std::size_t end = 0;
    bool present() const { return end != 0; }
  };
  // The members of one message that turning it into events reads; of a
  // name that comes twice, the last (as a value read from the text keeps).
  struct Message {
    Member id, method, params, result, error, ts;
  };

 private:
  std::string_view line_;
  std::vector<Message> messages_;
  std::string scratch_;        // a string or key read with escapes
  json::CanonicalOut digest_;  // the canonical text of a member being hashed
};

}  // namespace qv::run
