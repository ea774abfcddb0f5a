#include "run/driver.hpp"

#include <chrono>
#include <cstdio>
#include <utility>

#include "core/panic.hpp"
#include "crypto/ed25519.hpp"
#include "json/typed.hpp"
#include "records/read.hpp"
#include "run/evaluate.hpp"
#include "run/log.hpp"
#include "run/policy.hpp"
#include "json/string_size.hpp"
#include "run/transcript.hpp"
#include "unicode/white_space.hpp"

namespace qv::run {

namespace {

// The trace is most of a request. Its decoded text is built in a buffer
// of its final size, measured first: reading it then holds one copy of it,
// where a buffer grown by doubling held up to two at its last growth.
struct TraceReader {
  static json::JsonResult<void> read(json::Parser& p, std::string& out) {
    if (p.peek_ws() != '"') return json::TypeReader<std::string>::read(p, out);  // its refusal
    if (const auto size = json::decoded_string_size(p.text(), p.index() + 1)) out.reserve(*size);
    p.eat();
    auto s = p.parse_string_view(out);
    if (!s) return std::unexpected(std::move(s.error()));
    if (s->data() != out.data()) out.assign(*s);  // no escape: the view is into the text
    return {};
  }
  static json::JsonResult<void> from_value(const json::Value& v, std::string& out) {
    return json::TypeReader<std::string>::from_value(v, out);
  }
};

// Every optional member has a default, so the array form may end after the
// four required ones.
const json::StructTable<RunVerifyRequest>& request_table() {
  using json::defaulted;
  using json::required;
  static const json::StructTable<RunVerifyRequest> table{
      "RunVerifyRequest",
      {
          required<&RunVerifyRequest::trace, TraceReader>("trace"),
          required<&RunVerifyRequest::policy_json>("policy_json"),
          required<&RunVerifyRequest::run_id>("run_id"),
          required<&RunVerifyRequest::system_id>("system_id"),
          defaulted<&RunVerifyRequest::system_version>("system_version"),
          defaulted<&RunVerifyRequest::started_at>("started_at"),
          defaulted<&RunVerifyRequest::signing_key_hex>("signing_key_hex"),
          defaulted<&RunVerifyRequest::previous_record_hash>("previous_record_hash"),
      }};
  return table;
}

// Reads the transcript into the log; returns the time of the last message
// that carried one (the start time when none did). Each line is read from
// its text, without a value tree.
core::Result<std::string> read_transcript(EventLog& log, std::string_view trace) {
  std::string carried = log.started_at;
  TranscriptLine reader;
  std::uint64_t line_number = 0;
  std::size_t pos = 0;
  while (pos < trace.size()) {
    ++line_number;
    const std::size_t feed = trace.find('\n', pos);
    std::string_view line = trace.substr(pos, feed == std::string_view::npos ? std::string_view::npos : feed - pos);
    pos = feed == std::string_view::npos ? trace.size() : feed + 1;
    if (feed != std::string_view::npos && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    line = unicode::trim_white_space(line);
    if (line.empty()) continue;
    if (auto read = reader.read(line); !read) {
      return std::unexpected(core::EngineError::invalid_input("trace line " + std::to_string(line_number) + ": " +
                                                              read.error().display()));
    }
    // A line holding an array is a batch: each element is one message, in
    // order, so that no call sent in a batch escapes the policy.
    if (auto appended = reader.append_events(log, carried); !appended) {
      return std::unexpected(std::move(appended.error()));
    }
  }
  return carried;
}

}  // namespace

json::JsonResult<RunVerifyRequest> deserialize_run_verify_request(std::string_view text) {
  auto request = json::read_typed<RunVerifyRequest, json::StructReader<RunVerifyRequest, &request_table>>(text);
  if (request && request->previous_record_hash && request->previous_record_hash->empty()) {
    request->previous_record_hash.reset();
  }
  return request;
}

std::string utc_now_rfc3339() {
  using namespace std::chrono;
  const auto now = floor<seconds>(system_clock::now());
  if (now.time_since_epoch().count() < 0) core::panic("system time before Unix epoch");
  const auto day = floor<days>(now);
  const year_month_day date(day);
  const hh_mm_ss<seconds> time(now - day);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                static_cast<int>(time.seconds().count()));
  return text;
}

core::Result<RunRecord> verify_run(const RunVerifyRequest& request) {
  auto policy = deserialize_execution_policy(request.policy_json);
  if (!policy) return std::unexpected(core::EngineError::invalid_input("policy: " + policy.error().display()));
  if (!policy->hash) {
    auto hash = execution_policy_hash(*policy);
    if (!hash) return std::unexpected(std::move(hash.error()));
    policy->hash = std::move(*hash);
  }
  EventLog log(request.run_id, request.system_id, request.system_version,
               request.started_at ? *request.started_at : utc_now_rfc3339());
  // Each event is judged and hashed into the run hash as it is appended, so
  // the log need not keep it: a long run holds no memory per event.
  EventJudge judge(*policy);
  RunHashStream hash_stream({});  // the run has no artifacts
  log.consume_entries([&](const LogEntry& entry, std::string_view text) {
    judge.add(entry.event);
    hash_stream.add_event(text);
  });
  if (auto first = event_log_append(log, std::nullopt, log.started_at, events::RunStarted{}); !first) {
    return std::unexpected(std::move(first.error()));
  }
  auto finished_at = read_transcript(log, request.trace);
  if (!finished_at) return std::unexpected(std::move(finished_at.error()));

  // The run as evaluation sees it, its events already taken in.
  RunTrace run;
  run.run_id = log.run_id;
  run.system = SystemInfo{log.system_id, log.system_version, std::nullopt};
  run.started_at = log.started_at;
  run.finished_at = std::move(*finished_at);
  run.status = RunStatus::Completed;

  auto hash = hash_stream.finish(run);
  if (!hash) return std::unexpected(std::move(hash.error()));
  std::string record_id = "run_" + hash->substr(7, 12);
  std::string timestamp = utc_now_rfc3339();

  std::optional<crypto::SigningKey> key;
  if (request.signing_key_hex) {
    key = crypto::signing_key_from_seed_hex(request.signing_key_hex->view());
    if (!key) return std::unexpected(core::EngineError::invalid_input("signing key must be 32 bytes hex"));
  } else {
    key = crypto::generate_signing_key();
  }
  std::optional<std::string> log_head;
  if (const auto head = log.head()) log_head = std::string(*head);
  return seal_run(run, std::move(*hash), judge.finish(), std::move(log_head), *policy, std::move(record_id),
                  std::move(timestamp), request.previous_record_hash, *key);
}

}  // namespace qv::run
