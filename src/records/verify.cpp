#include "records/verify.hpp"

#include <array>
#include <cstddef>
#include <string>

#include "crypto/digest.hpp"
#include "crypto/signature.hpp"
#include "records/digest.hpp"

namespace qv::records {

namespace {

core::EngineError named(std::string_view record_id, std::string_view text) {
  std::string message(record_id);
  message += ": ";
  message += text;
  return core::EngineError::integrity(std::move(message));
}

}  // namespace

core::Result<void> verify_record_seal(const SealCheck& seal) {
  if (seal.content_hash != seal.recomputed_content_hash) {
    return std::unexpected(named(seal.record_id, "content hash mismatch"));
  }
  std::array<char, crypto::kDigestLength> record_hash;
  write_record_hash(seal.content_hash, seal.previous_record_hash, seal.record_id, seal.timestamp, record_hash.data());
  if (std::string_view(record_hash.data(), record_hash.size()) != seal.record_hash) {
    return std::unexpected(named(seal.record_id, "record hash mismatch"));
  }
  const std::string_view name = seal.signature_algorithm.value_or(crypto::kEd25519Name);
  const auto algorithm = crypto::signature_algorithm_from_name(name);
  if (!algorithm) return std::unexpected(named(seal.record_id, "unknown signature algorithm " + std::string(name)));
  if (auto ok = crypto::verify_signature_hex(*algorithm, seal.record_hash, seal.signature, seal.signer_public_key);
      !ok) {
    return std::unexpected(core::EngineError::integrity(crypto::signature_failure_message(ok.error(), seal.record_id)));
  }
  return {};
}

core::Result<void> verify_evidence_record(const EvidenceRecord& record) {
  const auto content_hash = compute_content_hash(record.content);
  if (!content_hash) return std::unexpected(content_hash.error());
  return verify_record_seal(seal_check(record, *content_hash));
}

}  // namespace qv::records
