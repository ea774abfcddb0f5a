// The record and document functions: signing and checking documents,
// attaching a key service's signature, and verifying stored chains.
#include <cstdint>
#include <expected>
#include <span>
#include <string>
#include <string_view>
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

std::expected<std::string, PyFailure> sign_document(const std::string& kind, const std::string& content_json,
                                                    std::string_view seed_hex) {
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
    std::string texts[3];
    const bool bound = bind_text_arguments("sign_document_json", {"kind", "content_json", "seed_hex"}, args, nargs,
                                           kwnames, texts);
    const crypto::SecretText seed_hex(std::move(texts[2]));
    if (!bound) return nullptr;
    return to_python_result(sign_document(texts[0], texts[1], seed_hex.view()));
  });
}

PyObject* py_verify_document_json(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    std::string doc_json[1];
    if (!bind_text_arguments("verify_document_json", {"doc_json"}, args, nargs, kwnames, doc_json)) return nullptr;
    return to_python_result(verify_document(doc_json[0]));
  });
}

PyObject* py_attach_signature_json(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    std::string texts[4];
    if (!bind_text_arguments("attach_signature_json", {"unsigned_json", "algorithm", "public_key_hex", "signature_hex"},
                             args, nargs, kwnames, texts)) {
      return nullptr;
    }
    return to_python_result(attach(texts[0], texts[1], texts[2], texts[3]));
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
    std::string jsonl[1];
    if (!bind_text_arguments("record_verify", {"jsonl"}, args, nargs, kwnames, jsonl)) return nullptr;
    return to_python_result(verify_chains(jsonl, false));
  });
}

}  // namespace qv::python
