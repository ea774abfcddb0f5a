// The record and document functions: signing and checking documents,
// attaching a key service's signature, and verifying stored chains. Each
// binds its arguments, makes one call into records and converts the result;
// the RuntimeFor argument says which failures are RuntimeError.
#include <string>
#include <utility>
#include <vector>

#include "python/frame.hpp"
#include "python/functions.hpp"
#include "records/chain.hpp"
#include "records/document.hpp"
#include "records/seal.hpp"

namespace qv::python {

PyObject* py_sign_document_json(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    // The seed is read where the interpreter holds it; no copy of it is made
    // here, so none is left to wipe.
    std::string_view texts[3];
    if (!bind_text_arguments("sign_document_json", {"kind", "content_json", "seed_hex"}, args, nargs, kwnames, texts,
                             {"seed_hex"})) {
      return nullptr;
    }
    return to_python_result(records::sign_document_json(texts[0], texts[1], texts[2]), RuntimeFor::Nothing);
  });
}

PyObject* py_verify_document_json(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    std::string_view doc_json[1];
    if (!bind_text_arguments("verify_document_json", {"doc_json"}, args, nargs, kwnames, doc_json)) return nullptr;
    return to_python_result(records::verify_document_json(doc_json[0]), RuntimeFor::FailedChecks);
  });
}

PyObject* py_attach_signature_json(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    std::string_view texts[4];
    if (!bind_text_arguments("attach_signature_json", {"unsigned_json", "algorithm", "public_key_hex", "signature_hex"},
                             args, nargs, kwnames, texts)) {
      return nullptr;
    }
    // A refused signature is a refused operation, not a failed check of a
    // stored record.
    return to_python_result(records::attach_signature_json(texts[0], texts[1], texts[2], texts[3]),
                            RuntimeFor::Nothing);
  });
}

PyObject* py_record_verify_chains(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    PyObject* bound[1];
    if (!bind_arguments("record_verify_chains", {"chains"}, args, nargs, kwnames, bound)) return nullptr;
    TextItems texts;
    if (!extract_text_sequence(bound[0], "chains", texts)) return nullptr;
    auto result = texts.read([](const auto& pieces) { return records::verify_jsonl_chains(pieces, true); });
    if (!result) return nullptr;
    return to_python_result(std::move(*result), RuntimeFor::FailedChecks);
  });
}

PyObject* py_record_verify(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    PyObject* bound[1];
    if (!bind_arguments("record_verify", {"jsonl"}, args, nargs, kwnames, bound)) return nullptr;
    TextItems jsonl;
    if (!extract_text_pieces(bound[0], "jsonl", jsonl)) return nullptr;
    auto result = jsonl.read([](const auto& pieces) { return records::verify_jsonl_chains(pieces, false); });
    if (!result) return nullptr;
    return to_python_result(std::move(*result), RuntimeFor::FailedChecks);
  });
}

}  // namespace qv::python
