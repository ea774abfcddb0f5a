#include "engine/assemble.hpp"

#include <cstdio>

#include "core/panic.hpp"
#include "crypto/hex.hpp"
#include "crypto/random.hpp"
#include "records/digest.hpp"
#include "records/write.hpp"

namespace qv::engine {

std::string format_record_timestamp(std::chrono::system_clock::time_point time) {
  using namespace std::chrono;
  if (time < system_clock::time_point{}) core::panic("system time before Unix epoch");
  const auto seconds = floor<std::chrono::seconds>(time);
  const auto days = floor<std::chrono::days>(seconds);
  const year_month_day date{days};
  const hh_mm_ss clock{seconds - days};
  char text[32];
  const int n = std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
                              static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                              static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                              static_cast<int>(clock.seconds().count()));
  if (n != 20) core::panic("timestamp out of range");
  return std::string(text, 20);
}

std::string form_record_id(std::string_view content_hash, const std::array<unsigned char, 6>& random) {
  constexpr std::size_t kPrefix = 7;  // "sha256:"
  if (content_hash.size() < kPrefix + 12) core::panic("content hash too short for a record id");
  std::string id = "rec_";
  id += content_hash.substr(kPrefix, 12);
  id += '_';
  id += crypto::hex_encode(random);
  return id;
}

core::Result<RecordIdentity> build_evidence_record(const records::RecordContent& content) {
  std::string timestamp = format_record_timestamp(std::chrono::system_clock::now());
  auto digest = records::compute_content_hash(content);
  if (!digest) return std::unexpected(std::move(digest.error()));
  std::array<unsigned char, 6> random{};
  crypto::os_random_bytes(random);
  std::string id = form_record_id(*digest, random);
  return RecordIdentity{std::move(id), std::move(timestamp), std::move(*digest)};
}

}  // namespace qv::engine
