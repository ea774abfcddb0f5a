#pragma once
// The append-only, hash-chained event log of one MCP run. Every event
// enters through event_log_append, which gives it its id and sequence,
// refuses an event that would break the log's invariants and advances the
// head: the digest of the event's canonical JSON chained to the previous
// head.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "core/error.hpp"
#include "core/keyed_hash.hpp"
#include "core/vocabulary.hpp"
#include "json/canonical.hpp"
#include "json/value.hpp"
#include "run/policy.hpp"

namespace qv::run {

struct HashedRef {
  std::string id;
  std::optional<std::string> hash;
  bool operator==(const HashedRef&) const = default;
};

struct ToolRef {
  std::string name;
  std::optional<std::string> server;
  bool operator==(const ToolRef&) const = default;
};

enum class ToolStatus : std::uint8_t { Ok = 0, Error = 1, Denied = 2 };
inline constexpr std::array<std::string_view, 3> kToolStatusWords = {"ok", "error", "denied"};

struct Action {
  std::string id;
  std::string operation;
  std::optional<std::string> target;
  std::optional<RiskLevel> risk;
  bool operator==(const Action&) const = default;
};

enum class ActorKind : std::uint8_t { Human = 0, Agent = 1, Service = 2 };
inline constexpr std::array<std::string_view, 3> kActorKindWords = {"human", "agent", "service"};

struct Actor {
  std::string id;
  std::optional<std::string> name;
  ActorKind kind = ActorKind::Human;
  bool operator==(const Actor&) const = default;
};

// The payloads, one per event kind; the kind's word is each type's kWord.
namespace events {
struct RunStarted {
  static constexpr std::string_view kWord = "run_started";
  bool operator==(const RunStarted&) const = default;
};
struct ModelInvocation {
  static constexpr std::string_view kWord = "model_invocation";
  HashedRef model;
  std::string input_hash;
  std::string output_hash;
  bool operator==(const ModelInvocation&) const = default;
};
struct Retrieval {
  static constexpr std::string_view kWord = "retrieval";
  std::string query_hash;
  std::vector<HashedRef> documents;
  bool operator==(const Retrieval&) const = default;
};
struct ClaimExtracted {
  static constexpr std::string_view kWord = "claim_extracted";
  std::string claim_id;
  bool operator==(const ClaimExtracted&) const = default;
};
struct ToolRequested {
  static constexpr std::string_view kWord = "tool_requested";
  ToolRef tool;
  std::string arguments_hash;
  bool operator==(const ToolRequested&) const = default;
};
struct ToolCompleted {
  static constexpr std::string_view kWord = "tool_completed";
  ToolRef tool;
  std::string result_hash;
  ToolStatus status = ToolStatus::Ok;
  bool operator==(const ToolCompleted&) const = default;
};
struct StateRead {
  static constexpr std::string_view kWord = "state_read";
  std::string key;
  bool operator==(const StateRead&) const = default;
};
struct StateWritten {
  static constexpr std::string_view kWord = "state_written";
  std::string key;
  std::string value_hash;
  bool operator==(const StateWritten&) const = default;
};
struct HumanApprovalRequested {
  static constexpr std::string_view kWord = "human_approval_requested";
  Action action;
  bool operator==(const HumanApprovalRequested&) const = default;
};
struct HumanApprovalGranted {
  static constexpr std::string_view kWord = "human_approval_granted";
  Actor actor;
  bool operator==(const HumanApprovalGranted&) const = default;
};
struct ActionExecuted {
  static constexpr std::string_view kWord = "action_executed";
  Action action;
  std::string result_hash;
  bool operator==(const ActionExecuted&) const = default;
};
struct PolicyEvaluated {
  static constexpr std::string_view kWord = "policy_evaluated";
  std::string policy_id;
  std::optional<std::string> policy_hash;
  core::Decision decision = core::Decision::Pass;
  bool operator==(const PolicyEvaluated&) const = default;
};
struct VerificationCompleted {
  static constexpr std::string_view kWord = "verification_completed";
  core::Decision decision = core::Decision::Pass;
  bool operator==(const VerificationCompleted&) const = default;
};
}  // namespace events

using RunEventKind =
    std::variant<events::RunStarted, events::ModelInvocation, events::Retrieval, events::ClaimExtracted,
                 events::ToolRequested, events::ToolCompleted, events::StateRead, events::StateWritten,
                 events::HumanApprovalRequested, events::HumanApprovalGranted, events::ActionExecuted,
                 events::PolicyEvaluated, events::VerificationCompleted>;

struct RunEvent {
  std::string id;  // "ev-{sequence}"
  std::optional<std::string> parent;
  std::uint64_t sequence = 0;
  std::string timestamp;  // as the appender gave it; not parsed
  std::optional<Actor> actor;
  RunEventKind event;
  bool operator==(const RunEvent&) const = default;
};

// {id, parent?, sequence, timestamp, actor?, event: {type, payload...}};
// absent optional members are left out.
json::Value event_to_json(const RunEvent& event);
// The canonical text of event_to_json's value, written onto `out` straight
// from the event.
void write_event_canonical(json::CanonicalOut& out, const RunEvent& event);

struct LogEntry {
  RunEvent event;
  std::string head;
  std::optional<std::string> previous_head;  // absent for the first entry
};

// A transcript request waiting for its response, keyed by its request id.
struct PendingRequest {
  enum class Kind : std::uint8_t { Tool, Sampling };
  Kind kind = Kind::Tool;
  std::string event_id;  // Tool: the tool_requested event
  ToolRef tool;          // Tool
  // Sampling: the canonical digest of the request's params (of null when
  // none), taken when the request comes; a failure is reported when the
  // response comes, where the digest is used.
  core::Result<std::string> params_digest;
};

class EventLog {
 public:
  EventLog() = default;
  EventLog(std::string run_id, std::string system_id, std::optional<std::string> system_version,
           std::string started_at)
      : run_id(std::move(run_id)),
        system_id(std::move(system_id)),
        system_version(std::move(system_version)),
        started_at(std::move(started_at)) {}

