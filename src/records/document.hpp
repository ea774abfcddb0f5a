#pragma once
// Signed documents: a kind, any JSON content, the digest of both, and an
// Ed25519 signature over that digest's text.
#include <string>
#include <string_view>

#include "core/error.hpp"
#include "crypto/ed25519.hpp"
#include "json/error.hpp"
#include "json/value.hpp"
#include "records/call.hpp"

namespace qv::records {

// The content is a json::Value; the text operations below also use other
// forms of it (the content's text, its canonical text), so that no value
// tree is built for it.
template <class Content>
struct BasicSignedDocument {
  std::string kind;
  Content content;                // kept as read: member order and number forms
  std::string content_hash;       // compute_document_hash(kind, content)
  std::string signature;          // 128 hex digits
  std::string signer_public_key;  // 64 hex digits
  bool operator==(const BasicSignedDocument&) const = default;
};
using SignedDocument = BasicSignedDocument<json::Value>;

// The canonical digest of {"kind": kind, "content": content}. Fails only
// when the content holds a non-finite float (Serialisation).
core::Result<std::string> compute_document_hash(std::string_view kind, const json::Value& content);

// The same digest from the content's canonical text.
std::string compute_document_hash_of_canonical(std::string_view kind, std::string_view canonical_content);

// Integrity "{kind}: signature does not verify".
core::EngineError document_signature_mismatch_error(std::string_view kind);

// Hashes and signs a document with an Ed25519 key.
core::Result<SignedDocument> sign_document(std::string kind, json::Value content, const crypto::SigningKey& key);

// Checks, in order: the recomputed hash against content_hash ("{kind}:
// content hash mismatch"), the key ("bad public key", "signature error:
// Cannot decompress Edwards point"), the signature's form ("bad signature
// encoding") and the signature itself ("{kind}: signature does not
// verify"). All Integrity, except the hash's own error.
core::Result<void> verify_signed_document(const SignedDocument& document);

// Compact text, members in the order kind, content, content_hash,
// signature, signer_public_key; the content as it was read. Refused with
// the readers' "recursion limit exceeded" when the content nests so deep
// (127 levels, the readers' limit) that the document would pass the limit:
// such a document could never be read back and verified.
json::JsonResult<std::string> write_signed_document_json(const SignedDocument& document);

// One JSON document holding a signed document, as an object (members in any
// order, all five required, none twice, unknown ones skipped) or as an array
// of the five values in order. Errors carry the reader's message and
// position.
json::JsonResult<SignedDocument> read_signed_document_json(std::string_view text);

// The module's document operations, text in and text out.
// Reads `content_json` (an InputError with the reader's text), derives the
// key of the hex seed (InputError "signing key must be 32 bytes hex"),
// signs, and writes the signed document (an InputError "recursion limit
// exceeded" when it would nest deeper than the readers accept).
CallResult<std::string> sign_document_json(std::string_view kind, std::string_view content_json,
                                           std::string_view seed_hex);
// Reads a signed document (an InputError with the reader's text) and checks
// it (verify_signed_document's errors).
CallResult<void> verify_document_json(std::string_view doc_json);

}  // namespace qv::records
