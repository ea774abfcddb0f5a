#include "records/document.hpp"

#include <array>
#include <optional>
#include <utility>

#include "crypto/hex.hpp"
#include "crypto/signature.hpp"
#include "json/canonical.hpp"
#include "json/parser.hpp"
#include "json/writer.hpp"
#include "unicode/quote.hpp"

namespace qv::records {

core::Result<std::string> compute_document_hash(std::string_view kind, const json::Value& content) {
  json::Object object;
  object.insert_or_assign("kind", json::Value(kind));
  object.insert_or_assign("content", content);
  return json::canonical_digest(json::Value(std::move(object)));
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

std::string write_signed_document_json(const SignedDocument& document) {
  std::string out;
  out += "{\"kind\":";
  json::write_json_string(document.kind, out);
  out += ",\"content\":";
  json::write_json_compact(document.content, out);
  out += ",\"content_hash\":";
  json::write_json_string(document.content_hash, out);
  out += ",\"signature\":";
  json::write_json_string(document.signature, out);
  out += ",\"signer_public_key\":";
  json::write_json_string(document.signer_public_key, out);
  out += '}';
  return out;
}

namespace {

using json::JsonError;
using json::JsonResult;
using json::Parser;

constexpr std::string_view kExpectedStruct = "struct SignedDocument";
constexpr std::array<std::string_view, 5> kFields = {"kind", "content", "content_hash", "signature",
                                                     "signer_public_key"};

std::string invalid_type(std::string_view unexpected, std::string_view expected) {
  std::string message = "invalid type: ";
  message += unexpected;
  message += ", expected ";
  message += expected;
  return message;
}

std::string describe_number(const json::Value& n) {
  if (n.is_u64()) return "integer `" + std::to_string(n.as_u64()) + "`";
  if (n.is_i64()) return "integer `" + std::to_string(n.as_i64()) + "`";
  return "floating point `" + json::format_f64(n.as_f64()) + "`";
}

// The value at the next byte is not what `expected` names: reads a scalar to
// describe it, and reports after it (before a bracket, which is not read).
JsonError invalid_type_here(Parser& p, std::string_view expected) {
  const int c = p.peek();
  std::string found;
  switch (c) {
    case 'n':
      p.eat();
      if (auto r = p.parse_ident("ull"); !r) return r.error();
      found = "null";
      break;
    case 't':
    case 'f':
      p.eat();
      if (auto r = p.parse_ident(c == 't' ? "rue" : "alse"); !r) return r.error();
      found = c == 't' ? "boolean `true`" : "boolean `false`";
      break;
    case '"': {
      p.eat();
      auto s = p.parse_string();
      if (!s) return s.error();
      found = "string " + unicode::debug_quote(*s);
      break;
    }
    case '[':
      found = "sequence";
      break;
    case '{':
      found = "map";
      break;
    default:
      if (c == '-' || (c >= '0' && c <= '9')) {
        auto n = p.parse_number();
        if (!n) return n.error();
        found = describe_number(*n);
        break;
      }
      return p.peek_error(std::string(Parser::kExpectedValue));
  }
  return p.error(invalid_type(found, expected));
}

JsonResult<std::string> read_string(Parser& p) {
  const int c = p.peek_ws();
  if (c < 0) return std::unexpected(p.peek_error(std::string(Parser::kEofValue)));
  if (c != '"') return std::unexpected(invalid_type_here(p, "a string"));
  p.eat();
  return p.parse_string();
}

// Reads the member with index `field` into the document.
JsonResult<void> read_field(Parser& p, std::size_t field, SignedDocument& doc) {
  if (field == 1) {
    auto v = p.parse_value();
    if (!v) return std::unexpected(std::move(v.error()));
    doc.content = std::move(*v);
    return {};
  }
  auto s = read_string(p);
  if (!s) return std::unexpected(std::move(s.error()));
  switch (field) {
    case 0: doc.kind = std::move(*s); break;
    case 2: doc.content_hash = std::move(*s); break;
    case 3: doc.signature = std::move(*s); break;
    default: doc.signer_public_key = std::move(*s); break;
  }
  return {};
}

// A failure found by the struct reader itself (duplicate, missing member,
// short array): the container's end check runs first, then the error takes
// the position after the bytes consumed.
JsonError struct_error(Parser& p, bool array, std::string message) {
  const int c = p.peek_ws();
  if (array) {
    if (c == ']') {
      p.eat();
    } else if (c == ',') {
      p.eat();
      p.peek_ws();
    }
  } else if (c == '}') {
    p.eat();
  }
  return p.error(std::move(message));
}

JsonResult<void> read_object(Parser& p, SignedDocument& doc) {
  std::array<bool, kFields.size()> seen{};
  bool first = true;
  for (;;) {
    int c = p.peek_ws();
    if (c == '}') break;
    if (c == ',' && !first) {
      p.eat();
      c = p.peek_ws();
      if (c < 0) return std::unexpected(p.peek_error(std::string(Parser::kEofValue)));
    } else if (c < 0) {
      return std::unexpected(p.peek_error(std::string(Parser::kEofObject)));
    } else if (!first) {
      return std::unexpected(p.peek_error(std::string(Parser::kExpectedObjectCommaOrEnd)));
    }
    first = false;
    if (c == '}') return std::unexpected(p.peek_error(std::string(Parser::kTrailingComma)));
    if (c != '"') return std::unexpected(p.peek_error(std::string(Parser::kKeyMustBeString)));
    p.eat();
    auto key = p.parse_string();
    if (!key) return std::unexpected(std::move(key.error()));
    std::optional<std::size_t> field;
    for (std::size_t i = 0; i < kFields.size(); ++i) {
      if (*key == kFields[i]) field = i;
    }
    if (field && seen[*field]) {
      return std::unexpected(struct_error(p, false, "duplicate field `" + *key + "`"));
    }
    c = p.peek_ws();
    if (c < 0) return std::unexpected(p.peek_error(std::string(Parser::kEofObject)));
    if (c != ':') return std::unexpected(p.peek_error(std::string(Parser::kExpectedColon)));
    p.eat();
    if (!field) {
      if (auto r = p.ignore_value(); !r) return r;
      continue;
    }
    seen[*field] = true;
    if (auto r = read_field(p, *field, doc); !r) return r;
  }
  for (std::size_t i = 0; i < kFields.size(); ++i) {
    if (!seen[i]) return std::unexpected(struct_error(p, false, "missing field `" + std::string(kFields[i]) + "`"));
  }
  p.eat();  // '}'
  return {};
}

JsonResult<void> read_array(Parser& p, SignedDocument& doc) {
  for (std::size_t i = 0; i < kFields.size(); ++i) {
    int c = p.peek_ws();
    if (c == ']') {
      return std::unexpected(struct_error(
          p, true, "invalid length " + std::to_string(i) + ", expected " + std::string(kExpectedStruct) + " with 5 elements"));
    }
    if (c == ',' && i > 0) {
      p.eat();
      c = p.peek_ws();
    } else if (c < 0) {
      return std::unexpected(p.peek_error(std::string(Parser::kEofList)));
    } else if (i > 0) {
      return std::unexpected(p.peek_error(std::string(Parser::kExpectedListCommaOrEnd)));
    }
    if (c == ']') return std::unexpected(p.peek_error(std::string(Parser::kTrailingComma)));
    if (c < 0) return std::unexpected(p.peek_error(std::string(Parser::kEofValue)));
    if (auto r = read_field(p, i, doc); !r) return r;
  }
  const int c = p.peek_ws();
  if (c == ']') {
    p.eat();
    return {};
  }
  if (c == ',') {
    p.eat();
    const bool comma_then_close = p.peek_ws() == ']';
    return std::unexpected(
        p.peek_error(std::string(comma_then_close ? Parser::kTrailingComma : Parser::kTrailingCharacters)));
  }
  if (c < 0) return std::unexpected(p.peek_error(std::string(Parser::kEofList)));
  return std::unexpected(p.peek_error(std::string(Parser::kTrailingCharacters)));
}

}  // namespace

json::JsonResult<SignedDocument> read_signed_document_json(std::string_view text) {
  Parser p(text);
  SignedDocument doc;
  const int c = p.peek_ws();
  if (c < 0) return std::unexpected(p.peek_error(std::string(Parser::kEofValue)));
  if (c == '{' || c == '[') {
    if (auto r = p.enter(); !r) return std::unexpected(std::move(r.error()));
    p.eat();
    auto r = c == '{' ? read_object(p, doc) : read_array(p, doc);
    if (!r) return std::unexpected(std::move(r.error()));
    p.leave();
  } else {
    return std::unexpected(invalid_type_here(p, kExpectedStruct));
  }
  if (auto r = p.end(); !r) return std::unexpected(std::move(r.error()));
  return doc;
}

}  // namespace qv::records
