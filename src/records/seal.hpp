#pragma once
// Sealing a record: the record hash (records/digest.hpp) that chains a
// content hash to the previous record, its Ed25519 signature, and attaching
// a key service's signature to an unsigned record.
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/error.hpp"
#include "crypto/ed25519.hpp"
#include "records/call.hpp"
#include "records/digest.hpp"
#include "records/types.hpp"

namespace qv::records {

using crypto::generate_signing_key;
using crypto::signing_key_from_seed;
using crypto::SigningKey;

struct RecordSignature {
  std::string record_hash;
  std::string signature;   // 128 lower-case hex digits
  std::string public_key;  // 64 lower-case hex digits
};

// The record hash and its Ed25519 signature over the hash text's UTF-8
// bytes (all 71 of them). Cannot fail.
RecordSignature sign_record_hash(std::string_view content_hash, std::optional<std::string_view> previous_record_hash,
                                 std::string_view record_id, std::string_view timestamp, const SigningKey& key);

// Hashes the content, chains and signs it. The algorithm stays absent
// (Ed25519). Fails only as the content hash does.
core::Result<EvidenceRecord> seal_evidence_record(RecordContent content,
                                                  std::optional<std::string> previous_record_hash,
                                                  std::string record_id, std::string timestamp,
                                                  const SigningKey& key);

// The same seal for a caller that has already computed the content's hash
// (compute_content_hash of this content), which it takes instead of
// hashing the content again. Cannot fail.
EvidenceRecord seal_hashed_evidence_record(RecordContent content, std::string content_hash,
                                           std::optional<std::string> previous_record_hash, std::string record_id,
                                           std::string timestamp, const SigningKey& key);

// The sealed record made of an unsigned record and a key service's
// signature: "ed25519" stores the bytes as they are (the seal check judges
// them); "ecdsa-p256-sha256" accepts SEC1 or SubjectPublicKeyInfo keys and
// r||s or DER signatures, and stores the uncompressed key and the low-s
// r||s form. The finished record must pass verify_evidence_record. Every
// failure is InvalidInput: "unknown signature algorithm {}", the two P-256
// form texts, or "the key service's signature was refused: {}" with the
// failing check's display text.
core::Result<EvidenceRecord> attach_signature(UnsignedRecord unsigned_record, std::string_view algorithm,
                                              std::span<const unsigned char> public_key,
                                              std::span<const unsigned char> signature);

// The module's operation on texts: reads the unsigned record (an InputError
// with the reader's text), decodes the key and the signature from hex (an
// InputError with the hex error's text), attaches the signature as above and
// writes the sealed record.
CallResult<std::string> attach_signature_json(std::string_view unsigned_json, std::string_view algorithm,
                                              std::string_view public_key_hex, std::string_view signature_hex);

}  // namespace qv::records
