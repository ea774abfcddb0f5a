#include "crypto/secret.hpp"

#include <sodium.h>

namespace qv::crypto {

void secure_wipe(void* p, std::size_t n) { sodium_memzero(p, n); }

}  // namespace qv::crypto
