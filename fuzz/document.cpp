// The text operations that sign: sign_document_json on arbitrary content,
// attach_signature_json on an arbitrary unsigned record, and
// verify_document_json on the input itself, as the value road checks it. A
// document signed here verifies; a signature made with the right key over
// an unsigned record's hash either seals a record that reads back and
// verifies, or is refused with a text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/utf8.hpp"
#include "crypto/ed25519.hpp"
#include "crypto/hex.hpp"
#include "records/document.hpp"
#include "records/read.hpp"
#include "records/seal.hpp"
#include "records/verify.hpp"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

constexpr std::string_view kSeed = "9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace qv::records;
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  // The kind is the text before the first U+001E, the content the rest.
  // Kinds reach the module as valid UTF-8 (Python text); others are skipped.
  const std::size_t cut = text.find('\x1e');
  const std::string_view kind = cut == std::string_view::npos ? std::string_view("fuzz") : text.substr(0, cut);
  const std::string_view content = cut == std::string_view::npos ? text : text.substr(cut + 1);
  if (qv::core::is_valid_utf8(kind)) {
    if (auto doc = sign_document_json(kind, content, kSeed)) {
      check(verify_document_json(*doc).has_value());
    } else {
      check(!display(doc.error()).empty());
    }
  }

  // The text road (the content hashed as it streams, literals copied as
  // they stand) gives what the value road gives: the reader's error, or the
  // same verdict of the hash and signature checks.
  const auto checked = verify_document_json(text);
  if (const auto document = read_signed_document_json(text); !document) {
    check(!checked && display(checked.error()) == document.error().display());
  } else {
    const auto by_value = verify_signed_document(*document);
    check(checked.has_value() == by_value.has_value());
    if (!checked) check(display(checked.error()) == by_value.error().display());
  }

  static const auto key = qv::crypto::signing_key_from_seed_hex(kSeed);
  const std::string public_hex = qv::crypto::hex_encode(key->public_key());
  std::string signature_hex(128, '0');
  if (auto unsigned_record = read_unsigned_record_json(text))
    signature_hex = qv::crypto::hex_encode(key->sign_text(unsigned_record->record_hash));
  if (auto sealed = attach_signature_json(text, "ed25519", public_hex, signature_hex)) {
    const auto record = read_evidence_record_json(*sealed);
    check(record.has_value() && verify_evidence_record(*record).has_value());
  } else {
    check(!display(sealed.error()).empty());
  }
  return 0;
}
