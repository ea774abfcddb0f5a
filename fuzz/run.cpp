// Run verification on an arbitrary policy and transcript (the input's
// first line is the policy, the rest the transcript), on the input as a
// whole request, and the run-record chain reader on the input: no crash, no
// undefined behaviour; a sealed record verifies, and a chain that reads
// reads the same once written out again. Each line of the input is read by
// the transcript line reader and as a value read whole, which give the same
// refusal or the same events with the same hashes; and a string the input
// opens with measures, before it is read, the length it reads as.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "json/parser.hpp"
#include "json/reader.hpp"
#include "json/string_size.hpp"
#include "run/convert.hpp"
#include "run/driver.hpp"
#include "run/record.hpp"
#include "run/transcript.hpp"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

void same_both_ways(std::string_view text) {
  using namespace qv::run;
  EventLog by_text;
  EventLog by_value;
  TranscriptLine reader;
  std::string text_time = "T";
  std::string value_time = "T";
  for (std::size_t pos = 0; pos <= text.size();) {
    const std::size_t feed = std::min(text.find('\n', pos), text.size());
    const std::string_view line = text.substr(pos, feed - pos);
    pos = feed + 1;
    const auto read = reader.read(line);
    auto value = qv::json::read_json(line);
    check(read.has_value() == value.has_value());
    if (!read) {
      check(read.error() == value.error() && reader.messages() == 0);
      continue;
    }
    const auto from_text = reader.append_events(by_text, text_time);
    const auto from_value = append_events_from_value(by_value, std::move(*value), value_time);
    check(from_text.has_value() == from_value.has_value());
    if (!from_text) {
      check(from_text.error().display() == from_value.error().display());
      return;
    }
  }
  check(by_text.entries().size() == by_value.entries().size());
  for (std::size_t i = 0; i < by_text.entries().size(); ++i) {
    check(by_text.entries()[i].event == by_value.entries()[i].event);
    check(by_text.entries()[i].head == by_value.entries()[i].head);
  }
  check(by_text.pending.size() == by_value.pending.size() && text_time == value_time);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  using namespace qv::run;

  const std::size_t feed = text.find('\n');
  RunVerifyRequest request;
  request.policy_json = std::string(text.substr(0, feed));
  request.trace = feed == std::string_view::npos ? std::string() : std::string(text.substr(feed + 1));
  request.run_id = "fuzz";
  request.system_id = "fuzzer";
  request.started_at = "2026-01-01T00:00:00Z";
  request.signing_key_hex = qv::crypto::SecretText(std::string(64, '7'));
  if (auto record = verify_run(request)) {
    check(record->record_id == "run_" + record->content.run_hash.substr(7, 12));
    const std::string written = write_run_record_json(*record);
    check(read_run_record_json(written).value() == *record);
    check(run_record_verify(written).value() == 1);
  } else {
    check(record.error().kind() == qv::core::EngineError::Kind::InvalidInput ||
          record.error().kind() == qv::core::EngineError::Kind::Serialisation);
  }

  (void)run_verify_json(text);
  same_both_ways(text);
  if (!text.empty() && text[0] == '"') {
    std::string scratch;
    qv::json::Parser p(text);
    p.eat();
    if (const auto s = p.parse_string_view(scratch)) check(qv::json::decoded_string_size(text, 1) == s->size());
  }

  if (auto records = parse_run_records_jsonl(text)) {
    const auto verdict = check_run_record_chain(*records);
    std::string again;
    for (const RunRecord& r : *records) again += write_run_record_json(r) + "\r\n\n";
    auto reread = parse_run_records_jsonl(again);
    check(reread.has_value() && *reread == *records);
    const auto second = check_run_record_chain(*reread);
    check(second.has_value() == verdict.has_value());
  }
  return 0;
}
