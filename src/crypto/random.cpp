#include "crypto/random.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "core/panic.hpp"

namespace qv::crypto {

namespace {
constexpr std::size_t kMaxRequest = 256;  // getentropy refuses larger requests
}

void os_random_bytes(std::span<unsigned char> out) {
  std::size_t done = 0;
  while (done < out.size()) {
    const std::size_t n = std::min(kMaxRequest, out.size() - done);
    if (::getentropy(out.data() + done, n) != 0) {
      const int err = errno;
      core::panic("Error: " + std::string(std::strerror(err)) + " (os error " + std::to_string(err) + ")");
    }
    done += n;
  }
}

}  // namespace qv::crypto
