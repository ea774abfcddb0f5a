// Hex encoding: every byte becomes two lower-case digits that decode back.
// Hex decoding of the input as text: the bytes, or the first byte that is
// not a digit and its place, as a digit-by-digit reading gives them.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

#include "crypto/hex.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string hex = qv::crypto::hex_encode(std::span<const unsigned char>(data, size));
  if (hex.size() != 2 * size) std::abort();
  static constexpr char kLower[] = "0123456789abcdef";
  for (std::size_t i = 0; i < size; ++i) {
    if (hex[2 * i] != kLower[data[i] >> 4] || hex[2 * i + 1] != kLower[data[i] & 0x0f]) std::abort();
  }
  const auto decoded = qv::crypto::decode_hex(hex);
  if (!decoded || decoded->size() != size || !std::equal(decoded->begin(), decoded->end(), data)) std::abort();

  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto got = qv::crypto::decode_hex(text);
  auto nibble = [](unsigned char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  if (size % 2 != 0) {
    if (got || got.error().kind != qv::crypto::HexError::Kind::OddLength) std::abort();
    return 0;
  }
  for (std::size_t i = 0; i < size; ++i) {
    if (nibble(data[i]) < 0) {
      if (got || got.error().position != i || got.error().byte != data[i]) std::abort();
      return 0;
    }
  }
  if (!got || got->size() != size / 2) std::abort();
  for (std::size_t i = 0; i < size / 2; ++i) {
    if ((*got)[i] != nibble(data[2 * i]) * 16 + nibble(data[2 * i + 1])) std::abort();
  }
  return 0;
}
