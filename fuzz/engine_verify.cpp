// Runs the whole verification on arbitrary request texts. A request either
// fails with an error text or gives a sealed record that reads back and
// passes its own seal check; the unsigned form and the judge prompt come
// out of the same request without failing where the sealed one did not.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engine/pipeline_json.hpp"
#include "records/read.hpp"
#include "records/verify.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace qv;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto sealed = engine::verify_request_json(text, engine::RecordForm::Sealed, engine::Timed::No);
  if (!sealed) {
    if (records::display(sealed.error()).empty()) std::abort();
    return 0;
  }
  const auto record = records::read_evidence_record_json(*sealed);
  if (!record || !records::verify_evidence_record(*record)) std::abort();
  const auto prompt = engine::judge_prompt_request_json(text);
  if (!prompt) std::abort();
  return 0;
}
