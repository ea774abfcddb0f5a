// Reader and writer: whatever reads must write, read back to an equal value
// and write again to the same text; the skipper accepts what the reader
// accepts; canonicalising is idempotent; reading as events gives the
// value reader's error or canonical text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "json/canonical.hpp"
#include "json/parser.hpp"
#include "json/reader.hpp"
#include "json/stream.hpp"
#include "json/writer.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  auto value = qv::json::read_json(text);

  qv::json::Parser skipper(text);
  auto skipped = skipper.ignore_value();
  if (skipped) skipped = skipper.end();
  if (value && !skipped) std::abort();  // skipping checks less, never more

  qv::json::CanonicalOut streamed;
  const auto events = qv::json::stream_json(text, streamed);
  if (events.has_value() != value.has_value()) std::abort();
  if (!events && events.error().display() != value.error().display()) std::abort();
  if (events && std::string_view(qv::json::canonical_text(*value).value()) != streamed.text()) std::abort();

  if (!value) {
    if (value.error().line == 0) std::abort();  // syntax errors carry a position
    return 0;
  }
  const std::string once = qv::json::write_json_compact(*value);
  auto back = qv::json::read_json(once);
  if (!back) std::abort();
  if (!(*back == *value)) std::abort();
  if (qv::json::write_json_compact(*back) != once) std::abort();

  auto canonical = qv::json::canonical_text(*value);
  if (!canonical) std::abort();  // nothing read is non-finite
  auto again = qv::json::read_json(*canonical);
  if (!again || qv::json::canonical_text(*again) != *canonical) std::abort();
  return 0;
}
