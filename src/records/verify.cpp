#include "records/verify.hpp"

#include <cstddef>
#include <string>

#include "crypto/signature.hpp"
#include "records/json.hpp"
#include "records/seal.hpp"

namespace qv::records {

namespace {

core::EngineError named(std::string_view record_id, std::string_view text) {
  std::string message(record_id);
  message += ": ";
  message += text;
  return core::EngineError::integrity(std::move(message));
}

std::optional<std::string_view> view(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  return std::string_view(*text);
}

}  // namespace

core::Result<void> verify_record_seal(std::string_view recomputed_content_hash, std::string_view content_hash,
                                      std::optional<std::string_view> previous_record_hash,
                                      std::string_view record_id, std::string_view timestamp,
                                      std::string_view record_hash, std::string_view signature,
                                      std::string_view signer_public_key,
                                      std::optional<std::string_view> signature_algorithm) {
  if (content_hash != recomputed_content_hash) return std::unexpected(named(record_id, "content hash mismatch"));
  if (compute_record_hash(content_hash, previous_record_hash, record_id, timestamp) != record_hash) {
    return std::unexpected(named(record_id, "record hash mismatch"));
  }
  const std::string_view name = signature_algorithm.value_or(crypto::kEd25519Name);
  const auto algorithm = crypto::signature_algorithm_from_name(name);
  if (!algorithm) return std::unexpected(named(record_id, "unknown signature algorithm " + std::string(name)));
  if (auto ok = crypto::verify_signature_hex(*algorithm, record_hash, signature, signer_public_key); !ok) {
    return std::unexpected(core::EngineError::integrity(crypto::signature_failure_message(ok.error(), record_id)));
  }
  return {};
}

core::Result<void> verify_evidence_record(const EvidenceRecord& record) {
  const auto content_hash = compute_content_hash(record.content);
  if (!content_hash) return std::unexpected(content_hash.error());
  return verify_record_seal(*content_hash, record.content_hash, view(record.previous_record_hash), record.record_id,
                            record.timestamp, record.record_hash, record.signature, record.signer_public_key,
                            view(record.signature_algorithm));
}

}  // namespace qv::records
