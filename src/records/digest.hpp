#pragma once
// The digests the engine records: "sha256:" and the lower-case hex SHA-256
// of a canonical JSON text (documents, record contents, prepared requests)
// or of the fields a record hash chains.
#include <optional>
#include <string>
#include <string_view>

#include "core/error.hpp"
#include "json/value.hpp"
#include "records/types.hpp"

namespace qv::records {

// The digest of a value's canonical text. Fails with Serialisation
// "non-finite float in canonical JSON" when a float is NaN or infinite.
core::Result<std::string> canonical_digest(const json::Value& value);

// The canonical digest of the content's value, taken over the canonical text
// written straight from the typed content. It cannot fail in practice: the
// writers give every non-finite float as null.
core::Result<std::string> compute_content_hash(const RecordContent& content);
// The canonical digest of the prepared request: question when present,
// answer, sources, claims, locale, and metadata and scope when not empty.
core::Result<std::string> compute_input_hash(const VerificationContext& context);

// The digest of content_hash, previous_record_hash (empty when absent),
// record_id and timestamp joined by line feeds. Cannot fail.
std::string compute_record_hash(std::string_view content_hash, std::optional<std::string_view> previous_record_hash,
                                std::string_view record_id, std::string_view timestamp);
// The same written at `out`, which has room for crypto::kDigestLength
// characters: checking a seal needs no string of it.
void write_record_hash(std::string_view content_hash, std::optional<std::string_view> previous_record_hash,
                       std::string_view record_id, std::string_view timestamp, char* out);

}  // namespace qv::records
