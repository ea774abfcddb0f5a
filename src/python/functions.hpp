#pragma once
// The module functions, one entry point each. Functions that take
// parameters use the fast-call convention; the others take no arguments.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace qv::python {

// Utilities.
PyObject* py_keygen(PyObject* self, PyObject* unused);
PyObject* py_engine_version(PyObject* self, PyObject* unused);

}  // namespace qv::python
