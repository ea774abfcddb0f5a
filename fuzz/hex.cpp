// Hex encoding: every byte becomes two lower-case digits that decode back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "crypto/hex.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string hex = qv::crypto::hex_encode(std::span<const unsigned char>(data, size));
  if (hex.size() != 2 * size) std::abort();
  for (std::size_t i = 0; i < size; ++i) {
    auto digit = [](char c) { return c <= '9' ? c - '0' : c - 'a' + 10; };
    if (digit(hex[2 * i]) * 16 + digit(hex[2 * i + 1]) != data[i]) std::abort();
  }
  return 0;
}
