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
    const crypto::SecretText hex(crypto::hex_encode(key.seed()));
    return to_python(hex.view());
  });
}

PyObject* py_engine_version(PyObject*, PyObject*) {
  return guarded([]() -> PyObject* { return to_python(core::kEngineVersion); });
}

}  // namespace qv::python