  const std::vector<LogEntry>& entries() const { return entries_; }
  std::uint64_t counter() const { return counter_; }
  // The head of the last entry; none for an empty log.
  std::optional<std::string_view> head() const;
  // From now on hands every appended entry, with its event's canonical text
  // (valid during the call), to `consumer`, and keeps the last entry only:
  // for a run whose events are judged and hashed as they come, so that a
  // long run holds no memory per event. entries() then holds the last one.
  void consume_entries(std::function<void(const LogEntry&, std::string_view)> consumer);

  std::string run_id;
  std::string system_id;
  std::optional<std::string> system_version;
  std::string started_at;
  // Copied into the server of every tool reference the transcript makes.
  std::optional<std::string> tool_server;
  core::TextMap<PendingRequest> pending;

  friend core::Result<std::string> event_log_append(EventLog& log, std::optional<std::string> parent,
                                                    std::string timestamp, RunEventKind payload);

 private:
  std::vector<LogEntry> entries_;
  std::uint64_t counter_ = 0;
  std::function<void(const LogEntry&, std::string_view)> consumer_;
  // Buffers of the appends, reused from one event to the next.
  json::CanonicalOut writer_;
  std::string chained_;
};

// Appends an event with the id "ev-{counter}" and that sequence. Refusals,
// all InvalidInput, leave the log unchanged: "duplicate event id {}",
// "event {} sequence {} is not greater than {}", "event {} has parent {},
// which has not been appended". Returns the new id.
core::Result<std::string> event_log_append(EventLog& log, std::optional<std::string> parent, std::string timestamp,
                                           RunEventKind payload);

}  // namespace qv::run
