// keygen and engine_version.
#include <string>

#include "core/version.hpp"
#include "crypto/ed25519.hpp"
#include "crypto/hex.hpp"
#include "python/frame.hpp"
#include "python/functions.hpp"

namespace qv::python {

PyObject* py_keygen(PyObject*, PyObject*) {
  return guarded([]() -> PyObject* {
    // Deriving the key checks the seed is usable; only the seed is returned.
    const crypto::SigningKey key = crypto::generate_signing_key();
    std::string hex = crypto::hex_encode(key.seed());
    PyObject* result = to_python(hex);
    crypto::secure_wipe(hex.data(), hex.size());
    return result;
  });
}

PyObject* py_engine_version(PyObject*, PyObject*) {
  return guarded([]() -> PyObject* { return to_python(core::kEngineVersion); });
}

}  // namespace qv::python
