// The verification functions: four runs of the pipeline on a request text
// and the judge prompt of a request. Each binds its argument, makes one call
// into the engine and converts the result; no failure here is a failed
// integrity check, so every one is a ValueError.
#include <string>

#include "engine/pipeline_json.hpp"
#include "python/frame.hpp"
#include "python/functions.hpp"

namespace qv::python {

namespace {

PyObject* verify(const char* name, engine::RecordForm form, engine::Timed timed, PyObject* const* args,
                 Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    std::string request[1];
    if (!bind_text_arguments(name, {"request_json"}, args, nargs, kwnames, request)) return nullptr;
    return to_python_result(engine::verify_request_json(request[0], form, timed), RuntimeFor::Nothing);
  });
}

}  // namespace

PyObject* py_verify_json(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return verify("verify_json", engine::RecordForm::Sealed, engine::Timed::No, args, nargs, kwnames);
}

PyObject* py_verify_unsigned_json(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return verify("verify_unsigned_json", engine::RecordForm::Unsigned, engine::Timed::No, args, nargs, kwnames);
}

PyObject* py_verify_timed_json(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return verify("verify_timed_json", engine::RecordForm::Sealed, engine::Timed::Yes, args, nargs, kwnames);
}

PyObject* py_verify_unsigned_timed_json(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return verify("verify_unsigned_timed_json", engine::RecordForm::Unsigned, engine::Timed::Yes, args, nargs,
                kwnames);
}

PyObject* py_judge_prompt_json(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    std::string request[1];
    if (!bind_text_arguments("judge_prompt_json", {"request_json"}, args, nargs, kwnames, request)) return nullptr;
    return to_python_result(engine::judge_prompt_request_json(request[0]), RuntimeFor::Nothing);
  });
}

}  // namespace qv::python
