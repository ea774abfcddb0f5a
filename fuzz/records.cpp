// Reads hostile text as a verify request and as an evidence record. A record
// that reads must write, read back and write again to the same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "records/json.hpp"
#include "records/read.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  (void)qv::records::deserialize_verify_request(text);
  (void)qv::records::read_unsigned_record_json(text);
  auto record = qv::records::read_evidence_record_json(text);
  if (record) {
    const std::string written = qv::records::write_evidence_record_json(*record);
    auto again = qv::records::read_evidence_record_json(written);
    if (!again || !(*again == *record)) std::abort();
    if (qv::records::write_evidence_record_json(*again) != written) std::abort();
    if (!qv::records::compute_content_hash(record->content)) std::abort();
  }
  return 0;
}
