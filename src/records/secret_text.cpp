#include "records/secret_text.hpp"

#include "crypto/secret.hpp"

namespace qv::records {

void SecretText::wipe() noexcept {
  // Writing up to capacity through resize keeps the buffer in place.
  text_.resize(text_.capacity());
  crypto::secure_wipe(text_.data(), text_.size());
  text_.clear();
}

}  // namespace qv::records
