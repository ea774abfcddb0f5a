#include "records/seal.hpp"

#include <utility>

#include "crypto/hex.hpp"
#include "crypto/p256.hpp"
#include "crypto/signature.hpp"
#include "records/read.hpp"
#include "records/verify.hpp"
#include "records/write.hpp"

namespace qv::records {

RecordSignature sign_record_hash(std::string_view content_hash, std::optional<std::string_view> previous_record_hash,
                                 std::string_view record_id, std::string_view timestamp, const SigningKey& key) {
  RecordSignature out;
  out.record_hash = compute_record_hash(content_hash, previous_record_hash, record_id, timestamp);
  out.signature = crypto::hex_encode(key.sign_text(out.record_hash));
  out.public_key = crypto::hex_encode(key.public_key());
  return out;
}

core::Result<EvidenceRecord> seal_evidence_record(RecordContent content,
                                                  std::optional<std::string> previous_record_hash,
                                                  std::string record_id, std::string timestamp,
                                                  const SigningKey& key) {
  auto content_hash = compute_content_hash(content);
  if (!content_hash) return std::unexpected(std::move(content_hash.error()));
  return seal_hashed_evidence_record(std::move(content), std::move(*content_hash), std::move(previous_record_hash),
                                     std::move(record_id), std::move(timestamp), key);
}

EvidenceRecord seal_hashed_evidence_record(RecordContent content, std::string content_hash,
                                           std::optional<std::string> previous_record_hash, std::string record_id,
                                           std::string timestamp, const SigningKey& key) {
  RecordSignature sig = sign_record_hash(content_hash, previous_record_hash, record_id, timestamp, key);
  EvidenceRecord record;
  record.record_id = std::move(record_id);
  record.timestamp = std::move(timestamp);
  record.content = std::move(content);
  record.content_hash = std::move(content_hash);
  record.previous_record_hash = std::move(previous_record_hash);
  record.record_hash = std::move(sig.record_hash);
  record.signature = std::move(sig.signature);
  record.signer_public_key = std::move(sig.public_key);
  return record;
}

core::Result<EvidenceRecord> attach_signature(UnsignedRecord unsigned_record, std::string_view algorithm,
                                              std::span<const unsigned char> public_key,
                                              std::span<const unsigned char> signature) {
  const auto kind = crypto::signature_algorithm_from_name(algorithm);
  if (!kind) return std::unexpected(core::EngineError::invalid_input("unknown signature algorithm " + std::string(algorithm)));

  EvidenceRecord record;
  if (*kind == crypto::SignatureAlgorithm::Ed25519) {
    record.signer_public_key = crypto::hex_encode(public_key);
    record.signature = crypto::hex_encode(signature);
  } else {
    const auto key = crypto::normalize_p256_key(public_key);
    if (!key) return std::unexpected(core::EngineError::invalid_input(std::string(key.error())));
    const auto sig = crypto::normalize_p256_signature(signature);
    if (!sig) return std::unexpected(core::EngineError::invalid_input(std::string(sig.error())));
    record.signer_public_key = crypto::hex_encode(*key);
    record.signature = crypto::hex_encode(*sig);
    record.signature_algorithm = std::string(crypto::kEcdsaP256Sha256Name);
  }
  record.record_id = std::move(unsigned_record.record_id);
  record.timestamp = std::move(unsigned_record.timestamp);
  record.content = std::move(unsigned_record.content);
  record.content_hash = std::move(unsigned_record.content_hash);
  record.previous_record_hash = std::move(unsigned_record.previous_record_hash);
  record.record_hash = std::move(unsigned_record.record_hash);

  if (auto checked = verify_evidence_record(record); !checked) {
    return std::unexpected(
        core::EngineError::invalid_input("the key service's signature was refused: " + checked.error().display()));
  }
  return record;
}

CallResult<std::string> attach_signature_json(std::string_view unsigned_json, std::string_view algorithm,
                                              std::string_view public_key_hex, std::string_view signature_hex) {
  auto record = read_unsigned_record_json(unsigned_json);
  if (!record) return std::unexpected(InputError{record.error().display()});
  const auto key = crypto::decode_hex(public_key_hex);
  if (!key) return std::unexpected(InputError{key.error().display()});
  const auto signature = crypto::decode_hex(signature_hex);
  if (!signature) return std::unexpected(InputError{signature.error().display()});
  auto sealed = attach_signature(std::move(*record), algorithm, *key, *signature);
  if (!sealed) return std::unexpected(std::move(sealed.error()));
  return write_evidence_record_json(*sealed);
}

}  // namespace qv::records
