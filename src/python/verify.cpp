// The verification functions: four runs of the pipeline on a request text
// and the judge prompt of a request. Each binds its argument, makes one call
// into the engine and converts the result; no failure here is a failed
// integrity check, so every one is a ValueError.
#include <span>
#include <string>

#include "crypto/secret.hpp"
#include "engine/pipeline_json.hpp"
#include "python/frame.hpp"
#include "python/functions.hpp"

namespace qv::python {

namespace {

// A request may hold a signing seed (signing_key_hex); the frame cannot tell
// where in the text it stands, so the whole argument is taken as a secret
// and wiped after the call.
bool request_argument(const char* name, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                      std::span<std::string> out) {
  return bind_text_arguments(name, {"request_json"}, args, nargs, kwnames, out, {"request_json"});
}

PyObject* verify(const char* name, engine::RecordForm form, engine::Timed timed, PyObject* const* args,
                 Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    std::string request_json[1];
    const bool bound = request_argument(name, args, nargs, kwnames, request_json);
    const crypto::SecretText request(std::move(request_json[0]));
    if (!bound) return nullptr;
    return to_python_result(engine::verify_request_json(request.view(), form, timed), RuntimeFor::Nothing);
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
    std::string request_json[1];
    const bool bound = request_argument("judge_prompt_json", args, nargs, kwnames, request_json);
    const crypto::SecretText request(std::move(request_json[0]));
    if (!bound) return nullptr;
    return to_python_result(engine::judge_prompt_request_json(request.view()), RuntimeFor::Nothing);
  });
}

}  // namespace qv::python
