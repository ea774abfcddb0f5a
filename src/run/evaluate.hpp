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

// Judges the run, hashes it, builds the content and seals it with the key.
core::Result<RunRecord> evaluate_run(const RunTrace& run, std::span<const LogEntry> log_entries,
                                     const ExecutionPolicy& policy, std::string record_id, std::string timestamp,
                                     std::optional<std::string> previous_record_hash, const crypto::SigningKey& key);
// The same with the run hash already taken (by run_hash of the same run).
core::Result<RunRecord> evaluate_hashed_run(const RunTrace& run, std::string run_hash,
                                            std::span<const LogEntry> log_entries, const ExecutionPolicy& policy,
                                            std::string record_id, std::string timestamp,
                                            std::optional<std::string> previous_record_hash,
                                            const crypto::SigningKey& key);

}  // namespace qv::run
