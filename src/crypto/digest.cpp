#include "crypto/digest.hpp"

#include "crypto/hex.hpp"
#include "crypto/sha256.hpp"

namespace qv::crypto {

void write_text_digest(std::string_view text, char* out) {
  kDigestPrefix.copy(out, kDigestPrefix.size());
  write_hex(sha256(text), out + kDigestPrefix.size());
}

std::string text_digest(std::string_view text) {
  std::string out(kDigestLength, '\0');
  write_text_digest(text, out.data());
  return out;
}

}  // namespace qv::crypto
