#include "engine/pipeline_json.hpp"

#include <utility>

#include "engine/pipeline.hpp"
#include "json/writer.hpp"
#include "records/read.hpp"

namespace qv::engine {

namespace {

std::string timed_json(json::Value record, const records::VerifierTimings& timings) {
  json::Object result;
  result.insert_or_assign("record", std::move(record));
  result.insert_or_assign("timings", records::timings_to_value(timings));
  return json::write_json_compact(json::Value(std::move(result)));
}

template <class Output>
records::CallResult<std::string> written(core::Result<Output>&& output, Timed timed) {
  if (!output) return std::unexpected(std::move(output.error()));
  if constexpr (std::is_same_v<Output, VerificationOutput>) {
    if (timed == Timed::No) return records::write_evidence_record_json(output->record);
    return timed_json(records::evidence_record_to_value(output->record), output->timings);
  } else {
    if (timed == Timed::No) return records::write_unsigned_record_json(output->record);
    return timed_json(records::unsigned_record_to_value(output->record), output->timings);
  }
}

}  // namespace

records::CallResult<std::string> verify_request_json(std::string_view request_json, RecordForm form, Timed timed) {
  auto request = records::deserialize_verify_request(request_json);
  if (!request) return std::unexpected(records::InputError{request.error().display()});
  if (form == RecordForm::Sealed) return written(run_verification_pipeline(*request), timed);
  return written(verify_unsigned(*request), timed);
}

records::CallResult<std::string> judge_prompt_request_json(std::string_view request_json) {
  auto request = records::deserialize_verify_request(request_json);
  if (!request) return std::unexpected(records::InputError{request.error().display()});
  auto prompt = judge_prompt_for_request(*request);
  if (!prompt) return std::unexpected(std::move(prompt.error()));
  return json::write_json_compact(judge_prompt_to_value(*prompt));
}

}  // namespace qv::engine
