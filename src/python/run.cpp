// The run functions: verifying a whole MCP execution, and checking stored
// chains of run records. Each binds its arguments, makes one call into run
// and converts the result; the RuntimeFor argument says which failures are
// RuntimeError.
#include <string>

#include "python/frame.hpp"
#include "python/functions.hpp"
#include "run/convert.hpp"

namespace qv::python {

PyObject* py_run_verify_json(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    // The whole request is a secret (the frame cannot tell where in it a
    // seed stands): it is read where the interpreter holds it, and no copy
    // of it is made here.
    std::string_view request_json[1];
    if (!bind_text_arguments("run_verify_json", {"request_json"}, args, nargs, kwnames, request_json,
                             {"request_json"})) {
      return nullptr;
    }
    // Every failure is malformed input or a refused request.
    return to_python_result(run::run_verify_json(request_json[0]), RuntimeFor::Nothing);
  });
}

PyObject* py_run_record_verify(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    std::string_view jsonl[1];
    if (!bind_text_arguments("run_record_verify", {"jsonl"}, args, nargs, kwnames, jsonl)) return nullptr;
    return to_python_result(run::run_record_verify(jsonl[0]), RuntimeFor::FailedChecks);
  });
}

}  // namespace qv::python
