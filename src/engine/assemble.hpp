#pragma once
// The last step before sealing: the record's timestamp and its id, formed
// from the content's digest and six random bytes.
#include <array>
#include <chrono>
#include <string>
#include <string_view>

#include "core/error.hpp"
#include "records/types.hpp"

namespace qv::engine {

struct RecordIdentity {
  std::string record_id;
  std::string timestamp;
  std::string content_hash;  // the digest the id was formed from, for sealing
};

// UTC RFC 3339 text with whole seconds and "Z" ("2026-01-02T03:04:05Z");
// fractions of a second are dropped. A time before 1970 is a broken
// invariant.
std::string format_record_timestamp(std::chrono::system_clock::time_point time);

// "rec_", the first 12 hex digits after "sha256:" of the content hash, "_"
// and the 12 hex digits of the random bytes.
std::string form_record_id(std::string_view content_hash, const std::array<unsigned char, 6>& random);

// Takes the timestamp first, then the content's digest (the same text that
// sealing computes as content_hash) and six bytes of the operating system's
// random source. Fails only as the content hash does.
core::Result<RecordIdentity> build_evidence_record(const records::RecordContent& content);

}  // namespace qv::engine
