// The record and document functions: signing and checking documents,
// attaching a key service's signature, and verifying stored chains.
#include <cstdint>
#include <expected>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "crypto/ed25519.hpp"
#include "crypto/hex.hpp"
#include "crypto/secret.hpp"
#include "json/reader.hpp"
#include "python/frame.hpp"
#include "python/functions.hpp"
#include "records/chain.hpp"
#include "records/document.hpp"
#include "records/json.hpp"
#include "records/read.hpp"
#include "records/seal.hpp"

namespace qv::python {

namespace {

// Wipes a text that held secret material when it goes out of scope.
struct WipedText {
  std::string text;
  WipedText() = default;
  WipedText(const WipedText&) = delete;
  WipedText& operator=(const WipedText&) = delete;
  ~WipedText() { crypto::secure_wipe(text.data(), text.size()); }
};

std::expected<std::string, PyFailure> sign_document(const std::string& kind, const std::string& content_json,
                                                    const std::string& seed_hex) {
  auto content = json::read_json(content_json);
  if (!content) return std::unexpected(value_error(content.error().display()));
  const auto key = crypto::signing_key_from_seed_hex(seed_hex);
  if (!key) return std::unexpected(value_error("signing key must be 32 bytes hex"));
  auto document = records::sign_document(kind, std::move(*content), *key);
  if (!document) return std::unexpected(value_error(document.error().display()));
  return records::write_signed_document_json(*document);
}

std::expected<std::monostate, PyFailure> verify_document(const std::string& doc_json) {
  const auto document = records::read_signed_document_json(doc_json);
  if (!document) return std::unexpected(value_error(document.error().display()));
  if (auto ok = records::verify_signed_document(*document); !ok) {
    return std::unexpected(runtime_error(ok.error().display()));
  }
  return std::monostate{};
}

std::expected<std::string, PyFailure> attach(const std::string& unsigned_json, const std::string& algorithm,
                                             const std::string& public_key_hex, const std::string& signature_hex) {
  auto record = records::read_unsigned_record_json(unsigned_json);
  if (!record) return std::unexpected(value_error(record.error().display()));
  const auto key = crypto::decode_hex(public_key_hex);
  if (!key) return std::unexpected(value_error(key.error().display()));
  const auto signature = crypto::decode_hex(signature_hex);
  if (!signature) return std::unexpected(value_error(signature.error().display()));
  auto sealed = records::attach_signature(std::move(*record), algorithm, *key, *signature);
  if (!sealed) return std::unexpected(value_error(sealed.error().display()));
  return records::write_evidence_record_json(*sealed);
}

// A text that cannot be read is malformed input; every other failure is a
// stored record that fails its check.
std::expected<std::uint64_t, PyFailure> verify_chains(std::span<const std::string> texts, bool refuse_shared) {
  const auto total = records::verify_jsonl_chains(texts, refuse_shared);
  if (!total) {
    const core::EngineError& e = total.error();
    if (e.kind() == core::EngineError::Kind::Serialisation) return std::unexpected(value_error(e.display()));
    return std::unexpected(runtime_error(e.display()));
  }
  return *total;
}

}  // namespace

PyObject* py_sign_document_json(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    PyObject* bound[3];
    if (!bind_arguments("sign_document_json", {"kind", "content_json", "seed_hex"}, args, nargs, kwnames, bound)) {
      return nullptr;
    }
    std::string kind;
    std::string content_json;
    WipedText seed_hex;
    if (!extract_text(bound[0], "kind", kind) || !extract_text(bound[1], "content_json", content_json) ||
        !extract_text(bound[2], "seed_hex", seed_hex.text)) {
      return nullptr;
    }
    return to_python_result(sign_document(kind, content_json, seed_hex.text));
  });
}

PyObject* py_verify_document_json(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    PyObject* bound[1];
    if (!bind_arguments("verify_document_json", {"doc_json"}, args, nargs, kwnames, bound)) return nullptr;
    std::string doc_json;
    if (!extract_text(bound[0], "doc_json", doc_json)) return nullptr;
    return to_python_result(verify_document(doc_json));
  });
}

PyObject* py_attach_signature_json(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    PyObject* bound[4];
    if (!bind_arguments("attach_signature_json", {"unsigned_json", "algorithm", "public_key_hex", "signature_hex"},
                        args, nargs, kwnames, bound)) {
      return nullptr;
    }
    std::string unsigned_json;
    std::string algorithm;
    std::string public_key_hex;
    std::string signature_hex;
    if (!extract_text(bound[0], "unsigned_json", unsigned_json) || !extract_text(bound[1], "algorithm", algorithm) ||
        !extract_text(bound[2], "public_key_hex", public_key_hex) ||
        !extract_text(bound[3], "signature_hex", signature_hex)) {
      return nullptr;
    }
    return to_python_result(attach(unsigned_json, algorithm, public_key_hex, signature_hex));
  });
}

PyObject* py_record_verify_chains(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    PyObject* bound[1];
    if (!bind_arguments("record_verify_chains", {"chains"}, args, nargs, kwnames, bound)) return nullptr;
    std::vector<std::string> texts;
    if (!extract_text_sequence(bound[0], "chains", texts)) return nullptr;
    return to_python_result(verify_chains(texts, true));
  });
}

PyObject* py_record_verify(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    PyObject* bound[1];
    if (!bind_arguments("record_verify", {"jsonl"}, args, nargs, kwnames, bound)) return nullptr;
    std::string jsonl;
    if (!extract_text(bound[0], "jsonl", jsonl)) return nullptr;
    return to_python_result(verify_chains(std::span<const std::string>(&jsonl, 1), false));
  });
}

}  // namespace qv::python
