#pragma once
// Run evaluation: the run's events judged against the execution policy
// (gate, approvals, breaches), the run hash over the run description, and
// the sealed run record.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/error.hpp"
#include "crypto/ed25519.hpp"
#include "crypto/sha256.hpp"
#include "json/value.hpp"
#include "run/log.hpp"
#include "run/policy.hpp"
#include "run/record.hpp"

namespace qv::run {

struct SystemInfo {
  std::string id;
  std::optional<std::string> version;
  std::optional<std::string> deployment;
};

struct Artifact {
  std::string id;
  std::string kind;
  std::string sha256;
};

enum class RunStatus : std::uint8_t { Completed, Partial, Failed, Aborted, Timeout };
inline constexpr std::array<std::string_view, 5> kRunStatusWords = {"completed", "partial", "failed", "aborted",
                                                                    "timeout"};

// A finished run as evaluation receives it.
struct RunTrace {
  std::string run_id;
  SystemInfo system;
  std::string started_at;
  std::vector<RunEvent> events;
  std::vector<Artifact> artifacts;
  std::optional<std::string> parent_run_id;
  std::optional<std::string> finished_at;
  std::optional<RunStatus> status;
};

// "sha256:" digest of the canonical text of the run description {run_id,
// parent_run_id?, system, started_at, finished_at?, events, artifacts (when
// not empty), status?}, each event as event_to_json writes it.
core::Result<std::string> run_hash(const RunTrace& run);

// run_hash taken while the events come one at a time, as their canonical
// texts in the run's order, so that no event need be kept for it.
class RunHashStream {
 public:
  // Starts the description with the members that sort before `events`.
  explicit RunHashStream(std::span<const Artifact> artifacts);
  void add_event(std::string_view canonical_text);
  // Ends the description with the run's members that sort after `events`
  // (the run's events and artifacts are not looked at) and gives the hash.
  core::Result<std::string> finish(const RunTrace& run);

 private:
  crypto::Sha256 hasher_;
  bool first_event_ = true;
};

// True when the rule selects the event: tool rules select tool events (of
// that server, when the rule names one), action and risk rules select action
// events, `any` selects every evaluated event. Byte comparisons.
bool rule_applies(const RuleMatch& match, const RunEventKind& event);

struct Verdict {
  Effect gate = Effect::Allow;
  std::vector<Breach> breaches;
};
// The gate and the breaches of a run's events under the policy.
Verdict judge_events(std::span<const RunEvent> events, const ExecutionPolicy& policy);

// judge_events taken one event at a time, in the run's order.
class EventJudge {
 public:
  explicit EventJudge(const ExecutionPolicy& policy) : policy_(policy) {}
  void add(const RunEvent& event);
  // The verdict of the events added; the judge is spent.
  Verdict finish();

 private:
  const ExecutionPolicy& policy_;
  Verdict verdict_;
  bool approved_ = false;  // a human approval came
};

// Judges the run, hashes it, builds the content and seals it with the key.
core::Result<RunRecord> evaluate_run(const RunTrace& run, std::span<const LogEntry> log_entries,
                                     const ExecutionPolicy& policy, std::string record_id, std::string timestamp,
                                     std::optional<std::string> previous_record_hash, const crypto::SigningKey& key);
// The last steps of evaluate_run, with the run already hashed (run_hash)
// and judged (judge_events) and the log's head: builds the content and
// seals it with the key.
core::Result<RunRecord> seal_run(const RunTrace& run, std::string run_hash, Verdict verdict,
                                 std::optional<std::string> log_head, const ExecutionPolicy& policy,
                                 std::string record_id, std::string timestamp,
                                 std::optional<std::string> previous_record_hash, const crypto::SigningKey& key);

}  // namespace qv::run
