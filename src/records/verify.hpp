#pragma once
// Checking a stored record's seal: content hash, record hash, then the
// signature over the record hash under the record's algorithm.
#include <optional>
#include <string>
#include <string_view>

#include "core/error.hpp"
#include "records/types.hpp"

namespace qv::records {

// Recomputes the content hash and checks the seal. Every failure is
// Integrity.
core::Result<void> verify_evidence_record(const EvidenceRecord& record);

// What a seal check compares: the members of a stored record that its seal
// covers, and the content hash recomputed from its content. Borrowed.
struct SealCheck {
  std::string_view recomputed_content_hash;
  std::string_view content_hash;
  std::optional<std::string_view> previous_record_hash;
  std::string_view record_id;
  std::string_view timestamp;
  std::string_view record_hash;
  std::string_view signature;          // hex
  std::string_view signer_public_key;  // hex
  std::optional<std::string_view> signature_algorithm;  // absent means Ed25519
};

// The seal check of any record that carries the sealed members (an
// EvidenceRecord, a run record), against its recomputed content hash. A
// record without a signature_algorithm member is Ed25519.
template <class Record>
SealCheck seal_check(const Record& record, std::string_view recomputed_content_hash) {
  auto view = [](const std::optional<std::string>& text) -> std::optional<std::string_view> {
    if (!text) return std::nullopt;
    return std::string_view(*text);
  };
  std::optional<std::string_view> algorithm;
  if constexpr (requires { record.signature_algorithm; }) algorithm = view(record.signature_algorithm);
  return SealCheck{
      .recomputed_content_hash = recomputed_content_hash,
      .content_hash = record.content_hash,
      .previous_record_hash = view(record.previous_record_hash),
      .record_id = record.record_id,
      .timestamp = record.timestamp,
      .record_hash = record.record_hash,
      .signature = record.signature,
      .signer_public_key = record.signer_public_key,
      .signature_algorithm = algorithm,
  };
}

// The seal check without the record type, stopping at the first failure:
//   "{id}: content hash mismatch"        stored and recomputed hashes differ
//   "{id}: record hash mismatch"         the chained hash differs
//   "{id}: unknown signature algorithm {alg}"
// then the signature check of the algorithm (absent means Ed25519):
//   Ed25519:  "bad public key", "signature error: Cannot decompress Edwards
//             point", "bad signature encoding", "{id}: signature does not verify"
//   P-256:    "{id}: bad public key encoding", "{id}: bad P-256 public key",
//             "{id}: bad signature encoding", "{id}: bad P-256 signature",
//             "{id}: signature does not verify"
// All comparisons are byte for byte.
core::Result<void> verify_record_seal(const SealCheck& seal);

}  // namespace qv::records
