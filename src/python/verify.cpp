// The verification functions: four runs of the pipeline on a request text
// and the judge prompt of a request. Each binds its argument, makes one call
// into the engine and converts the result; no failure here is a failed
// integrity check, so every one is a ValueError.
#include <span>
#include <string_view>

#include "engine/pipeline_json.hpp"
#include "python/frame.hpp"
#include "python/functions.hpp"

namespace qv::python {

namespace {

// A request may hold a signing seed (signing_key_hex); the frame cannot tell
// where in the text it stands, so the whole argument is taken as a secret.
// It is read where the interpreter holds it: no copy is made here.
bool request_argument(const char* name, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                      std::span<std::string_view> out) {
  return bind_text_arguments(name, {"request_json"}, args, nargs, kwnames, out, {"request_json"});
}

PyObject* verify(const char* name, engine::RecordForm form, engine::Timed timed, PyObject* const* args,
                 Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    std::string_view request_json[1];
    if (!request_argument(name, args, nargs, kwnames, request_json)) return nullptr;
    return to_python_result(engine::verify_request_json(request_json[0], form, timed), RuntimeFor::Nothing);
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
    std::string_view request_json[1];
    if (!request_argument("judge_prompt_json", args, nargs, kwnames, request_json)) return nullptr;
    return to_python_result(engine::judge_prompt_request_json(request_json[0]), RuntimeFor::Nothing);
  });
}

}  // namespace qv::python
