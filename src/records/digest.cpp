#include "records/digest.hpp"

#include "crypto/digest.hpp"
#include "crypto/hex.hpp"
#include "crypto/sha256.hpp"
#include "json/canonical.hpp"
#include "records/write.hpp"

namespace qv::records {

namespace {

template <class T>
std::string typed_canonical_digest(const T& item) {
  thread_local json::CanonicalOut out;  // buffers reused from call to call
  out.reset();
  emit::value(out, item);
  return crypto::text_digest(out.text());
}

}  // namespace

core::Result<std::string> canonical_digest(const json::Value& value) {
  auto text = json::canonical_text(value);
  if (!text) return std::unexpected(std::move(text.error()));
  return crypto::text_digest(*text);
}

core::Result<std::string> compute_content_hash(const RecordContent& content) {
  return typed_canonical_digest(content);
}

core::Result<std::string> compute_input_hash(const VerificationContext& context) {
  return typed_canonical_digest(context);
}

std::string compute_record_hash(std::string_view content_hash, std::optional<std::string_view> previous_record_hash,
                                std::string_view record_id, std::string_view timestamp) {
  crypto::Sha256 hasher;
  hasher.update(content_hash);
  hasher.update(std::string_view("\n"));
  if (previous_record_hash) hasher.update(*previous_record_hash);
  hasher.update(std::string_view("\n"));
  hasher.update(record_id);
  hasher.update(std::string_view("\n"));
  hasher.update(timestamp);
  std::string out(crypto::kDigestPrefix);
  out += crypto::hex_encode(hasher.finish());
  return out;
}

}  // namespace qv::records
