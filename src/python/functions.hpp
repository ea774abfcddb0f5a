#pragma once
// The module functions, one entry point each. Functions that take
// parameters use the fast-call convention; the others take no arguments.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace qv::python {

// Verification.
PyObject* py_verify_json(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* py_verify_unsigned_json(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* py_verify_timed_json(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* py_verify_unsigned_timed_json(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* py_judge_prompt_json(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);

// Runs.
PyObject* py_run_verify_json(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* py_run_record_verify(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);

// Records and documents.
PyObject* py_sign_document_json(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* py_verify_document_json(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* py_attach_signature_json(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* py_record_verify_chains(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* py_record_verify(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);

// Policies.
PyObject* py_policy_lint(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* py_default_policy_yaml(PyObject* self, PyObject* unused);
PyObject* py_builtin_policy_yaml(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* py_policy_resolve(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);

// Utilities.
PyObject* py_keygen(PyObject* self, PyObject* unused);
PyObject* py_engine_version(PyObject* self, PyObject* unused);
PyObject* py_yaml_to_json(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);

}  // namespace qv::python
