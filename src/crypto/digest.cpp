#include "crypto/digest.hpp"

#include "crypto/sha256.hpp"

namespace qv::crypto {

std::string text_digest(std::string_view text) {
  std::string out(kDigestPrefix);
  out += sha256_hex(text);
  return out;
}

}  // namespace qv::crypto
