// keygen and engine_version.
#include <string>

#include "core/version.hpp"
#include "crypto/ed25519.hpp"
#include "crypto/secret.hpp"
#include "python/frame.hpp"
#include "python/functions.hpp"

namespace qv::python {

PyObject* py_keygen(PyObject*, PyObject*) {
  return guarded([]() -> PyObject* {
    const crypto::SecretText seed_hex = crypto::generate_seed_hex();
    return to_python(seed_hex.view());
  });
}

PyObject* py_engine_version(PyObject*, PyObject*) {
  return guarded([]() -> PyObject* { return to_python(core::kEngineVersion); });
}

}  // namespace qv::python
