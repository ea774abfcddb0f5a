#include "records/document.hpp"

#include <optional>
#include <utility>

#include "core/panic.hpp"

#include "crypto/digest.hpp"
#include "crypto/hex.hpp"
#include "crypto/sha256.hpp"
#include "json/canonical.hpp"
#include "json/stream.hpp"
#include "crypto/signature.hpp"
#include "json/reader.hpp"
#include "json/writer.hpp"
#include "records/digest.hpp"
#include "records/read.hpp"
#include "records/write.hpp"

namespace qv::records {

std::string compute_document_hash_of_canonical(std::string_view kind, std::string_view canonical_content) {
  // The canonical text of {"content": ..., "kind": ...}, its members in key
  // order, hashed as it is formed.
  std::string tail = ",\"kind\":";
  json::write_json_string(kind, tail);
  tail += '}';
  crypto::Sha256 hasher;
  hasher.update(std::string_view("{\"content\":"));
  hasher.update(canonical_content);
  hasher.update(tail);
  std::string out(crypto::kDigestPrefix);
  out += crypto::hex_encode(hasher.finish());
  return out;
}

core::Result<std::string> compute_document_hash(std::string_view kind, const json::Value& content) {
  auto canonical = json::canonical_text(content);
  if (!canonical) return std::unexpected(std::move(canonical.error()));
  return compute_document_hash_of_canonical(kind, *canonical);
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

namespace {

core::Result<void> check_document_signature(std::string_view kind, std::string_view content_hash,
                                            std::string_view signature, std::string_view signer_public_key) {
  auto ok = crypto::verify_ed25519_hex(content_hash, signature, signer_public_key);
  if (!ok) {
    if (ok.error() == crypto::SignatureFailure::DoesNotVerify) {
      return std::unexpected(document_signature_mismatch_error(kind));
    }
    return std::unexpected(core::EngineError::integrity(crypto::signature_failure_message(ok.error(), kind)));
  }
  return {};
}

}  // namespace

core::Result<void> verify_signed_document(const SignedDocument& document) {
  auto hash = compute_document_hash(document.kind, document.content);
  if (!hash) return std::unexpected(std::move(hash.error()));
  if (*hash != document.content_hash) {
    return std::unexpected(core::EngineError::integrity(document.kind + ": content hash mismatch"));
  }
  return check_document_signature(document.kind, document.content_hash, document.signature,
                                  document.signer_public_key);
}

template <class Content>
struct Members<BasicSignedDocument<Content>> {
  using D = BasicSignedDocument<Content>;
  static constexpr std::string_view name = "SignedDocument";
  static constexpr auto list = std::tuple{
      required<&D::kind>("kind"),
      required<&D::content>("content"),
      required<&D::content_hash>("content_hash"),
      required<&D::signature>("signature"),
      required<&D::signer_public_key>("signer_public_key"),
  };
};

namespace {

// Content held as a JSON text that has been read once: written by reading
// it again, straight into the writer. A text with a key twice in an object
// is read into a value instead, which keeps the last value at the first
// key's place.
struct ContentText {
  std::string_view text;
  std::optional<json::Value> value;

  template <class Out>
  void write(Out& out) const {
    if (value) {
      json::write_value(out, *value);
    } else if (!json::stream_json(text, out)) {
      core::panic("a content text read once fails the second time");
    }
  }
  bool operator==(const ContentText&) const = default;
};

// Content read as its canonical text, with no value built.
struct CanonicalContent {
  std::string text;
  bool operator==(const CanonicalContent&) const = default;
};

}  // namespace

}  // namespace qv::records

template <>
struct qv::json::TypeReader<qv::records::CanonicalContent> {
  static JsonResult<void> read(Parser& p, records::CanonicalContent& out) {
    CanonicalOut canonical;
    if (auto r = stream_value(p, canonical); !r) return r;
    out.text = canonical.take_text();
    return {};
  }
  static JsonResult<void> from_value(const Value& v, records::CanonicalContent& out) {
    CanonicalOut canonical;
    write_value(canonical, v);
    out.text = canonical.take_text();
    return {};
  }
};

namespace qv::records {

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
  // The content is read twice as events, never into a value: once into its
  // canonical text for the digest, once into the written document.
  json::CanonicalOut canonical;
  if (auto read = json::stream_json(content_json, canonical); !read) {
    return std::unexpected(InputError{read.error().display()});
  }
  const auto key = crypto::signing_key_from_seed_hex(seed_hex);
  if (!key) return std::unexpected(InputError{"signing key must be 32 bytes hex"});
  BasicSignedDocument<ContentText> document;
  document.content.text = content_json;
  if (canonical.saw_duplicate_key()) document.content.value = json::read_json(content_json).value();
  document.content_hash = compute_document_hash_of_canonical(kind, canonical.text());
  canonical = json::CanonicalOut();  // its buffer is not needed any more
  document.signature = crypto::hex_encode(key->sign_text(document.content_hash));
  document.signer_public_key = crypto::hex_encode(key->public_key());
  document.kind = std::string(kind);
  std::string text;
  text.reserve(content_json.size() + kind.size() + 320);
  json::TextOut out(text);
  emit::value(out, document);
  if (auto readable = out.readable(); !readable) return std::unexpected(InputError{readable.error().display()});
  return text;
}

CallResult<void> verify_document_json(std::string_view doc_json) {
  using Document = BasicSignedDocument<CanonicalContent>;
  const auto document = json::read_typed<Document, json::StructReader<Document, &readers::table<Document>>>(doc_json);
  if (!document) return std::unexpected(InputError{document.error().display()});
  if (compute_document_hash_of_canonical(document->kind, document->content.text) != document->content_hash) {
    return std::unexpected(core::EngineError::integrity(document->kind + ": content hash mismatch"));
  }
  return check_document_signature(document->kind, document->content_hash, document->signature,
                                  document->signer_public_key);
}

}  // namespace qv::records
