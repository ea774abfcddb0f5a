// The run functions: verifying a whole MCP execution, and checking stored
// chains of run records. Each binds its arguments, makes one call into run
// and converts the result; the RuntimeFor argument says which failures are
// RuntimeError.
#include <string>

#include "crypto/secret.hpp"
#include "python/frame.hpp"
#include "python/functions.hpp"
#include "run/convert.hpp"

namespace qv::python {

PyObject* py_run_verify_json(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    std::string request_json[1];
    // The whole request is a secret: the frame cannot tell where in it a seed stands.
    const bool bound =
        bind_text_arguments("run_verify_json", {"request_json"}, args, nargs, kwnames, request_json, {"request_json"});
    const crypto::SecretText request(std::move(request_json[0]));  // it may hold a signing seed
    if (!bound) return nullptr;
    // Every failure is malformed input or a refused request.
    return to_python_result(run::run_verify_json(request.view()), RuntimeFor::Nothing);
  });
}

PyObject* py_run_record_verify(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    std::string jsonl[1];
    if (!bind_text_arguments("run_record_verify", {"jsonl"}, args, nargs, kwnames, jsonl)) return nullptr;
    return to_python_result(run::run_record_verify(jsonl[0]), RuntimeFor::FailedChecks);
  });
}

}  // namespace qv::python
