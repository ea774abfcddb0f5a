#include "records/digest.hpp"

#include <algorithm>
#include <array>

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

void write_record_hash(std::string_view content_hash, std::optional<std::string_view> previous_record_hash,
                       std::string_view record_id, std::string_view timestamp, char* out) {
  // Joined first and hashed in one call: the parts are short, and one call
  // costs less than an incremental hash's set-up. The usual sizes are
  // joined on the stack.
  const std::string_view previous = previous_record_hash.value_or("");
  const std::size_t size = content_hash.size() + previous.size() + record_id.size() + timestamp.size() + 3;
  std::array<char, 512> room;
  std::string large;
  char* joined = room.data();
  if (size > room.size()) {
    large.resize(size);
    joined = large.data();
  }
  char* at = joined;
  for (const std::string_view part : {content_hash, previous, record_id}) {
    at = std::copy(part.begin(), part.end(), at);
    *at++ = '\n';
  }
  std::copy(timestamp.begin(), timestamp.end(), at);
  crypto::write_text_digest(std::string_view(joined, size), out);
}

std::string compute_record_hash(std::string_view content_hash, std::optional<std::string_view> previous_record_hash,
                                std::string_view record_id, std::string_view timestamp) {
  std::string out(crypto::kDigestLength, '\0');
  write_record_hash(content_hash, previous_record_hash, record_id, timestamp, out.data());
  return out;
}

}  // namespace qv::records
