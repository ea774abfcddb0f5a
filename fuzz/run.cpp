// Run verification on an arbitrary policy and transcript (the input's
// first line is the policy, the rest the transcript), on the input as a
// whole request, and the run-record chain reader on the input: no crash, no
// undefined behaviour; a sealed record verifies, and a chain that reads
// reads the same once written out again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "run/convert.hpp"
#include "run/driver.hpp"
#include "run/record.hpp"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
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
