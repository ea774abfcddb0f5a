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
  // Joined first and hashed in one call: the parts are short, and one call
  // costs less than an incremental hash's set-up.
  std::string joined;
  joined.reserve(content_hash.size() + previous_record_hash.value_or("").size() + record_id.size() + timestamp.size() + 3);
  joined += content_hash;
  joined += '\n';
  if (previous_record_hash) joined += *previous_record_hash;
  joined += '\n';
  joined += record_id;
  joined += '\n';
  joined += timestamp;
  return crypto::text_digest(joined);
}

}  // namespace qv::records
