#include "run/evaluate.hpp"

#include <algorithm>
#include <utility>

#include "core/version.hpp"
#include "crypto/hex.hpp"
#include "crypto/sha256.hpp"
#include "json/canonical.hpp"
#include "json/writer.hpp"
#include "records/seal.hpp"

namespace qv::run {

namespace {

const ToolRef* tool_of(const RunEventKind& event) {
  if (const auto* e = std::get_if<events::ToolRequested>(&event)) return &e->tool;
  if (const auto* e = std::get_if<events::ToolCompleted>(&event)) return &e->tool;
  return nullptr;
}

const Action* action_of(const RunEventKind& event) {
  if (const auto* e = std::get_if<events::ActionExecuted>(&event)) return &e->action;
  if (const auto* e = std::get_if<events::HumanApprovalRequested>(&event)) return &e->action;
  return nullptr;
}

Effect effect_of(const RunEventKind& event, const ExecutionPolicy& policy) {
  for (const ExecutionRule& rule : policy.rules) {
    if (rule_applies(rule.match, event)) return rule.effect;
  }
  return policy.default_effect;
}

}  // namespace

bool rule_applies(const RuleMatch& match, const RunEventKind& event) {
  const ToolRef* tool = tool_of(event);
  const Action* action = action_of(event);
  switch (match.kind) {
    case RuleMatch::Kind::Tool:
      return tool != nullptr && tool->name == match.name && (!match.server || tool->server == match.server);
    case RuleMatch::Kind::Action:
      return action != nullptr && action->operation == match.operation;
    case RuleMatch::Kind::RiskAtLeast:
      return action != nullptr && action->risk && *action->risk >= match.risk;
    case RuleMatch::Kind::Any:
      return tool != nullptr || action != nullptr;
  }
  return false;
}

void EventJudge::add(const RunEvent& e) {
  if (std::holds_alternative<events::HumanApprovalGranted>(e.event)) {
    approved_ = true;  // holds for the rest of the run, whichever action it followed
    return;
  }
  if (tool_of(e.event) == nullptr && action_of(e.event) == nullptr) return;
  const Effect effect = effect_of(e.event, policy_);
  verdict_.gate = std::max(verdict_.gate, effect);
  const auto* executed = std::get_if<events::ActionExecuted>(&e.event);
  if (executed == nullptr) return;
  if (effect == Effect::Deny) {
    verdict_.breaches.push_back({executed->action.id, "executed a denied action (" + executed->action.operation + ")"});
  } else if (effect == Effect::Review && !approved_) {
    verdict_.breaches.push_back(
        {executed->action.id, "executed action " + executed->action.operation + " without a preceding human approval"});
  }
}

Verdict EventJudge::finish() {
  if (!verdict_.breaches.empty()) verdict_.gate = Effect::Deny;
  return std::move(verdict_);
}

Verdict judge_events(std::span<const RunEvent> events, const ExecutionPolicy& policy) {
  EventJudge judge(policy);
  for (const RunEvent& e : events) judge.add(e);
  return judge.finish();
}

namespace {

// The description's members that sort after `events`: all but `artifacts`.
json::Object description_after_events(const RunTrace& run) {
  json::Object o;
  o.insert_or_assign("run_id", run.run_id);
  if (run.parent_run_id) o.insert_or_assign("parent_run_id", *run.parent_run_id);
  json::Object system;
  system.insert_or_assign("id", run.system.id);
  if (run.system.version) system.insert_or_assign("version", *run.system.version);
  if (run.system.deployment) system.insert_or_assign("deployment", *run.system.deployment);
  o.insert_or_assign("system", std::move(system));
  o.insert_or_assign("started_at", run.started_at);
  if (run.finished_at) o.insert_or_assign("finished_at", *run.finished_at);
  if (run.status) o.insert_or_assign("status", kRunStatusWords[static_cast<std::size_t>(*run.status)]);
  return o;
}

}  // namespace

// The canonical text is hashed as it is written, with the events array at
// its place among the members in key order: a long run is never held as one
// value tree or one text.
RunHashStream::RunHashStream(std::span<const Artifact> artifacts) {
  std::string piece = "{";
  if (!artifacts.empty()) {
    json::Array list;
    for (const Artifact& a : artifacts) {
      json::Object x;
      x.insert_or_assign("id", a.id);
      x.insert_or_assign("kind", a.kind);
      x.insert_or_assign("sha256", a.sha256);
      list.emplace_back(std::move(x));
    }
    piece += R"("artifacts":)";
    json::write_json_compact(json::Value(std::move(list)), piece);  // each object's keys in order already
    piece += ',';
  }
  piece += R"("events":[)";
  hasher_.update(piece);
}

void RunHashStream::add_event(std::string_view canonical_text) {
  if (!first_event_) hasher_.update(",");
  first_event_ = false;
  hasher_.update(canonical_text);
}

core::Result<std::string> RunHashStream::finish(const RunTrace& run) {
  auto rest = json::canonicalize_json(description_after_events(run));
  if (!rest) return std::unexpected(std::move(rest.error()));
  std::string piece = "]";
  for (const json::Member& m : rest->as_object()) {
    piece += ',';
    json::write_json_string(m.key, piece);
    piece += ':';
    json::write_json_compact(m.value, piece);
  }
  piece += '}';
  hasher_.update(piece);
  const crypto::Sha256Digest digest = hasher_.finish();
  return "sha256:" + crypto::hex_encode(digest);
}

core::Result<std::string> run_hash(const RunTrace& run) {
  RunHashStream stream(run.artifacts);
  json::CanonicalOut text;
  for (const RunEvent& e : run.events) {
    text.reset();
    write_event_canonical(text, e);
    stream.add_event(text.text());
  }
  return stream.finish(run);
}

core::Result<RunRecord> evaluate_run(const RunTrace& run, std::span<const LogEntry> log_entries,
                                     const ExecutionPolicy& policy, std::string record_id, std::string timestamp,
                                     std::optional<std::string> previous_record_hash, const crypto::SigningKey& key) {
  auto hash = run_hash(run);
  if (!hash) return std::unexpected(std::move(hash.error()));
  std::optional<std::string> log_head;
  if (!log_entries.empty()) log_head = log_entries.back().head;
  return seal_run(run, std::move(*hash), judge_events(run.events, policy), std::move(log_head), policy,
                  std::move(record_id), std::move(timestamp), std::move(previous_record_hash), key);
}

core::Result<RunRecord> seal_run(const RunTrace& run, std::string run_hash, Verdict verdict,
                                 std::optional<std::string> log_head, const ExecutionPolicy& policy,
                                 std::string record_id, std::string timestamp,
                                 std::optional<std::string> previous_record_hash, const crypto::SigningKey& key) {
  RunRecordContent c{std::string(kRunRecordSchema), std::string(core::kEngineVersion), run.run_id,
                     run.parent_run_id, std::move(run_hash), std::move(log_head), policy.id, policy.hash,
                     verdict.gate, std::move(verdict.breaches)};
  auto content_hash = run_record_content_hash(c);
  if (!content_hash) return std::unexpected(std::move(content_hash.error()));
  const std::optional<std::string_view> previous =
      previous_record_hash ? std::optional<std::string_view>(*previous_record_hash) : std::nullopt;
  records::RecordSignature seal = records::sign_record_hash(*content_hash, previous, record_id, timestamp, key);
  return RunRecord{std::move(record_id),       std::move(timestamp),
                   std::move(c),               std::move(*content_hash),
                   std::move(previous_record_hash), std::move(seal.record_hash),
                   std::move(seal.signature),  std::move(seal.public_key)};
}

}  // namespace qv::run
