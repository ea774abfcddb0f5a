#include "run/log.hpp"

#include <charconv>
#include <utility>

#include "crypto/digest.hpp"
#include "json/writer.hpp"

namespace qv::run {

namespace {

// Writes an event's members, in declared order, to a sink of the JSON
// writer family: a value tree (ValueOut) or the canonical text
// (CanonicalOut, which sorts each object as it closes).
template <class Sink>
struct EventWriter {
  Sink& out;

  void key(std::string_view k) {
    if constexpr (requires { out.plain_key(k); }) {
      out.plain_key(k);  // the member names hold nothing to escape
    } else {
      out.key(k);
    }
  }
  void text(std::string_view k, std::string_view value) {
    key(k);
    out.string(value);
  }
  void optional_text(std::string_view k, const std::optional<std::string>& value) {
    if (value) text(k, *value);
  }
  // The nested forms, each an object of its members in declared order;
  // HashedRef and ToolRef alike hold a text and an optional text.
  [[gnu::always_inline]] void ref(std::string_view k, std::string_view value, std::string_view optional_k,
                                  const std::optional<std::string>& optional_value) {
    out.begin_object();
    text(k, value);
    optional_text(optional_k, optional_value);
    out.end_object();
  }
  void object(const HashedRef& r) { ref("id", r.id, "hash", r.hash); }
  void object(const ToolRef& t) { ref("name", t.name, "server", t.server); }
  void object(const Action& a) {
    out.begin_object();
    text("id", a.id);
    text("operation", a.operation);
    optional_text("target", a.target);
    if (a.risk) text("risk", to_word(*a.risk));
    out.end_object();
  }
  void object(const Actor& a) {
    out.begin_object();
    text("kind", kActorKindWords[static_cast<std::size_t>(a.kind)]);
    text("id", a.id);
    optional_text("name", a.name);
    out.end_object();
  }
  template <class T>
  void member(std::string_view k, const T& value) {
    key(k);
    object(value);
  }

  // The payload members of each kind, in the kind's declared order.
  void operator()(const events::RunStarted&) {}
  void operator()(const events::ModelInvocation& e) {
    member("model", e.model);
    text("input_hash", e.input_hash);
    text("output_hash", e.output_hash);
  }
  void operator()(const events::Retrieval& e) {
    text("query_hash", e.query_hash);
    key("documents");
    out.begin_array();
    for (const HashedRef& d : e.documents) object(d);
    out.end_array();
  }
  void operator()(const events::ClaimExtracted& e) { text("claim_id", e.claim_id); }
  void operator()(const events::ToolRequested& e) {
    member("tool", e.tool);
    text("arguments_hash", e.arguments_hash);
  }
  void operator()(const events::ToolCompleted& e) {
    member("tool", e.tool);
    text("result_hash", e.result_hash);
    text("status", kToolStatusWords[static_cast<std::size_t>(e.status)]);
  }
  void operator()(const events::StateRead& e) { text("key", e.key); }
  void operator()(const events::StateWritten& e) {
    text("key", e.key);
    text("value_hash", e.value_hash);
  }
  void operator()(const events::HumanApprovalRequested& e) { member("action", e.action); }
  void operator()(const events::HumanApprovalGranted& e) { member("actor", e.actor); }
  void operator()(const events::ActionExecuted& e) {
    member("action", e.action);
    text("result_hash", e.result_hash);
  }
  void operator()(const events::PolicyEvaluated& e) {
    text("policy_id", e.policy_id);
    optional_text("policy_hash", e.policy_hash);
    text("decision", core::to_word(e.decision));
  }
  void operator()(const events::VerificationCompleted& e) { text("decision", core::to_word(e.decision)); }

  void event(const RunEvent& e) {
    out.begin_object();
    text("id", e.id);
    optional_text("parent", e.parent);
    key("sequence");
    out.unsigned_integer(e.sequence);
    text("timestamp", e.timestamp);
    if (e.actor) member("actor", *e.actor);
    key("event");
    out.begin_object();
    std::visit([&](const auto& payload) { text("type", std::decay_t<decltype(payload)>::kWord); }, e.event);
    std::visit(*this, e.event);
    out.end_object();
    out.end_object();
  }
};

// The ids given so far are exactly "ev-{k}" for every k below the counter,
// so whether an id was given is read from the id itself, without a table.
bool names_appended_event(std::string_view id, std::uint64_t counter) {
  if (!id.starts_with("ev-")) return false;
  id.remove_prefix(3);
  if (id.empty() || (id.front() == '0' && id.size() > 1)) return false;  // "ev-{k}" has no leading zero
  std::uint64_t k = 0;
  const auto [end, ec] = std::from_chars(id.data(), id.data() + id.size(), k);
  return ec == std::errc() && end == id.data() + id.size() && k < counter;
}

core::EngineError refused(std::string message) { return core::EngineError::invalid_input(std::move(message)); }

}  // namespace

json::Value event_to_json(const RunEvent& event) {
  json::ValueOut out;
  EventWriter<json::ValueOut>{out}.event(event);
  return out.take();
}

void write_event_canonical(json::CanonicalOut& out, const RunEvent& event) {
  EventWriter<json::CanonicalOut>{out}.event(event);
}

std::optional<std::string_view> EventLog::head() const {
  if (entries_.empty()) return std::nullopt;
  return std::string_view(entries_.back().head);
}

void EventLog::consume_entries(std::function<void(const LogEntry&, std::string_view)> consumer) {
  consumer_ = std::move(consumer);
  if (entries_.size() > 1) entries_.erase(entries_.begin(), entries_.end() - 1);
}

core::Result<std::string> event_log_append(EventLog& log, std::optional<std::string> parent, std::string timestamp,
                                           RunEventKind payload) {
  const std::uint64_t n = log.counter_;
  RunEvent event{"ev-" + std::to_string(n), std::move(parent), n, std::move(timestamp), std::nullopt,
                 std::move(payload)};
  if (names_appended_event(event.id, n)) return std::unexpected(refused("duplicate event id " + event.id));
  if (!log.entries_.empty() && n <= log.entries_.back().event.sequence) {
    return std::unexpected(refused("event " + event.id + " sequence " + std::to_string(n) +
                                   " is not greater than " + std::to_string(log.entries_.back().event.sequence)));
  }
  if (event.parent && !names_appended_event(*event.parent, n)) {
    return std::unexpected(
        refused("event " + event.id + " has parent " + *event.parent + ", which has not been appended"));
  }
  // The head: the digest of the canonical text, a line feed and the
  // previous head. Events hold no floats, so the text cannot fail.
  log.writer_.reset();
  write_event_canonical(log.writer_, event);
  std::optional<std::string> previous;
  if (!log.entries_.empty()) previous = log.entries_.back().head;
  log.chained_.assign(log.writer_.text());
  log.chained_ += '\n';
  if (previous) log.chained_ += *previous;
  std::string head = crypto::text_digest(log.chained_);
  std::string id = event.id;
  LogEntry entry{std::move(event), std::move(head), std::move(previous)};
  if (log.consumer_ && !log.entries_.empty()) {
    log.entries_.back() = std::move(entry);
  } else {
    log.entries_.push_back(std::move(entry));
  }
  ++log.counter_;
  if (log.consumer_) log.consumer_(log.entries_.back(), log.writer_.text());
  return id;
}

}  // namespace qv::run
