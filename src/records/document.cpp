#include "records/document.hpp"

#include <utility>

#include "crypto/hex.hpp"
#include "crypto/signature.hpp"
#include "json/reader.hpp"
#include "json/writer.hpp"
#include "records/digest.hpp"
#include "records/read.hpp"
#include "records/write.hpp"

namespace qv::records {

core::Result<std::string> compute_document_hash(std::string_view kind, const json::Value& content) {
  json::Object object;
  object.insert_or_assign("kind", json::Value(kind));
  object.insert_or_assign("content", content);
  return canonical_digest(json::Value(std::move(object)));
}

core::EngineError document_signature_mismatch_error(std::string_view kind) {
  std::string message(kind);
  message += ": signature does not verify";
  return core::EngineError::integrity(std::move(message));
}

core::Result<SignedDocument> sign_document(std::string kind, json::Value content, const crypto::SigningKey& key) {
  auto hash = compute_document_hash(kind, content);
  if (!hash) return std::unexpected(std::move(hash.error()));
  SignedDocument document;
  document.signature = crypto::hex_encode(key.sign_text(*hash));
  document.signer_public_key = crypto::hex_encode(key.public_key());
  document.kind = std::move(kind);
  document.content = std::move(content);
  document.content_hash = std::move(*hash);
  return document;
}

core::Result<void> verify_signed_document(const SignedDocument& document) {
  auto hash = compute_document_hash(document.kind, document.content);
  if (!hash) return std::unexpected(std::move(hash.error()));
  if (*hash != document.content_hash) {
    return std::unexpected(core::EngineError::integrity(document.kind + ": content hash mismatch"));
  }
  auto ok = crypto::verify_ed25519_hex(document.content_hash, document.signature, document.signer_public_key);
  if (!ok) {
    if (ok.error() == crypto::SignatureFailure::DoesNotVerify) {
      return std::unexpected(document_signature_mismatch_error(document.kind));
    }
    return std::unexpected(core::EngineError::integrity(crypto::signature_failure_message(ok.error(), document.kind)));
  }
  return {};
}

template <>
struct Members<SignedDocument> {
  static constexpr std::string_view name = "SignedDocument";
  static constexpr auto list = std::tuple{
      required<&SignedDocument::kind>("kind"),
      required<&SignedDocument::content>("content"),
      required<&SignedDocument::content_hash>("content_hash"),
      required<&SignedDocument::signature>("signature"),
      required<&SignedDocument::signer_public_key>("signer_public_key"),
  };
};

json::JsonResult<std::string> write_signed_document_json(const SignedDocument& document) {
  std::string text;
  json::TextOut out(text);
  emit::value(out, document);
  if (auto readable = out.readable(); !readable) return std::unexpected(std::move(readable.error()));
  return text;
}

json::JsonResult<SignedDocument> read_signed_document_json(std::string_view text) {
  return json::read_typed<SignedDocument, json::StructReader<SignedDocument, &readers::table<SignedDocument>>>(text);
}

CallResult<std::string> sign_document_json(std::string_view kind, std::string_view content_json,
                                           std::string_view seed_hex) {
  auto content = json::read_json(content_json);
  if (!content) return std::unexpected(InputError{content.error().display()});
  const auto key = crypto::signing_key_from_seed_hex(seed_hex);
  if (!key) return std::unexpected(InputError{"signing key must be 32 bytes hex"});
  auto document = sign_document(std::string(kind), std::move(*content), *key);
  if (!document) return std::unexpected(std::move(document.error()));
  auto text = write_signed_document_json(*document);
  if (!text) return std::unexpected(InputError{text.error().display()});
  return std::move(*text);
}

CallResult<void> verify_document_json(std::string_view doc_json) {
  const auto document = read_signed_document_json(doc_json);
  if (!document) return std::unexpected(InputError{document.error().display()});
  if (auto ok = verify_signed_document(*document); !ok) return std::unexpected(std::move(ok.error()));
  return {};
}

}  // namespace qv::records
