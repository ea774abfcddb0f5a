// Reads hostile text as a verify request and as an evidence record. A record
// that reads must write, read back and write again to the same text, and
// its content hash must equal the canonical digest of its value form. The
// chain reader gives the full reader's record (or, keeping the seal only,
// every member but the content), content hash or error, also with what
// another record left in its kept buffers.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "record_agreement.hpp"
#include "records/digest.hpp"
#include "records/write.hpp"
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
    // The direct canonical text agrees with the canonical form of the value.
    auto hash = qv::records::compute_content_hash(record->content);
    auto via_value = qv::records::canonical_digest(qv::records::record_content_to_value(record->content));
    if (!hash || !via_value || *hash != *via_value) std::abort();
  }
  qv::records::EvidenceRecordReader reader;
  // One that keeps the seal only: the same members but the content, whose
  // values it leaves unspecified, and the same content hash.
  qv::records::EvidenceRecordReader seal_reader(qv::records::EvidenceRecordReader::Keep::Seal);
  const auto same = [&](std::string_view t) { qv::fuzzing::records_agree(reader, seal_reader, t); };
  same(text);
  if (record) {
    same(qv::records::write_evidence_record_json(*record));
    same(text);
  }
  return 0;
}
