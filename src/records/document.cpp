#include "records/document.hpp"

#include <charconv>
#include <cstdint>
#include <functional>
#include <memory>
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

namespace {

// The document hash taken piece by piece: the canonical text of
// {"content": ..., "kind": ...}, its members in key order, hashed as it is
// formed. Its content pieces may come from a canonical writer's drain.
class DocumentHasher {
 public:
  DocumentHasher() { sha_.update(std::string_view("{\"content\":")); }
  void content(std::string_view piece) { sha_.update(piece); }
  static void drain(void* self, std::string_view piece) { static_cast<DocumentHasher*>(self)->content(piece); }
  std::string finish(std::string_view kind) {
    std::string tail = ",\"kind\":";
    json::write_json_string(kind, tail);
    tail += '}';
    sha_.update(tail);
    std::string out(crypto::kDigestPrefix);
    out += crypto::hex_encode(sha_.finish());
    return out;
  }

 private:
  crypto::Sha256 sha_;
};

}  // namespace

std::string compute_document_hash_of_canonical(std::string_view kind, std::string_view canonical_content) {
  DocumentHasher hasher;
  hasher.content(canonical_content);
  return hasher.finish(kind);
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

// The content of a document being signed, written where the document's
// writer reaches it by `write_here`, which may fill in the members after
// it: they are written next.
struct StreamedContent {
  std::function<void(json::TextOut&)> write_here;
  void write(json::TextOut& out) const { write_here(out); }
};

// One reading of a content feeds both its writers: the canonical text for
// the digest and the compact text of the document. A number is formed once
// and its text given to both.
struct CanonicalAndCompact {
  json::CanonicalOut& canonical;
  json::TextOut& compact;

  void begin_object() {
    canonical.begin_object();
    compact.begin_object();
  }
  void end_object() {
    canonical.end_object();
    compact.end_object();
  }
  void begin_array() {
    canonical.begin_array();
    compact.begin_array();
  }
  void end_array() {
    canonical.end_array();
    compact.end_array();
  }
  void key(std::string_view k) {
    canonical.key(k);
    compact.key(k);
  }
  void plain_key(std::string_view k) {
    canonical.plain_key(k);
    compact.plain_key(k);
  }
  void string(std::string_view s) {
    canonical.string(s);
    compact.string(s);
  }
  void plain_string(std::string_view s) {
    canonical.plain_string(s);
    compact.plain_string(s);
  }
  void written_string(std::string_view text) {
    canonical.written_string(text);
    compact.written_string(text);
  }
  void plain_number(std::string_view text) {
    canonical.plain_number(text);
    compact.plain_number(text);
  }
  void unsigned_integer(std::uint64_t n) {
    char buf[24];
    plain_number(std::string_view(buf, static_cast<std::size_t>(std::to_chars(buf, buf + sizeof buf, n).ptr - buf)));
  }
  void signed_integer(std::int64_t n) {
    char buf[24];
    plain_number(std::string_view(buf, static_cast<std::size_t>(std::to_chars(buf, buf + sizeof buf, n).ptr - buf)));
  }
  void floating(double d) {
    // Read from a text, so finite.
    char buf[json::kF64TextMax];
    plain_number(std::string_view(buf, static_cast<std::size_t>(json::write_json_f64(d, buf) - buf)));
  }
  void boolean(bool b) {
    canonical.boolean(b);
    compact.boolean(b);
  }
  void null() {
    canonical.null();
    compact.null();
  }
};

// Content read straight into the document hash, with no value built and
// its canonical text not held whole.
struct HashedContent {
  std::unique_ptr<DocumentHasher> hasher;
};

template <class Read>
json::JsonResult<void> hash_content(records::HashedContent& out, Read read) {
  out.hasher = std::make_unique<DocumentHasher>();
  json::CanonicalOut canonical;
  canonical.drain_to(&DocumentHasher::drain, out.hasher.get());
  if (auto r = read(canonical); !r) return r;
  canonical.finish();
  return {};
}

}  // namespace

}  // namespace qv::records

template <>
struct qv::json::TypeReader<qv::records::HashedContent> {
  static JsonResult<void> read(Parser& p, records::HashedContent& out) {
    return records::hash_content(out, [&](CanonicalOut& canonical) { return stream_value(p, canonical); });
  }
  static JsonResult<void> from_value(const Value& v, records::HashedContent& out) {
    return records::hash_content(out, [&](CanonicalOut& canonical) -> JsonResult<void> {
      write_value(canonical, v);
      return {};
    });
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
  // The content is read once as events, never into a value: into the
  // document's text, and into its canonical text, hashed as it is formed.
  const auto key = crypto::signing_key_from_seed_hex(seed_hex);  // refused after the content's errors
  BasicSignedDocument<StreamedContent> document;
  document.kind = std::string(kind);
  DocumentHasher hasher;
  json::CanonicalOut canonical;
  canonical.drain_to(&DocumentHasher::drain, &hasher);
  json::JsonResult<void> read;
  const auto write_content = [&](json::TextOut& out) {
    CanonicalAndCompact both{canonical, out};
    read = json::stream_json(content_json, both);
    if (!read || !key) return;
    canonical.finish();
    document.content_hash = hasher.finish(kind);
    document.signature = crypto::hex_encode(key->sign_text(document.content_hash));
    document.signer_public_key = crypto::hex_encode(key->public_key());
  };
  document.content.write_here = std::cref(write_content);
  std::string text;
  text.reserve(content_json.size() + kind.size() + 320);
  json::TextOut out(text);
  emit::value(out, document);
  if (!read) return std::unexpected(InputError{read.error().display()});
  if (!key) return std::unexpected(InputError{"signing key must be 32 bytes hex"});
  if (canonical.saw_duplicate_key()) {
    // A key twice in an object: the document holds the value read, which
    // keeps the last value at the first key's place.
    auto signed_value = sign_document(std::string(kind), json::read_json(content_json).value(), *key);
    if (!signed_value) core::panic("a content read from a text fails to hash");
    auto written = write_signed_document_json(*signed_value);
    if (!written) return std::unexpected(InputError{written.error().display()});
    return std::move(*written);
  }
  if (auto readable = out.readable(); !readable) return std::unexpected(InputError{readable.error().display()});
  return text;
}

CallResult<void> verify_document_json(std::string_view doc_json) {
  using Document = BasicSignedDocument<HashedContent>;
  auto document = json::read_typed<Document, json::StructReader<Document, &readers::table<Document>>>(doc_json);
  if (!document) return std::unexpected(InputError{document.error().display()});
  if (document->content.hasher->finish(document->kind) != document->content_hash) {
    return std::unexpected(core::EngineError::integrity(document->kind + ": content hash mismatch"));
  }
  return check_document_signature(document->kind, document->content_hash, document->signature,
                                  document->signer_public_key);
}

}  // namespace qv::records
