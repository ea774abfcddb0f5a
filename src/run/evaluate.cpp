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

Verdict judge_events(std::span<const RunEvent> events, const ExecutionPolicy& policy) {
  Verdict verdict;
  bool approved = false;
  for (const RunEvent& e : events) {
    if (std::holds_alternative<events::HumanApprovalGranted>(e.event)) {
      approved = true;  // holds for the rest of the run, whichever action it followed
      continue;
    }
    if (tool_of(e.event) == nullptr && action_of(e.event) == nullptr) continue;
    const Effect effect = effect_of(e.event, policy);
    verdict.gate = std::max(verdict.gate, effect);
    const auto* executed = std::get_if<events::ActionExecuted>(&e.event);
    if (executed == nullptr) continue;
    if (effect == Effect::Deny) {
      verdict.breaches.push_back({executed->action.id, "executed a denied action (" + executed->action.operation + ")"});
    } else if (effect == Effect::Review && !approved) {
      verdict.breaches.push_back(
          {executed->action.id, "executed action " + executed->action.operation + " without a preceding human approval"});
    }
  }
  if (!verdict.breaches.empty()) verdict.gate = Effect::Deny;
  return verdict;
}

namespace {

// The description's members but `events`, which is streamed beside them.
json::Object description_without_events(const RunTrace& run) {
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
  if (!run.artifacts.empty()) {
    json::Array artifacts;
    for (const Artifact& a : run.artifacts) {
      json::Object x;
      x.insert_or_assign("id", a.id);
      x.insert_or_assign("kind", a.kind);
      x.insert_or_assign("sha256", a.sha256);
      artifacts.emplace_back(std::move(x));
    }
    o.insert_or_assign("artifacts", std::move(artifacts));
  }
  if (run.status) o.insert_or_assign("status", kRunStatusWords[static_cast<std::size_t>(*run.status)]);
  return o;
}

}  // namespace

core::Result<std::string> run_hash(const RunTrace& run) {
  // The canonical text is hashed as it is written, member by member in key
  // order, with the events array at its place among them: a long run is
  // never held as one value tree or one text.
  auto rest = json::canonicalize_json(description_without_events(run));
  if (!rest) return std::unexpected(std::move(rest.error()));
  crypto::Sha256 hasher;
  std::string piece = "{";
  bool first = true;
  auto separate = [&] {
    if (!first) piece += ',';
    first = false;
  };
  bool events_written = false;
  auto write_events = [&]() -> core::Result<void> {
    separate();
    piece += R"("events":[)";
    for (std::size_t i = 0; i < run.events.size(); ++i) {
      if (i != 0) piece += ',';
      auto text = json::canonical_text(event_to_json(run.events[i]));
      if (!text) return std::unexpected(std::move(text.error()));
      hasher.update(piece);
      hasher.update(*text);
      piece.clear();
    }
    piece += ']';
    events_written = true;
    return {};
  };
  for (const json::Member& m : rest->as_object()) {
    if (!events_written && m.key > std::string_view("events")) {
      if (auto ok = write_events(); !ok) return std::unexpected(std::move(ok.error()));
    }
    separate();
    json::write_json_string(m.key, piece);
    piece += ':';
    json::write_json_compact(m.value, piece);
  }
  if (!events_written) {
    if (auto ok = write_events(); !ok) return std::unexpected(std::move(ok.error()));
  }
  piece += '}';
  hasher.update(piece);
  const crypto::Sha256Digest digest = hasher.finish();
  return "sha256:" + crypto::hex_encode(digest);
}

core::Result<RunRecord> evaluate_run(const RunTrace& run, std::span<const LogEntry> log_entries,
                                     const ExecutionPolicy& policy, std::string record_id, std::string timestamp,
                                     std::optional<std::string> previous_record_hash, const crypto::SigningKey& key) {
  auto hash = run_hash(run);
  if (!hash) return std::unexpected(std::move(hash.error()));
  return evaluate_hashed_run(run, std::move(*hash), log_entries, policy, std::move(record_id), std::move(timestamp),
                             std::move(previous_record_hash), key);
}

core::Result<RunRecord> evaluate_hashed_run(const RunTrace& run, std::string run_hash,
                                            std::span<const LogEntry> log_entries, const ExecutionPolicy& policy,
                                            std::string record_id, std::string timestamp,
                                            std::optional<std::string> previous_record_hash,
                                            const crypto::SigningKey& key) {
  Verdict verdict = judge_events(run.events, policy);
  std::optional<std::string> log_head;
  if (!log_entries.empty()) log_head = log_entries.back().head;
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
