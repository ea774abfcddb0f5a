// The record and document functions: signing and checking documents,
// attaching a key service's signature, and verifying stored chains.
#include <cstdint>
#include <expected>
#include <string>
#include <variant>
#include <vector>

#include "crypto/ed25519.hpp"
#include "crypto/secret.hpp"
#include "json/reader.hpp"
#include "python/frame.hpp"
#include "python/functions.hpp"
#include "records/document.hpp"

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

}  // namespace qv::python
