// Module definition and the exec step that registers the functions.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <array>

#include "python/frame.hpp"
#include "python/functions.hpp"

namespace qv::python {

namespace {

constexpr int kWithArgs = METH_FASTCALL | METH_KEYWORDS | METH_STATIC;  // 0xa2
constexpr int kNoArgs = METH_NOARGS | METH_STATIC;                       // 0x24

template <class F>
PyCFunction entry(F* f) {
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(f));
}

// Every function in registration order. An entry whose implementation is
// not built yet has a null entry point and is not registered.
std::array<PyMethodDef, 19> kMethods = {{
    {"verify_json", entry(&py_verify_json), kWithArgs,
     "verify_json(request_json)\n--\n\n"
     "Run a full verification. `request_json` is a `VerifyRequest`; the result\n"
     "is a sealed `EvidenceRecord` as JSON."},
    {"run_verify_json", entry(&py_run_verify_json), kWithArgs,
     "run_verify_json(request_json)\n--\n\n"
     "Verify a whole MCP execution. `request_json` is a `RunVerifyRequest`; the\n"
     "result is a sealed `RunRecord` as JSON. Its `content.gate` is the decision."},
    {"verify_unsigned_json", entry(&py_verify_unsigned_json), kWithArgs,
     "verify_unsigned_json(request_json)\n--\n\n"
     "Verify like `verify_json`, without signing: an `UnsignedRecord` as JSON.\n"
     "A key service signs the UTF-8 bytes of its `record_hash`."},
    {"verify_timed_json", entry(&py_verify_timed_json), kWithArgs,
     "verify_timed_json(request_json)\n--\n\n"
     "Like `verify_json`, returning `{\"record\": ..., \"timings\": ...}`. The\n"
     "timings say how long each verifier took, in microseconds; they are not part\n"
     "of the record."},
    {"verify_unsigned_timed_json", entry(&py_verify_unsigned_timed_json), kWithArgs,
     "verify_unsigned_timed_json(request_json)\n--\n\n"
     "Like `verify_unsigned_json`, returning `{\"record\": ..., \"timings\": ...}`."},
    {"judge_prompt_json", entry(&py_judge_prompt_json), kWithArgs,
     "judge_prompt_json(request_json)\n--\n\n"
     "The exact prompt a judge is sent for a request, as JSON: `system`,\n"
     "`user`, `template_id`, `template_hash`, `prompt_hash`, `claims`."},
    {"sign_document_json", entry(&py_sign_document_json), kWithArgs,
     "sign_document_json(kind, content_json, seed_hex)\n--\n\n"
     "Sign a document (a measurement or replay report) with a local Ed25519\n"
     "seed. `content_json` is any JSON value; the result is a signed document."},
    {"verify_document_json", entry(&py_verify_document_json), kWithArgs,
     "verify_document_json(doc_json)\n--\n\n"
     "Check a signed document. Raises on a changed content or a bad signature."},
    {"attach_signature_json", entry(&py_attach_signature_json), kWithArgs,
     "attach_signature_json(unsigned_json, algorithm, public_key_hex, signature_hex)\n--\n\n"
     "Attach a key service's signature (hex) and public key (hex) to an unsigned\n"
     "record. The signature is checked first; the result is a sealed record."},
    {"record_verify_chains", entry(&py_record_verify_chains), kWithArgs,
     "record_verify_chains(chains)\n--\n\n"
     "Verify several chains, each a JSON Lines text. Returns the record count;\n"
     "raises on the first broken record or link, or a record in two chains."},
    {"run_record_verify", entry(&py_run_record_verify), kWithArgs,
     "run_record_verify(jsonl)\n--\n\n"
     "Verify one run record or a whole JSON Lines chain of them. Returns the\n"
     "number checked; raises on the first broken hash, link or signature."},
    {"record_verify", entry(&py_record_verify), kWithArgs,
     "record_verify(jsonl)\n--\n\n"
     "Verify one record or a whole JSON Lines chain. Returns the number of\n"
     "records checked; raises on the first broken hash, link or signature."},
    {"policy_lint", entry(&py_policy_lint), kWithArgs, "policy_lint(yaml)\n--\n\n`(policy_hash, problems)`."},
    {"default_policy_yaml", entry(&py_default_policy_yaml), kNoArgs, "default_policy_yaml()\n--\n\n"},
    {"builtin_policy_yaml", entry(&py_builtin_policy_yaml), kWithArgs,
     "builtin_policy_yaml(name)\n--\n\n"
     "The YAML of a shipped policy, by id; `None` when no such policy ships."},
    {"policy_resolve", entry(&py_policy_resolve), kWithArgs,
     "policy_resolve(yaml)\n--\n\n"
     "The resolved policy as YAML, headed by its id, version and hash."},
    {"keygen", entry(&py_keygen), kNoArgs, "keygen()\n--\n\n"},
    {"engine_version", entry(&py_engine_version), kNoArgs, "engine_version()\n--\n\n"},
    {"yaml_to_json", entry(&py_yaml_to_json), kWithArgs,
     "yaml_to_json(text)\n--\n\n"
     "YAML \u2192 JSON, so the Python package needs no YAML dependency for rule sets."},
}};

struct Ref {
  PyObject* p;
  explicit Ref(PyObject* o) : p(o) {}
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  ~Ref() { Py_XDECREF(p); }
};

// Adds one function to the module and its name to __all__.
int add_function(PyObject* module, PyMethodDef* def) {
  Ref module_name(PyModule_GetNameObject(module));
  if (module_name.p == nullptr) return -1;
  Ref function(PyCMethod_New(def, module, module_name.p, nullptr));
  if (function.p == nullptr) return -1;
  Ref name(PyObject_GetAttrString(function.p, "__name__"));
  if (name.p == nullptr) return -1;

  Ref all(PyObject_GetAttrString(module, "__all__"));
  if (all.p == nullptr) {
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return -1;
    PyErr_Clear();
    all.p = PyList_New(0);
    if (all.p == nullptr || PyObject_SetAttrString(module, "__all__", all.p) != 0) return -1;
  } else if (!PyList_Check(all.p)) {
    raise_cannot_convert(all.p, "PyList");
    return -1;
  }
  if (PyList_Append(all.p, name.p) != 0) core::panic("could not append __name__ to __all__");
  return PyObject_SetAttr(module, name.p, function.p);
}

int module_exec(PyObject* module) {
  PyObject* status = guarded([module]() -> PyObject* {
    if (module == nullptr) return nullptr;
    if (!PyModule_Check(module)) {
      raise_cannot_convert(module, "PyModule");
      return nullptr;
    }
    for (PyMethodDef& def : kMethods) {
      if (def.ml_meth == nullptr) continue;
      if (add_function(module, &def) != 0) return nullptr;
    }
    Py_RETURN_NONE;
  });
  if (status == nullptr) return -1;
  Py_DECREF(status);
  return 0;
}

PyModuleDef_Slot kSlots[] = {{Py_mod_exec, reinterpret_cast<void*>(&module_exec)}, {0, nullptr}};

PyModuleDef kModule = {PyModuleDef_HEAD_INIT, "_engine", "", 0, nullptr, kSlots, nullptr, nullptr, nullptr};

}  // namespace

}  // namespace qv::python

PyMODINIT_FUNC PyInit__engine(void) { return PyModuleDef_Init(&qv::python::kModule); }
