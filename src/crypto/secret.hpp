#pragma once
#include <array>
#include <cstddef>

namespace qv::crypto {

// Overwrites memory with zeros in a way the compiler cannot drop.
void secure_wipe(void* p, std::size_t n);

// A fixed-size buffer of secret bytes, wiped when it goes out of scope.
template <std::size_t N>
class SecretBytes {
 public:
  SecretBytes() = default;
  SecretBytes(const SecretBytes&) = delete;
  SecretBytes& operator=(const SecretBytes&) = delete;
  SecretBytes(SecretBytes&& other) noexcept : bytes_(other.bytes_) { secure_wipe(other.bytes_.data(), N); }
  SecretBytes& operator=(SecretBytes&& other) noexcept {
    bytes_ = other.bytes_;
    secure_wipe(other.bytes_.data(), N);
    return *this;
  }
  ~SecretBytes() { secure_wipe(bytes_.data(), N); }

  unsigned char* data() { return bytes_.data(); }
  const unsigned char* data() const { return bytes_.data(); }
  static constexpr std::size_t size() { return N; }

 private:
  std::array<unsigned char, N> bytes_{};
};

}  // namespace qv::crypto
