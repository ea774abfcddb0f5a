#include "records/secret_text.hpp"

#include "crypto/secret.hpp"

namespace qv::records {

void SecretText::wipe(std::string& text) noexcept {
  // Growing to capacity keeps the buffer in place and exposes all of it.
  text.resize(text.capacity());
  crypto::secure_wipe(text.data(), text.size());
  text.clear();
}

}  // namespace qv::records
