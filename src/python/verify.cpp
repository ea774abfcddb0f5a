// The verification functions: four runs of the pipeline on a request text
// and the judge prompt of a request. Every failure is a ValueError with the
// reader's or the engine's display text.
#include <expected>
#include <string>

#include "engine/pipeline_json.hpp"
#include "python/frame.hpp"
#include "python/functions.hpp"

namespace qv::python {

namespace {

std::expected<std::string, PyFailure> as_value_errors(engine::RequestResult<std::string>&& result) {
  if (!result) return std::unexpected(value_error(engine::failure_text(result.error())));
  return std::move(*result);
}

PyObject* verify(const char* name, engine::RecordForm form, engine::Timed timed, PyObject* const* args,
                 Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    std::string request[1];
    if (!bind_text_arguments(name, {"request_json"}, args, nargs, kwnames, request)) return nullptr;
    return to_python_result(as_value_errors(engine::verify_request_json(request[0], form, timed)));
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
    return to_python_result(as_value_errors(engine::judge_prompt_request_json(request[0])));
  });
}

}  // namespace qv::python
