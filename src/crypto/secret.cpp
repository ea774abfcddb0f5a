#include "crypto/secret.hpp"

#include <sodium.h>

namespace qv::crypto {

void secure_wipe(void* p, std::size_t n) { sodium_memzero(p, n); }

void SecretText::wipe(std::string& text) noexcept {
  // Growing to capacity keeps the buffer in place and exposes all of it.
  text.resize(text.capacity());
  secure_wipe(text.data(), text.size());
  text.clear();
}

}  // namespace qv::crypto
