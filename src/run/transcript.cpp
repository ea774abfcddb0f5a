#include "run/transcript.hpp"

#include <utility>

#include "records/digest.hpp"
#include "json/writer.hpp"

namespace qv::run {

namespace {

using json::Value;

// The member of an object taken out of it (null when absent).
Value take(Value& object, std::string_view key) {
  if (Value* v = object.find(key)) return std::move(*v);
  return Value();
}

core::Result<std::optional<std::string>> appended(core::Result<std::string> id) {
  if (!id) return std::unexpected(std::move(id.error()));
  return std::optional<std::string>(std::move(*id));
}

core::Result<std::optional<std::string>> complete_tool(EventLog& log, PendingRequest entry, Value& message,
                                                       std::string_view timestamp) {
  bool failed = message.find("error") != nullptr;
  if (!failed) {
    if (const Value* result = message.find("result")) {
      const Value* is_error = result->find("isError");
      failed = is_error != nullptr && is_error->is_bool() && is_error->as_bool();
    }
  }
  Value hashed = message.find("result") != nullptr ? take(message, "result") : take(message, "error");
  auto digest = canonical_json_digest(std::move(hashed));
  if (!digest) return std::unexpected(std::move(digest.error()));
  return appended(event_log_append(
      log, std::move(entry.event_id), std::string(timestamp),
      events::ToolCompleted{std::move(entry.tool), std::move(*digest), failed ? ToolStatus::Error : ToolStatus::Ok}));
}

core::Result<std::optional<std::string>> complete_sampling(EventLog& log, PendingRequest entry, Value& message,
                                                           std::string_view timestamp) {
  Value result = take(message, "result");
  const Value* model = result.find("model");
  std::string model_id = model != nullptr && model->is_string() ? model->as_string() : "unknown";
  auto input = canonical_json_digest(std::move(entry.params));
  if (!input) return std::unexpected(std::move(input.error()));
  auto output = canonical_json_digest(std::move(result));
  if (!output) return std::unexpected(std::move(output.error()));
  return appended(event_log_append(
      log, std::nullopt, std::string(timestamp),
      events::ModelInvocation{HashedRef{std::move(model_id), std::nullopt}, std::move(*input), std::move(*output)}));
}

}  // namespace

core::Result<std::string> canonical_json_digest(json::Value value) { return records::canonical_digest(value); }

std::optional<std::string> request_id_text(const json::Value& message) {
  const Value* id = message.find("id");
  if (id == nullptr || id->is_null()) return std::nullopt;
  if (id->is_string()) return id->as_string();
  return json::write_json_compact(*id);
}

core::Result<std::string> record_tool_call(EventLog& log, std::optional<std::string> request_id, std::string name,
                                           json::Value arguments, std::string timestamp) {
  auto digest = canonical_json_digest(std::move(arguments));
  if (!digest) return std::unexpected(std::move(digest.error()));
  ToolRef tool{std::move(name), log.tool_server};
  auto id = event_log_append(log, std::nullopt, std::move(timestamp), events::ToolRequested{tool, std::move(*digest)});
  if (!id) return id;
  if (request_id) {
    // A request under an id already waiting replaces the earlier one.
    log.pending.insert_or_assign(std::move(*request_id), PendingRequest{PendingRequest::Kind::Tool, *id,
                                                                        std::move(tool), Value()});
  }
  return id;
}

core::Result<std::optional<std::string>> events_from_mcp_transcript(EventLog& log, json::Value message,
                                                                    std::string_view timestamp) {
  std::optional<std::string> request_id = request_id_text(message);
  const Value* method = message.find("method");
  if (method != nullptr && method->is_string()) {
    if (method->as_string() == "tools/call") {
      Value params = take(message, "params");
      const Value* name = params.find("name");
      if (name == nullptr || !name->is_string()) {
        return std::unexpected(core::EngineError::invalid_input("tools/call without a name"));
      }
      std::string tool_name = name->as_string();
      return appended(record_tool_call(log, std::move(request_id), std::move(tool_name), take(params, "arguments"),
                                       std::string(timestamp)));
    }
    if (method->as_string() == "sampling/createMessage" && request_id) {
      log.pending.insert_or_assign(std::move(*request_id),
                                   PendingRequest{PendingRequest::Kind::Sampling, {}, {}, take(message, "params")});
    }
    return std::optional<std::string>();
  }
  // A response: it completes the request waiting under its id, if any.
  if (!request_id) return std::optional<std::string>();
  auto waiting = log.pending.find(*request_id);
  if (waiting == log.pending.end()) return std::optional<std::string>();
  PendingRequest entry = std::move(waiting->second);
  log.pending.erase(waiting);
  if (entry.kind == PendingRequest::Kind::Tool) return complete_tool(log, std::move(entry), message, timestamp);
  return complete_sampling(log, std::move(entry), message, timestamp);
}

}  // namespace qv::run
