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
