#include "run/log.hpp"

#include <utility>

#include "crypto/sha256.hpp"
#include "json/canonical.hpp"

namespace qv::run {

namespace {

using json::Object;
using json::Value;

void put_optional(Object& o, std::string_view key, const std::optional<std::string>& text) {
  if (text) o.insert_or_assign(std::string(key), *text);
}

Value hashed_ref(const HashedRef& r) {
  Object o;
  o.insert_or_assign("id", r.id);
  put_optional(o, "hash", r.hash);
  return o;
}

Value tool_ref(const ToolRef& t) {
  Object o;
  o.insert_or_assign("name", t.name);
  put_optional(o, "server", t.server);
  return o;
}

Value action(const Action& a) {
  Object o;
  o.insert_or_assign("id", a.id);
  o.insert_or_assign("operation", a.operation);
  put_optional(o, "target", a.target);
  if (a.risk) o.insert_or_assign("risk", to_word(*a.risk));
  return o;
}

Value actor(const Actor& a) {
  Object o;
  o.insert_or_assign("kind", kActorKindWords[static_cast<std::size_t>(a.kind)]);
  o.insert_or_assign("id", a.id);
  put_optional(o, "name", a.name);
  return o;
}

// The payload members of each kind, in the kind's declared order.
struct PayloadMembers {
  Object& o;
  void operator()(const events::RunStarted&) const {}
  void operator()(const events::ModelInvocation& e) const {
    o.insert_or_assign("model", hashed_ref(e.model));
    o.insert_or_assign("input_hash", e.input_hash);
    o.insert_or_assign("output_hash", e.output_hash);
  }
  void operator()(const events::Retrieval& e) const {
    o.insert_or_assign("query_hash", e.query_hash);
    json::Array documents;
    for (const HashedRef& d : e.documents) documents.push_back(hashed_ref(d));
    o.insert_or_assign("documents", std::move(documents));
  }
  void operator()(const events::ClaimExtracted& e) const { o.insert_or_assign("claim_id", e.claim_id); }
  void operator()(const events::ToolRequested& e) const {
    o.insert_or_assign("tool", tool_ref(e.tool));
    o.insert_or_assign("arguments_hash", e.arguments_hash);
  }
  void operator()(const events::ToolCompleted& e) const {
    o.insert_or_assign("tool", tool_ref(e.tool));
    o.insert_or_assign("result_hash", e.result_hash);
    o.insert_or_assign("status", kToolStatusWords[static_cast<std::size_t>(e.status)]);
  }
  void operator()(const events::StateRead& e) const { o.insert_or_assign("key", e.key); }
  void operator()(const events::StateWritten& e) const {
    o.insert_or_assign("key", e.key);
    o.insert_or_assign("value_hash", e.value_hash);
  }
  void operator()(const events::HumanApprovalRequested& e) const { o.insert_or_assign("action", action(e.action)); }
  void operator()(const events::HumanApprovalGranted& e) const { o.insert_or_assign("actor", actor(e.actor)); }
  void operator()(const events::ActionExecuted& e) const {
    o.insert_or_assign("action", action(e.action));
    o.insert_or_assign("result_hash", e.result_hash);
  }
  void operator()(const events::PolicyEvaluated& e) const {
    o.insert_or_assign("policy_id", e.policy_id);
    put_optional(o, "policy_hash", e.policy_hash);
    o.insert_or_assign("decision", core::to_word(e.decision));
  }
  void operator()(const events::VerificationCompleted& e) const {
    o.insert_or_assign("decision", core::to_word(e.decision));
  }
};

core::EngineError refused(std::string message) { return core::EngineError::invalid_input(std::move(message)); }

}  // namespace

Value event_to_json(const RunEvent& event) {
  Object payload;
  std::visit([&](const auto& e) { payload.insert_or_assign("type", std::decay_t<decltype(e)>::kWord); },
             event.event);
  std::visit(PayloadMembers{payload}, event.event);
  Object o;
  o.reserve(6);
  o.insert_or_assign("id", event.id);
  put_optional(o, "parent", event.parent);
  o.insert_or_assign("sequence", event.sequence);
  o.insert_or_assign("timestamp", event.timestamp);
  if (event.actor) o.insert_or_assign("actor", actor(*event.actor));
  o.insert_or_assign("event", std::move(payload));
  return o;
}

std::optional<std::string_view> EventLog::head() const {
  if (entries_.empty()) return std::nullopt;
  return std::string_view(entries_.back().head);
}

void EventLog::reserve(std::size_t n) {
  entries_.reserve(n);
  ids_.reserve(n);
}

std::vector<RunEvent> EventLog::release_events() {
  std::vector<RunEvent> events;
  events.reserve(entries_.size());
  for (LogEntry& e : entries_) events.push_back(std::move(e.event));
  return events;
}

core::Result<std::string> event_log_append(EventLog& log, std::optional<std::string> parent, std::string timestamp,
                                           RunEventKind payload) {
  const std::uint64_t n = log.counter_;
  RunEvent event{"ev-" + std::to_string(n), std::move(parent), n, std::move(timestamp), std::nullopt,
                 std::move(payload)};
  // Sets of the appended ids keep both checks constant-time per append.
  if (log.ids_.contains(event.id)) return std::unexpected(refused("duplicate event id " + event.id));
  if (!log.entries_.empty() && n <= log.entries_.back().event.sequence) {
    return std::unexpected(refused("event " + event.id + " sequence " + std::to_string(n) +
                                   " is not greater than " + std::to_string(log.entries_.back().event.sequence)));
  }
  if (event.parent && !log.ids_.contains(*event.parent)) {
    return std::unexpected(
        refused("event " + event.id + " has parent " + *event.parent + ", which has not been appended"));
  }
  auto text = json::canonical_text(event_to_json(event));
  if (!text) return std::unexpected(std::move(text.error()));
  std::optional<std::string> previous;
  if (!log.entries_.empty()) previous = log.entries_.back().head;
  *text += '\n';
  if (previous) *text += *previous;
  std::string head = "sha256:" + crypto::sha256_hex(*text);
  log.ids_.insert(event.id);
  std::string id = event.id;
  log.entries_.push_back(LogEntry{std::move(event), std::move(head), std::move(previous)});
  ++log.counter_;
  return id;
}

}  // namespace qv::run
